#pragma once

#include <QComboBox>

#include "AvraneBar/Panel/TakesWheelWhenChosen.h"

namespace avrane {

// The panel's pop-up button: it takes the wheel only once the user has chosen it. Its size is
// that of Qt's AdjustToMinimumContentsLengthWithIcon (room for the minimum contents length and
// an icon, whatever the items), worked out here: setting that policy makes Qt build the pop-up
// list at once (a list view with its frame and scroll bars), which the default policy leaves
// until the pop-up first opens.
class PopUpButton : public TakesWheelWhenChosen<QComboBox> {
    Q_OBJECT

public:
    explicit PopUpButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

}  // namespace avrane
