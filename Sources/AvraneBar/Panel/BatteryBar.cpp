#include "AvraneBar/Panel/BatteryBar.h"

#include <QPainter>

#include "AvraneBar/Panel/PanelStyle.h"
#include "AvraneBar/Panel/PanelTexts.h"

namespace avrane {

BatteryBar::BatteryBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(barHeight);
}

void BatteryBar::setPercent(std::optional<std::uint8_t> percent) {
    if (percent == percent_) return;
    percent_ = percent;
    update();
}

void BatteryBar::setCharging(bool charging) {
    if (charging == charging_) return;
    charging_ = charging;
    update();
}

void BatteryBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF bounds = rect();
    const qreal radius = bounds.height() / 2;
    painter.setBrush(style::gaugeTrack(palette()));
    painter.drawRoundedRect(bounds, radius, radius);
    if (!percent_ || *percent_ == 0) return;
    const double fill = panel::gaugeFillWidth(*percent_, bounds.width(), bounds.height());
    painter.setBrush(style::toneColour(panel::gaugeTone(*percent_, charging_), palette()));
    painter.drawRoundedRect(QRectF(0, 0, fill, bounds.height()), radius, radius);
}

}  // namespace avrane
