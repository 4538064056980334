#include "AvraneBar/Panel/PopUpButton.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QtMath>

namespace avrane {

PopUpButton::PopUpButton(QWidget* parent) : TakesWheelWhenChosen<QComboBox>(parent) {
    // Not WheelFocus, Qt's default for a combo box: the wheel must not take the focus either.
    setFocusPolicy(Qt::StrongFocus);
}

QSize PopUpButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const QSize icon = iconSize();
    const QSize contents(minimumContentsLength() * metrics.horizontalAdvance(QLatin1Char('X')) + icon.width() + 4,
                         std::max({qCeil(QFontMetricsF(metrics).height()), 14, icon.height()}) + 2);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this);
}

QSize PopUpButton::minimumSizeHint() const { return sizeHint(); }

}  // namespace avrane
