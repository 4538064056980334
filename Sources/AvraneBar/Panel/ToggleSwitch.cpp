#include "AvraneBar/Panel/ToggleSwitch.h"

#include <QPainter>
#include <QPainterPath>

#include "AvraneBar/Panel/PanelStyle.h"

namespace avrane {

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const {
    const int height = std::max(20, fontMetrics().height() + 4);
    return {height * 9 / 5, height};
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& p = palette();
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;

    QColor fill = isChecked() ? p.color(QPalette::Highlight) : style::gaugeTrack(p).darker(100);
    if (!isChecked()) fill.setAlphaF(0.35f);
    if (!isEnabled()) fill.setAlphaF(fill.alphaF() * 0.5f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);

    const qreal inset = 2.5;
    const qreal knob = track.height() - 2 * inset;
    const qreal x = isChecked() ? track.right() - inset - knob : track.left() + inset;
    painter.setBrush(isChecked() ? p.color(QPalette::HighlightedText) : p.color(QPalette::Base));
    painter.setPen(QPen(style::cardBorder(p), 0.8));
    painter.drawEllipse(QRectF(x, track.top() + inset, knob, knob));

    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(p.color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius + 1, radius + 1);
    }
}

}  // namespace avrane
