#include "AvraneBar/Panel/CardList.h"

#include <QEvent>

namespace avrane {

MarginScrollBar::MarginScrollBar(QScrollArea* area, QWidget* host) : QScrollBar(Qt::Vertical, host), area_(area) {
    setObjectName(QStringLiteral("cardScrollBar"));
    setFixedWidth(10);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScrollBar* inner = area->verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, this, [this](int minimum, int maximum) {
        setRange(minimum, maximum);
        setVisible(maximum > minimum);
    });
    connect(inner, &QScrollBar::valueChanged, this, &QScrollBar::setValue);
    connect(this, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
    area->installEventFilter(this);
    hide();
}

bool MarginScrollBar::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move) {
        const QRect view = area_->geometry();
        setGeometry(view.right() + 4, view.top(), width(), view.height());
        setPageStep(area_->verticalScrollBar()->pageStep());
        setSingleStep(area_->verticalScrollBar()->singleStep());
    }
    return false;
}

}  // namespace avrane
