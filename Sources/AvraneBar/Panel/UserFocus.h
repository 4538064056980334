#pragma once

#include <Qt>

namespace avrane {

// Whether the user gave a control the focus (a click, Tab, a shortcut), as against the window
// handing it to its first control as it opens. Only a control the user chose takes the wheel:
// the panel opens with the volume slider focused, and a wheel turned over it must scroll.
class UserFocus {
public:
    void focusIn(Qt::FocusReason reason) {
        switch (reason) {
        case Qt::MouseFocusReason:
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason: given_ = true; break;
        // Back from another window or from its own pop-up list: as it was.
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason: break;
        default: given_ = false; break;
        }
    }
    void focusOut(Qt::FocusReason reason) {
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) given_ = false;
    }
    // A click or a key on the control: the user has it, whichever way it got the focus.
    void used() { given_ = true; }
    bool given() const { return given_; }

private:
    bool given_ = false;
};

}  // namespace avrane
