#include "AvraneBar/Panel/PopUpButton.h"

namespace avrane {

PopUpButton::PopUpButton(QWidget* parent) : TakesWheelWhenChosen<QComboBox>(parent) {
    // Not WheelFocus, Qt's default for a combo box: the wheel must not take the focus either.
    setFocusPolicy(Qt::StrongFocus);
}

}  // namespace avrane
