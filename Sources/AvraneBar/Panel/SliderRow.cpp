#include "AvraneBar/Panel/SliderRow.h"

#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "AvraneBar/Panel/ElidedLabel.h"
#include "AvraneBar/Panel/HintLabel.h"
#include "AvraneBar/Panel/PanelStyle.h"

namespace avrane {

ValueSlider::ValueSlider(double minimum, double maximum, QWidget* parent)
    : TakesWheelWhenChosen<QSlider>(Qt::Horizontal, parent) {
    setRange(int(std::lround(minimum * stepsPerUnit)), int(std::lround(maximum * stepsPerUnit)));
    setSingleStep(stepsPerUnit);
    setPageStep(stepsPerUnit * 5);
    setTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void ValueSlider::setDoubleValue(double value) {
    const QSignalBlocker quiet(this);
    setValue(int(std::lround(value * stepsPerUnit)));
}

void ValueSlider::setValueText(const QString& text) { valueText_ = text; }

SliderRow::SliderRow(double minimum, double maximum, QObject* parent)
    : QObject(parent), slider_(new ValueSlider(minimum, maximum)), title_(new ElidedLabel), hint_(new HintLabel) {
    widestValues = {QString::number(std::lround(minimum)), QString::number(std::lround(maximum))};
    hint_->setFont(style::smallFont(hint_->font()));
    connect(slider_, &QSlider::valueChanged, this, [this] {
        if (onChange) onChange(slider_->doubleValue());
    });
}

SliderRow::~SliderRow() {
    for (QWidget* part : {static_cast<QWidget*>(slider_), static_cast<QWidget*>(title_), static_cast<QWidget*>(hint_)}) {
        if (part && !part->parent()) delete part;
    }
}

void SliderRow::setShowsMidpointTick(bool shows) {
    slider_->setTickPosition(shows ? QSlider::TicksBelow : QSlider::NoTicks);
    slider_->setTickInterval((slider_->maximum() - slider_->minimum()) / 2);
}

namespace {

QString composed(const QString& title, const QString& value) {
    return value.isEmpty() ? title : title + QStringLiteral("  ") + value;
}

}  // namespace

int SliderRow::widestTitleWidth() const {
    const QFontMetrics metrics = title_->fontMetrics();
    int widest = metrics.horizontalAdvance(titleText);
    for (const QString& value : widestValues) widest = std::max(widest, metrics.horizontalAdvance(composed(titleText, value)));
    return widest;
}

void SliderRow::refreshTitle() {
    const QString text = composed(titleText, valueText);
    slider_->setValueText(valueText);
    if (title_->text() == text) return;
    // The value stays readable when the name has to give way.
    title_->setKeptEnd(valueText.isEmpty() ? 0 : int(valueText.size()) + 2);
    title_->setText(text);
}

}  // namespace avrane
