#pragma once

#include <QComboBox>

#include "AvraneBar/Panel/UserFocus.h"

namespace avrane {

// The panel's pop-up button. A wheel turned over it scrolls the card list, unless the user
// has given it the focus (a click or Tab): scrolling past a setting never changes it.
class PopUpButton : public QComboBox {
    Q_OBJECT

public:
    explicit PopUpButton(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    UserFocus focus_;
};

}  // namespace avrane
