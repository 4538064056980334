#include "AvraneBar/Panel/PopUpButton.h"

#include <QFocusEvent>
#include <QWheelEvent>

namespace avrane {

PopUpButton::PopUpButton(QWidget* parent) : QComboBox(parent) {
    // Not WheelFocus, Qt's default for a combo box: the wheel must not take the focus either.
    setFocusPolicy(Qt::StrongFocus);
}

void PopUpButton::wheelEvent(QWheelEvent* event) {
    if (!hasFocus() || !focus_.given()) {
        event->ignore();  // on to the card list
        return;
    }
    QComboBox::wheelEvent(event);
}

void PopUpButton::focusInEvent(QFocusEvent* event) {
    focus_.focusIn(event->reason());
    QComboBox::focusInEvent(event);
}

void PopUpButton::focusOutEvent(QFocusEvent* event) {
    focus_.focusOut(event->reason());
    QComboBox::focusOutEvent(event);
}

void PopUpButton::mousePressEvent(QMouseEvent* event) {
    focus_.used();
    QComboBox::mousePressEvent(event);
}

void PopUpButton::keyPressEvent(QKeyEvent* event) {
    focus_.used();
    QComboBox::keyPressEvent(event);
}

}  // namespace avrane
