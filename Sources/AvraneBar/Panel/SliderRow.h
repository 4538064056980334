#pragma once

#include <functional>

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QSlider>
#include <QStringList>

#include "AvraneBar/Panel/TakesWheelWhenChosen.h"

namespace avrane {

class ElidedLabel;

// A slider over a range of doubles. QSlider counts in integers, so the range runs on a scale
// a hundred times finer: the knob goes where the hand puts it, and the panel snaps only the
// value it shows and writes. It takes the wheel only once the user has chosen it.
class ValueSlider : public TakesWheelWhenChosen<QSlider> {
    Q_OBJECT
    Q_PROPERTY(double value READ doubleValue)

public:
    static constexpr int stepsPerUnit = 100;

    ValueSlider(double minimum, double maximum, QWidget* parent = nullptr);

    double doubleValue() const { return double(value()) / stepsPerUnit; }
    // Moves the knob without reporting a change.
    void setDoubleValue(double value);
    // What the row shows for the value ("Chat 0.5"), which assistive technology reads too.
    const QString& valueText() const { return valueText_; }
    void setValueText(const QString& text);

private:
    QString valueText_;
};

// A slider with a title that carries the current value ("Volume  12") and an optional hint
// under it. Not a view itself: the panel places its parts with its row builder.
class SliderRow : public QObject {
    Q_OBJECT

public:
    SliderRow(double minimum, double maximum, QObject* parent = nullptr);
    // Deletes the parts that were never placed in a window.
    ~SliderRow() override;

    ValueSlider* slider() const { return slider_; }
    ElidedLabel* title() const { return title_; }
    QLabel* hint() const { return hint_; }

    // Called with the slider's value on every change the user makes.
    std::function<void(double)> onChange;
    QString titleText;
    QString valueText;
    // Texts at least as wide as any value the row shows (at first the range's ends as whole
    // numbers), so that the panel can be made wide enough for all of them.
    QStringList widestValues;

    // Ticks at both ends and in the middle, without holding the knob to them.
    void setShowsMidpointTick(bool shows);
    // "Title  value", or the title alone without a value; written only when it differs.
    void refreshTitle();
    // The width of the title with the widest of `widestValues`.
    int widestTitleWidth() const;

private:
    QPointer<ValueSlider> slider_;
    QPointer<ElidedLabel> title_;
    QPointer<QLabel> hint_;
};

}  // namespace avrane
