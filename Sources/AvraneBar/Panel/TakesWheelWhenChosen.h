#pragma once

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace avrane {

// A control of the panel (a slider, a pop-up) that takes the wheel only once the user has
// chosen it: given it the focus by a click, Tab or a shortcut, or clicked or typed into it.
// The window hands the focus to its first control as it opens, and a wheel turned over that
// one, as over any other, scrolls the card list instead of changing a setting on the way.
template <class Control>
class TakesWheelWhenChosen : public Control {
public:
    using Control::Control;

protected:
    void wheelEvent(QWheelEvent* event) override {
        if (!this->hasFocus() || !chosen_) {
            event->ignore();  // on to the card list
            return;
        }
        Control::wheelEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        switch (event->reason()) {
        case Qt::MouseFocusReason:
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason: chosen_ = true; break;
        // Back from another window or from its own pop-up list: as it was.
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason: break;
        default: chosen_ = false; break;
        }
        Control::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) chosen_ = false;
        Control::focusOutEvent(event);
    }
    // Whichever way it got the focus.
    void mousePressEvent(QMouseEvent* event) override {
        chosen_ = true;
        Control::mousePressEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        chosen_ = true;
        Control::keyPressEvent(event);
    }

private:
    bool chosen_ = false;
};

}  // namespace avrane
