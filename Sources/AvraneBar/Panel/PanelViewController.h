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
    // When the views are made: at once, or when the content is first rendered, measured or
    // about to be shown by its window (its texts, states and notice are then those of that
    // moment).
    enum class Build { now, whenFirstShown };

    PanelViewController(HeadsetController& controller, UpdateChecker& updateChecker, QWidget* parent = nullptr,
                        Build build = Build::now);
    ~PanelViewController() override;

    // The views now, unless they are made already.
    void makeViews();
    bool isBuilt() const { return built_; }
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
    double fittingWidth();
    // The height at which every card shows without scrolling, and the card list's part of it.
    double fittingHeight();
    double cardAreaHeight();

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

    QString noticeText_;
    QLabel* notice_ = nullptr;
    ElidedLabel* deviceLabel_ = nullptr;
    QLabel* firmwareLabel_ = nullptr;  // wraps: the hint for a dongle that may not be opened is long
    BatteryBar* batteryBar_ = nullptr;
    QLabel* batteryLabel_ = nullptr;
    SliderRow* volumeRow_ = nullptr;
    SliderRow* balanceRow_ = nullptr;
    SliderRow* sidetoneRow_ = nullptr;
    QLabel* micValue_ = nullptr;
    QLabel* micHint_ = nullptr;
    ElidedLabel* micRowTitle_ = nullptr;
    QComboBox* ancPopUp_ = nullptr;
    ElidedLabel* ancRowTitle_ = nullptr;
    SliderRow* ambientRow_ = nullptr;
    ToggleSwitch* voiceFocusSwitch_ = nullptr;
    ElidedLabel* voiceFocusTitle_ = nullptr;
    QList<QWidget*> ambientRows_;
    QList<QWidget*> headsetBluetoothRows_;
    QComboBox* btModePopUp_ = nullptr;
    ElidedLabel* btModeTitle_ = nullptr;
    QComboBox* btStartupPopUp_ = nullptr;
    ElidedLabel* btStartupTitle_ = nullptr;
    QLabel* btStateValue_ = nullptr;
    ElidedLabel* btStateTitle_ = nullptr;
    QLabel* computerLinkValue_ = nullptr;
    ElidedLabel* computerLinkTitle_ = nullptr;
    QLabel* computerLinkHint_ = nullptr;
    QComboBox* ncStartupPopUp_ = nullptr;
    ElidedLabel* ncStartupTitle_ = nullptr;
    QComboBox* autoPowerOffPopUp_ = nullptr;
    ElidedLabel* autoPowerOffTitle_ = nullptr;
    ToggleSwitch* ledSwitch_ = nullptr;
    ElidedLabel* ledTitle_ = nullptr;
    QLabel* ledHint_ = nullptr;
    ToggleSwitch* batteryTextSwitch_ = nullptr;
    ElidedLabel* batteryTextTitle_ = nullptr;
    ToggleSwitch* volumeTextSwitch_ = nullptr;
    ElidedLabel* volumeTextTitle_ = nullptr;
    QComboBox* trayIconColourPopUp_ = nullptr;
    ElidedLabel* trayIconColourTitle_ = nullptr;
    ToggleSwitch* dockSwitch_ = nullptr;
    ElidedLabel* dockTitle_ = nullptr;
    QLabel* dockHint_ = nullptr;
    ToggleSwitch* startAtLoginSwitch_ = nullptr;
    ElidedLabel* startAtLoginTitle_ = nullptr;
    ToggleSwitch* lowBatteryAlertsSwitch_ = nullptr;
    ElidedLabel* lowBatteryAlertsTitle_ = nullptr;
    QComboBox* updateIntervalPopUp_ = nullptr;
    ElidedLabel* updateIntervalTitle_ = nullptr;
    QLabel* updateStatusValue_ = nullptr;
    ElidedLabel* updateStatusTitle_ = nullptr;
    QPushButton* updateActionButton_ = nullptr;
    QWidget* updateActionRow_ = nullptr;
    ElidedLabel* versionLabel_ = nullptr;
    QPushButton* checkUpdateButton_ = nullptr;
    QComboBox* languagePopUp_ = nullptr;
    QLabel* languageLabel_ = nullptr;
    QPushButton* resetSizeButton_ = nullptr;
    QPushButton* quitButton_ = nullptr;
    ElidedLabel* notSavedLabel_ = nullptr;
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
    bool built_ = false;  // also: palette changes arrive while the views are still being made
};

}  // namespace avrane
