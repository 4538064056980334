#include "AvraneBar/Panel/PanelAccessibility.h"

#include <cmath>

#include <QAbstractItemView>
#include <QAccessibleWidget>

#include "AvraneBar/Panel/Card.h"
#include "AvraneBar/Panel/ElidedLabel.h"
#include "AvraneBar/Panel/PopUpButton.h"
#include "AvraneBar/Panel/SliderRow.h"
#include "AvraneBar/Panel/ToggleSwitch.h"

namespace avrane {
namespace {

// Qt's own slider reports the integer scale under the knob (1500 of 0 to 3000 for volume 15).
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(ValueSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return slider()->valueText();
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return slider()->doubleValue(); }
    // As the hand would move it: the row shows the value and writes it once it rests.
    void setCurrentValue(const QVariant& value) override {
        slider()->setValue(int(std::lround(value.toDouble() * ValueSlider::stepsPerUnit)));
    }
    QVariant maximumValue() const override { return double(slider()->maximum()) / ValueSlider::stepsPerUnit; }
    QVariant minimumValue() const override { return double(slider()->minimum()) / ValueSlider::stepsPerUnit; }
    QVariant minimumStepSize() const override { return double(slider()->singleStep()) / ValueSlider::stepsPerUnit; }

private:
    ValueSlider* slider() const { return static_cast<ValueSlider*>(widget()); }
};

// On Linux Qt names a combo box by its current item and leaves the label to a relation; the
// panel names it by its row, as a sighted user reads it, and gives the item as its text.
class PopUpAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PopUpAccessible(PopUpButton* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return box()->currentText();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = box()->view()->isVisible();
        return state;
    }

    // The item list, as Qt's own combo box has it.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == box()->view() ? 0 : -1;
    }

    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction() << pressAction();
    }
    void doAction(const QString& name) override {
        if (name == showMenuAction() || name == pressAction()) {
            box()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

    // The chosen item's text, read only.
    QString text(int start, int end) const override { return box()->currentText().mid(start, end - start); }
    int characterCount() const override { return int(box()->currentText().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    PopUpButton* box() const { return static_cast<PopUpButton*>(widget()); }
};

// Qt's own toggles a check box's state without a click, so the panel would not hear of it:
// here every action clicks, as the hand or Space does.
class SwitchAccessible : public QAccessibleWidget {
public:
    explicit SwitchAccessible(ToggleSwitch* toggle) : QAccessibleWidget(toggle, QAccessible::CheckBox) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = toggle()->isChecked();
        return state;
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << toggleAction() << pressAction(); }
    void doAction(const QString& name) override {
        if (name == toggleAction() || name == pressAction()) {
            toggle()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    ToggleSwitch* toggle() const { return static_cast<ToggleSwitch*>(widget()); }
};

class CardAccessible : public QAccessibleWidget {
public:
    explicit CardAccessible(Card* card) : QAccessibleWidget(card, QAccessible::Grouping) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) return static_cast<Card*>(widget())->titleLabel()->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* panelWidgets(const QString& className, QObject* object) {
    if (className == QLatin1String("avrane::ValueSlider")) return new SliderAccessible(static_cast<ValueSlider*>(object));
    if (className == QLatin1String("avrane::PopUpButton")) return new PopUpAccessible(static_cast<PopUpButton*>(object));
    if (className == QLatin1String("avrane::ToggleSwitch")) return new SwitchAccessible(static_cast<ToggleSwitch*>(object));
    if (className == QLatin1String("avrane::Card")) return new CardAccessible(static_cast<Card*>(object));
    if (className == QLatin1String("avrane::MenuBarPanel")) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

}  // namespace

void installPanelAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(panelWidgets);
        return true;
    }();
    (void)installed;
}

}  // namespace avrane
