#include "AvraneBar/Panel/Card.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "AvraneBar/Panel/ElidedLabel.h"
#include "AvraneBar/Panel/PanelSizing.h"
#include "AvraneBar/Panel/PanelStyle.h"

namespace avrane {

Card::Card(const QString& title, const QList<QWidget*>& rows, QWidget* parent)
    : QFrame(parent), titleLabel_(new ElidedLabel(this)), stack_(new QVBoxLayout(this)) {
    titleLabel_->setText(title);
    stack_->setContentsMargins(sizing::cardInset, 12, sizing::cardInset, 14);
    stack_->setSpacing(10);
    stack_->addWidget(titleLabel_);
    stack_->addWidget(new SeparatorLine(this));
    for (QWidget* row : rows) stack_->addWidget(row);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    applyColours();
}

void Card::setTitle(const QString& title) {
    if (titleLabel_->text() == title) return;
    titleLabel_->setText(title);
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
}

void Card::applyColours() {
    titleLabel_->setFont(style::cardTitleFont(font()));
    style::setTone(titleLabel_, Tone::secondary);
}

void Card::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) applyColours();
    QFrame::changeEvent(event);
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(style::cardBorder(palette()), 1));
    painter.setBrush(style::cardBackground(palette()));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

SeparatorLine::SeparatorLine(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SeparatorLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), style::cardBorder(palette()));
}

}  // namespace avrane
