#pragma once

#include <optional>

#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace avrane {

class ElidedLabel;
class ToggleSwitch;

// The panel's building blocks: its kinds of labels, pop-ups and buttons, each with the object
// name tests and the layout dump know it by, and the row that places a title, a control and
// an optional hint.
template <class T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
ElidedLabel* titleLabel(const char* name);
// Small, plain text, wrapping to three lines at most.
QLabel* hintLabel(const char* name);
// Centred in its column.
QLabel* valueLabel(const char* name);
QComboBox* popUp(const char* name);
QPushButton* smallButton(const char* name);
QWidget* settingsRow(QWidget* title, QWidget* control, QLabel* hint = nullptr);
// The width a settings row gives its control.
int controlWidth(const QWidget* control);

// New items in the new language, the same item selected; no selection stays none.
void rebuild(QComboBox* box, const QStringList& items);
// Each of these leaves the view alone when it already shows the value, and reports nothing.
void select(QComboBox* box, const std::optional<int>& index);
void setText(QLabel* label, const QString& text);
void setChecked(ToggleSwitch* toggle, bool on);

}  // namespace avrane
