// A tray icon whose contrast with any bar is known (see referenceIcon in IconContrast.h), for
// checking the measurement of AvraneBar's own icon on the same bar. Its StatusNotifierItem's
// Id and title are "reference-tray-icon". Start it once the tray is there: on Wayland, Qt
// decides at the first tray call whether there is one, for good. Prints "shown" when it is.

#include <cstdio>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "Support/IconContrast.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("reference-tray-icon"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48}) icon.addPixmap(QPixmap::fromImage(avrane::testing::referenceIcon(size)));
    QSystemTrayIcon tray(icon);
    tray.setToolTip(QStringLiteral("reference-tray-icon"));
    tray.show();
    std::printf("shown\n");
    std::fflush(stdout);
    return QApplication::exec();
}
