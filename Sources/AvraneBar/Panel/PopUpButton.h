#pragma once

#include <QComboBox>

#include "AvraneBar/Panel/TakesWheelWhenChosen.h"

namespace avrane {

// The panel's pop-up button: it takes the wheel only once the user has chosen it.
class PopUpButton : public TakesWheelWhenChosen<QComboBox> {
    Q_OBJECT

public:
    explicit PopUpButton(QWidget* parent = nullptr);
};

}  // namespace avrane
