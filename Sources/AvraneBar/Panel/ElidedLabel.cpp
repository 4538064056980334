#include "AvraneBar/Panel/ElidedLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace avrane {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setTextFormat(Qt::PlainText);
}

QSize ElidedLabel::minimumSizeHint() const {
    const QString kept = text().right(keptEnd_);
    return {fontMetrics().horizontalAdvance(QStringLiteral("W\u2026") + kept), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::setKeptEnd(int characters) {
    if (characters == keptEnd_) return;
    keptEnd_ = characters;
    updateGeometry();
    update();
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    QString shown = text();
    // Measured whole: the two parts measured apart can come out a pixel wider.
    if (metrics.horizontalAdvance(shown) > area.width()) {
        const QString kept = text().right(keptEnd_);
        shown = metrics.elidedText(text().chopped(kept.size()), Qt::ElideRight, area.width() - metrics.horizontalAdvance(kept)) + kept;
    }
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

}  // namespace avrane
