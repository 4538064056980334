// The least a Qt tray program can be: one tray icon, drawn at start, and one empty window,
// titled "Bare tray window". TrayAppFigures measures avrane-bar against it.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    // A filled disc on transparency, so that a painted icon never looks like the tray's
    // plain background.
    QPixmap picture(22, 22);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x3D, 0x8B, 0xFD));
        painter.drawEllipse(QRectF(3, 3, 16, 16));
    }
    QSystemTrayIcon icon{QIcon(picture)};
    icon.show();

    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare tray window"));
    window.resize(360, 560);
    window.show();
    return QApplication::exec();
}
