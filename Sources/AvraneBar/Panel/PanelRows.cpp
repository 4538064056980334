#include "AvraneBar/Panel/PanelRows.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "AvraneBar/Panel/ElidedLabel.h"
#include "AvraneBar/Panel/HintLabel.h"
#include "AvraneBar/Panel/PanelSizing.h"
#include "AvraneBar/Panel/PanelStyle.h"
#include "AvraneBar/Panel/PopUpButton.h"
#include "AvraneBar/Panel/ToggleSwitch.h"

namespace avrane {

ElidedLabel* titleLabel(const char* name) { return named(new ElidedLabel, name); }

QLabel* hintLabel(const char* name) {
    auto* label = named(new HintLabel, name);
    label->setFont(style::smallFont(label->font()));
    return label;
}

QLabel* valueLabel(const char* name) {
    auto* label = named(new QLabel, name);
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QComboBox* popUp(const char* name) {
    auto* box = named(new PopUpButton, name);
    box->setMinimumContentsLength(6);
    return box;
}

QPushButton* smallButton(const char* name) {
    auto* button = named(new QPushButton, name);
    button->setFont(style::smallFont(button->font()));
    button->setAutoDefault(false);
    return button;
}

void rebuild(QComboBox* box, const QStringList& items) {
    const QSignalBlocker quiet(box);
    const int selected = box->currentIndex();
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(selected >= 0 && selected < box->count() ? selected : -1);
}

void select(QComboBox* box, const std::optional<int>& index) {
    if (!index) return;
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(*index);
}

void setText(QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
}

void setChecked(ToggleSwitch* toggle, bool on) {
    if (toggle->isChecked() != on) toggle->setChecked(on);
}

namespace {

// Pop-ups, sliders and values fill a column of fixed width, so that they line up from row to
// row; switches and buttons keep their own width.
bool fillsColumn(const QWidget* control) {
    return qobject_cast<const QComboBox*>(control) || qobject_cast<const QSlider*>(control) ||
           qobject_cast<const QLabel*>(control);
}

}  // namespace

int controlWidth(const QWidget* control) {
    return fillsColumn(control) ? int(sizing::controlColumnWidth) : control->sizeHint().width();
}

QWidget* settingsRow(QWidget* title, QWidget* control, QLabel* hint) {
    // All controls sit at the right edge, and the title gives way first when space is short.
    QWidget* column = control;
    if (fillsColumn(control)) {
        column = new QWidget;
        column->setFixedWidth(int(sizing::controlColumnWidth));
        auto* columnLayout = new QHBoxLayout(column);
        columnLayout->setContentsMargins(0, 0, 0, 0);
        columnLayout->addWidget(control, 1, Qt::AlignVCenter);
    }

    auto* line = new QWidget;
    auto* lineLayout = new QHBoxLayout(line);
    lineLayout->setContentsMargins(0, 0, 0, 0);
    lineLayout->setSpacing(sizing::rowSpacing);
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lineLayout->addWidget(title, 1, Qt::AlignVCenter);
    lineLayout->addWidget(column, 0, Qt::AlignVCenter);
    if (!hint) return line;

    auto* rowWidget = new QWidget;
    auto* rowLayout = new QVBoxLayout(rowWidget);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(2);
    rowLayout->addWidget(line);
    rowLayout->addWidget(hint);
    return rowWidget;
}

}  // namespace avrane
