#include "AvraneBar/Panel/PopUpButton.h"

#include <QWheelEvent>

namespace avrane {

PopUpButton::PopUpButton(QWidget* parent) : QComboBox(parent) {
    // Not WheelFocus, Qt's default for a combo box: the wheel must not take the focus either.
    setFocusPolicy(Qt::StrongFocus);
}

void PopUpButton::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();  // on to the card list
        return;
    }
    QComboBox::wheelEvent(event);
}

}  // namespace avrane
