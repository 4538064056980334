#pragma once

#include <QAbstractButton>

namespace avrane {

// An on/off switch: a rounded track with a knob, checkable, toggled by a click or by Space
// when it has the focus. `clicked(bool)` reports the user's changes; `setChecked` does not.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }
};

}  // namespace avrane
