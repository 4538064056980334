#pragma once

#include <QList>
#include <QWidget>

#include "AvraneBar/Panel/PanelModel.h"

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace avrane {

class BatteryBar;
class Card;
class ElidedLabel;
class HeadsetController;
class SliderRow;
class ToggleSwitch;
class UpdateChecker;

// The settings panel's content: a header with the headset's name, firmware and battery, a
// scrolling list of seven cards, and a footer with the language, version, update check,
// window-size reset and quit. It shows what its PanelModel decides and passes every control
// change to it; headset writes go through the controller's `apply`.
//
// Every control has an object name (the names below, for example "volumeSlider",
// "ancPopUp", "ledSwitch") and an accessible name in the interface language.
class PanelViewController : public QWidget {
    Q_OBJECT

public:
    PanelViewController(HeadsetController& controller, UpdateChecker& updateChecker, QWidget* parent = nullptr);
    ~PanelViewController() override;

    // Shows what differs from the snapshot shown last (everything after a relabel).
    void render(const HeadsetSnapshot& snapshot);
    void renderUpdate(const UpdateChecker::State& state);
    // Every text in the current language, then everything rendered again.
    void relabel();
    // The window's size limits from the content, and the stored height within them.
    void updateContentLimits();
    // A line above everything else, about the window rather than the headset (the desktop
    // shows no tray); an empty text hides it.
    void setNotice(const QString& text);

    HeadsetController& controller() const { return controller_; }
    PanelModel& model() { return model_; }
    // The seven cards in display order.
    const QList<Card*>& cards() const { return cards_; }

    // The width at which every row title shows whole, with any value its slider can show,
    // whether the row is shown now or not; never below the panel's minimum width.
    double fittingWidth() const;
    // The height at which every card shows without scrolling, and the card list's part of it.
    double fittingHeight() const;
    double cardAreaHeight() const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void build();
    void connectControls();
    void apply(const PanelUpdate& update);
    void apply(const VisibilityChange& change);
    void showStored(const StoredSettings& stored);
    void showSlider(SliderRow* row, const std::optional<SliderValue>& value);
    void confirmQuit();
    void applySecondaryColours();
    int innerWidth() const;

    HeadsetController& controller_;
    UpdateChecker& updateChecker_;
    TimerCalls calls_;
    PanelModel model_;

    QLabel* notice_;
    ElidedLabel* deviceLabel_;
    QLabel* firmwareLabel_;  // wraps: the hint for a dongle that may not be opened is long
    BatteryBar* batteryBar_;
    QLabel* batteryLabel_;
    SliderRow* volumeRow_;
    SliderRow* balanceRow_;
    SliderRow* sidetoneRow_;
    QLabel* micValue_;
    QLabel* micHint_;
    ElidedLabel* micRowTitle_;
    QComboBox* ancPopUp_;
    ElidedLabel* ancRowTitle_;
    SliderRow* ambientRow_;
    ToggleSwitch* voiceFocusSwitch_;
    ElidedLabel* voiceFocusTitle_;
    QList<QWidget*> ambientRows_;
    QList<QWidget*> headsetBluetoothRows_;
    QComboBox* btModePopUp_;
    ElidedLabel* btModeTitle_;
    QComboBox* btStartupPopUp_;
    ElidedLabel* btStartupTitle_;
    QLabel* btStateValue_;
    ElidedLabel* btStateTitle_;
    QLabel* computerLinkValue_;
    ElidedLabel* computerLinkTitle_;
    QLabel* computerLinkHint_;
    QComboBox* ncStartupPopUp_;
    ElidedLabel* ncStartupTitle_;
    QComboBox* autoPowerOffPopUp_;
    ElidedLabel* autoPowerOffTitle_;
    ToggleSwitch* ledSwitch_;
    ElidedLabel* ledTitle_;
    QLabel* ledHint_;
    ToggleSwitch* batteryTextSwitch_;
    ElidedLabel* batteryTextTitle_;
    ToggleSwitch* volumeTextSwitch_;
    ElidedLabel* volumeTextTitle_;
    QComboBox* trayIconColourPopUp_;
    ElidedLabel* trayIconColourTitle_;
    ToggleSwitch* dockSwitch_;
    ElidedLabel* dockTitle_;
    QLabel* dockHint_;
    ToggleSwitch* startAtLoginSwitch_;
    ElidedLabel* startAtLoginTitle_;
    ToggleSwitch* lowBatteryAlertsSwitch_;
    ElidedLabel* lowBatteryAlertsTitle_;
    QComboBox* updateIntervalPopUp_;
    ElidedLabel* updateIntervalTitle_;
    QLabel* updateStatusValue_;
    ElidedLabel* updateStatusTitle_;
    QPushButton* updateActionButton_;
    QWidget* updateActionRow_ = nullptr;
    ElidedLabel* versionLabel_;
    QPushButton* checkUpdateButton_;
    QComboBox* languagePopUp_;
    QLabel* languageLabel_;
    QPushButton* resetSizeButton_;
    QPushButton* quitButton_;
    ElidedLabel* notSavedLabel_;
    QWidget* stack_ = nullptr;
    QList<Card*> cards_;
    QScrollArea* cardScrollView_ = nullptr;
    QWidget* cardStackView_ = nullptr;
    Card* soundCard_ = nullptr;
    Card* micCard_ = nullptr;
    Card* ancCard_ = nullptr;
    Card* powerCard_ = nullptr;
    Card* btCard_ = nullptr;
    Card* menuBarCard_ = nullptr;
    Card* updatesCard_ = nullptr;
    struct TitledRow {
        ElidedLabel* title;
        QWidget* control;
        SliderRow* slider;  // when the title carries a slider's value
    };
    QList<TitledRow> titledRows_;
    PanelLabels labels_;
    bool built_ = false;  // palette changes arrive while the views are still being made
};

}  // namespace avrane
