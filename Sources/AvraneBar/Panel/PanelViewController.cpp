#include "AvraneBar/Panel/PanelViewController.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidgetAction>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Notifications/NotificationCenter.h"
#include "AvraneBar/Panel/BatteryBar.h"
#include "AvraneBar/Panel/Card.h"
#include "AvraneBar/Panel/CardList.h"
#include "AvraneBar/Panel/ElidedLabel.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelAccessibility.h"
#include "AvraneBar/Panel/PanelRows.h"
#include "AvraneBar/Panel/PanelStyle.h"
#include "AvraneBar/Panel/SliderRow.h"
#include "AvraneBar/Panel/ToggleSwitch.h"
#include "AvraneUpdate/UpdateChecker.h"

namespace avrane {
namespace {

PanelModel::Options modelOptions(HeadsetController& controller, DelayedCalls& calls, std::function<void()> holdEnded) {
    PanelModel::Options options;
    options.holdEnded = std::move(holdEnded);
    options.apply = [&controller](std::vector<EventID> events, HeadsetController::WriteOperation write,
                                  HeadsetController::Completion done) {
        controller.apply(std::move(events), std::move(write), std::move(done));
    };
    options.calls = &calls;
    return options;
}

// The height the window's content may take on its screen: from below the tray icon (or the
// top of the free area) to the bottom of the free area, less the gaps and the window
// manager's frame. A tray that reserves no room of its own (no window manager) still counts.
double roomOnScreen(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) return std::numeric_limits<double>::infinity();
    const auto* panel = qobject_cast<const MenuBarPanel*>(window);
    const QRect free = panel ? panel->freeArea() : screen->availableGeometry();
    int top = free.top();
    if (panel) {
        const QRect icon = panel->lastButtonFrame();
        if (icon.isValid() && icon.center().y() < free.center().y()) top = std::max(top, icon.bottom() + 1);
    }
    const int frame = panel ? panel->frameMargins().top() + panel->frameMargins().bottom()
                            : std::max(0, window->frameGeometry().height() - window->height());
    return free.bottom() + 1 - top - 2 * placement::topMargin - frame;
}

}  // namespace

PanelViewController::PanelViewController(HeadsetController& controller, UpdateChecker& updateChecker, QWidget* parent,
                                         Build build)
    : QWidget(parent),
      controller_(controller),
      updateChecker_(updateChecker),
      calls_(this),
      model_(modelOptions(controller, calls_, [this] {
          if (isVisible()) render(controller_.snapshot());
      })) {
    installPanelAccessibility();
    setObjectName(QStringLiteral("panelContent"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    NotificationCenter::defaultCenter().observe(Localization::didChange, this, [this] { relabel(); });
    if (build == Build::now) makeViews();
}

PanelViewController::~PanelViewController() = default;

void PanelViewController::makeViews() {
    if (built_) return;
    notice_ = hintLabel("notice");
    setText(notice_, noticeText_);
    notice_->setHidden(noticeText_.isEmpty());
    deviceLabel_ = titleLabel("deviceLabel");
    firmwareLabel_ = hintLabel("firmwareLabel");
    batteryBar_ = named(new BatteryBar, "batteryBar");
    batteryLabel_ = named(new QLabel, "batteryLabel");
    volumeRow_ = new SliderRow(0, 30, this);
    balanceRow_ = new SliderRow(-5, 5, this);
    sidetoneRow_ = new SliderRow(0, 10, this);
    ambientRow_ = new SliderRow(1, 20, this);
    for (const auto& [row, name] : {std::pair{volumeRow_, "volume"}, {balanceRow_, "balance"}, {sidetoneRow_, "sidetone"},
                                    {ambientRow_, "ambient"}}) {
        row->slider()->setObjectName(QLatin1String(name) + QLatin1String("Slider"));
        row->title()->setObjectName(QLatin1String(name) + QLatin1String("Title"));
    }
    balanceRow_->slider()->setSingleStep(ValueSlider::stepsPerUnit / 2);
    balanceRow_->setShowsMidpointTick(true);
    micValue_ = valueLabel("micValue");
    micHint_ = hintLabel("micHint");
    micRowTitle_ = titleLabel("micRowTitle");
    ancPopUp_ = popUp("ancPopUp");
    ancRowTitle_ = titleLabel("ancRowTitle");
    voiceFocusSwitch_ = named(new ToggleSwitch, "voiceFocusSwitch");
    voiceFocusTitle_ = titleLabel("voiceFocusTitle");
    btModePopUp_ = popUp("btModePopUp");
    btModeTitle_ = titleLabel("btModeTitle");
    btStartupPopUp_ = popUp("btStartupPopUp");
    btStartupTitle_ = titleLabel("btStartupTitle");
    btStateValue_ = valueLabel("btStateValue");
    btStateTitle_ = titleLabel("btStateTitle");
    computerLinkValue_ = valueLabel("computerLinkValue");
    computerLinkTitle_ = titleLabel("computerLinkTitle");
    computerLinkHint_ = hintLabel("computerLinkHint");
    ncStartupPopUp_ = popUp("ncStartupPopUp");
    ncStartupTitle_ = titleLabel("ncStartupTitle");
    autoPowerOffPopUp_ = popUp("autoPowerOffPopUp");
    autoPowerOffTitle_ = titleLabel("autoPowerOffTitle");
    ledSwitch_ = named(new ToggleSwitch, "ledSwitch");
    ledTitle_ = titleLabel("ledTitle");
    ledHint_ = hintLabel("ledHint");
    batteryTextSwitch_ = named(new ToggleSwitch, "batteryTextSwitch");
    batteryTextTitle_ = titleLabel("batteryTextTitle");
    volumeTextSwitch_ = named(new ToggleSwitch, "volumeTextSwitch");
    volumeTextTitle_ = titleLabel("volumeTextTitle");
    trayIconColourPopUp_ = popUp("trayIconColourPopUp");
    trayIconColourTitle_ = titleLabel("trayIconColourTitle");
    dockSwitch_ = named(new ToggleSwitch, "dockSwitch");
    dockTitle_ = titleLabel("dockTitle");
    dockHint_ = hintLabel("dockHint");
    startAtLoginSwitch_ = named(new ToggleSwitch, "startAtLoginSwitch");
    startAtLoginTitle_ = titleLabel("startAtLoginTitle");
    lowBatteryAlertsSwitch_ = named(new ToggleSwitch, "lowBatteryAlertsSwitch");
    lowBatteryAlertsTitle_ = titleLabel("lowBatteryAlertsTitle");
    updateIntervalPopUp_ = popUp("updateIntervalPopUp");
    updateIntervalTitle_ = titleLabel("updateIntervalTitle");
    updateStatusValue_ = valueLabel("updateStatusValue");
    updateStatusTitle_ = titleLabel("updateStatusTitle");
    updateActionButton_ = smallButton("updateActionButton");
    versionLabel_ = titleLabel("versionLabel");
    checkUpdateButton_ = smallButton("checkUpdateButton");
    languagePopUp_ = popUp("languagePopUp");
    languagePopUp_->setFont(style::smallFont(languagePopUp_->font()));
    languageLabel_ = named(new QLabel, "languageLabel");
    resetSizeButton_ = smallButton("resetSizeButton");
    quitButton_ = smallButton("quitButton");
    notSavedLabel_ = titleLabel("notSavedLabel");

    build();
    connectControls();
    built_ = true;
    relabel();
}

void PanelViewController::build() {
    // One view holds everything, as the layout dump starts from it.
    stack_ = named(new QWidget(this), "contentStack");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSizeConstraint(QLayout::SetNoConstraint);
    outer->addWidget(stack_);
    auto* root = new QVBoxLayout(stack_);
    root->setContentsMargins(sizing::panelMargin, 16, sizing::panelMargin, 14);
    root->setSpacing(10);
    // The window's limits come from updateContentLimits, not from the layout.
    root->setSizeConstraint(QLayout::SetNoConstraint);

    root->addWidget(notice_);

    auto* header = named(new QWidget, "header");
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(2, 0, 2, 2);
    headerLayout->setSpacing(5);
    deviceLabel_->setFont(style::headlineFont(font()));
    firmwareLabel_->setFont(style::smallFont(font()));
    batteryLabel_->setFont(style::smallFont(font()));
    batteryLabel_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    headerLayout->addWidget(deviceLabel_);
    headerLayout->addWidget(firmwareLabel_);
    auto* batteryLine = new QHBoxLayout;
    batteryLine->setSpacing(8);
    batteryLine->addWidget(batteryBar_, 1, Qt::AlignVCenter);
    batteryLine->addWidget(batteryLabel_, 0, Qt::AlignVCenter);
    batteryLine->addStretch(0);  // keeps the text at the left while the gauge is hidden
    headerLayout->addLayout(batteryLine);
    root->addWidget(header);

    // Every row is kept with its title, so that the panel's width can give each title room.
    // The title labels its control for assistive technology too.
    const auto row = [this](ElidedLabel* title, QWidget* control, QLabel* hint = nullptr) {
        titledRows_.append({title, control, nullptr});
        title->setBuddy(control);
        return settingsRow(title, control, hint);
    };
    const auto sliderRow = [this](SliderRow* slider, QLabel* hint = nullptr) {
        titledRows_.append({slider->title(), slider->slider(), slider});
        slider->title()->setBuddy(slider->slider());
        return settingsRow(slider->title(), slider->slider(), hint);
    };
    QWidget* balance = sliderRow(balanceRow_, balanceRow_->hint());
    balanceRow_->hint()->setObjectName(QStringLiteral("balanceHint"));
    soundCard_ = new Card({}, {sliderRow(volumeRow_), balance, sliderRow(sidetoneRow_)});
    micCard_ = new Card({}, {row(micRowTitle_, micValue_, micHint_)});
    QWidget* ambientLevelRow = sliderRow(ambientRow_);
    QWidget* voiceFocusRow = row(voiceFocusTitle_, voiceFocusSwitch_);
    ambientRows_ = {ambientLevelRow, voiceFocusRow};
    ancCard_ = new Card({}, {row(ancRowTitle_, ancPopUp_), ambientLevelRow, voiceFocusRow});
    QWidget* btState = row(btStateTitle_, btStateValue_);
    QWidget* btMode = row(btModeTitle_, btModePopUp_);
    QWidget* btStartup = row(btStartupTitle_, btStartupPopUp_);
    headsetBluetoothRows_ = {btState, btMode, btStartup};
    btCard_ = new Card({}, {row(computerLinkTitle_, computerLinkValue_, computerLinkHint_), btState, btMode,
                            btStartup});
    powerCard_ = new Card({}, {row(ncStartupTitle_, ncStartupPopUp_),
                               row(autoPowerOffTitle_, autoPowerOffPopUp_),
                               row(ledTitle_, ledSwitch_, ledHint_)});
    menuBarCard_ = new Card({}, {row(batteryTextTitle_, batteryTextSwitch_),
                                 row(volumeTextTitle_, volumeTextSwitch_),
                                 row(trayIconColourTitle_, trayIconColourPopUp_),
                                 row(dockTitle_, dockSwitch_, dockHint_),
                                 row(startAtLoginTitle_, startAtLoginSwitch_),
                                 row(lowBatteryAlertsTitle_, lowBatteryAlertsSwitch_)});
    updateActionRow_ = row(named(new ElidedLabel, "updateActionTitle"), updateActionButton_);
    updatesCard_ = new Card({}, {row(updateIntervalTitle_, updateIntervalPopUp_),
                                 row(updateStatusTitle_, updateStatusValue_),
                                 updateActionRow_});
    cards_ = {soundCard_, micCard_, ancCard_, btCard_, powerCard_, menuBarCard_, updatesCard_};
    const char* cardNames[] = {"soundCard", "micCard", "ancCard", "btCard", "powerCard", "menuBarCard", "updatesCard"};
    for (int i = 0; i < cards_.size(); ++i) cards_[i]->setObjectName(QLatin1String(cardNames[i]));

    cardStackView_ = named(new CardList, "cardStack");
    auto* stack = new QVBoxLayout(cardStackView_);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(10);
    for (Card* card : cards_) stack->addWidget(card);
    stack->addStretch(1);
    cardScrollView_ = named(new CardScrollArea, "cardScroll");
    cardScrollView_->setFrameShape(QFrame::NoFrame);
    // The controls in it are the tab stops; it scrolls to the one that takes the focus.
    cardScrollView_->setFocusPolicy(Qt::NoFocus);
    cardScrollView_->setWidgetResizable(true);
    cardScrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    cardScrollView_->viewport()->setAutoFillBackground(false);
    cardStackView_->setAutoFillBackground(false);
    cardScrollView_->setWidget(cardStackView_);
    root->addWidget(cardScrollView_, 1);
    new MarginScrollBar(cardScrollView_, stack_);

    // A choice that could not be saved, and why: one line under the cards, seen wherever the
    // list is scrolled to.
    style::setTone(notSavedLabel_, Tone::red);
    notSavedLabel_->setFont(style::smallFont(font()));
    notSavedLabel_->hide();
    root->addWidget(notSavedLabel_);

    root->addWidget(named(new SeparatorLine, "footerSeparator"));

    auto* footer1 = new QHBoxLayout;
    footer1->setSpacing(6);
    languageLabel_->setFont(style::smallFont(font()));
    footer1->addWidget(languageLabel_);
    footer1->addWidget(languagePopUp_);
    footer1->addStretch(1);
    footer1->addWidget(resetSizeButton_);
    root->addLayout(footer1);

    auto* footer2 = new QHBoxLayout;
    footer2->setSpacing(6);
    versionLabel_->setFont(style::smallFont(font()));
    versionLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    footer2->addWidget(versionLabel_, 1);
    footer2->addWidget(checkUpdateButton_);
    footer2->addWidget(quitButton_);
    root->addLayout(footer2);

    // Top to bottom, as the controls appear.
    const QList<QWidget*> order = {volumeRow_->slider(), balanceRow_->slider(), sidetoneRow_->slider(), ancPopUp_,
                                   ambientRow_->slider(), voiceFocusSwitch_, btModePopUp_, btStartupPopUp_,
                                   ncStartupPopUp_, autoPowerOffPopUp_, ledSwitch_, batteryTextSwitch_,
                                   volumeTextSwitch_, trayIconColourPopUp_, dockSwitch_, startAtLoginSwitch_, lowBatteryAlertsSwitch_,
                                   updateIntervalPopUp_, updateActionButton_,
                                   languagePopUp_, resetSizeButton_, checkUpdateButton_, quitButton_};
    for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    applySecondaryColours();
}

void PanelViewController::connectControls() {
    const auto slider = [](SliderRow* row, QString (PanelModel::*action)(double), PanelModel& model) {
        row->onChange = [row, action, &model](double value) {
            row->valueText = (model.*action)(value);
            row->refreshTitle();
        };
    };
    slider(volumeRow_, &PanelModel::volumeChanged, model_);
    slider(balanceRow_, &PanelModel::balanceChanged, model_);
    slider(sidetoneRow_, &PanelModel::sidetoneChanged, model_);
    slider(ambientRow_, &PanelModel::ambientLevelChanged, model_);

    // `activated` and `clicked` come from the user only, never from the renders.
    connect(ancPopUp_, &QComboBox::activated, this, [this](int index) { apply(model_.ancChanged(index)); });
    const auto popUp = [this](QComboBox* box, void (PanelModel::*action)(int)) {
        connect(box, &QComboBox::activated, this, [this, action](int index) { (model_.*action)(index); });
    };
    popUp(autoPowerOffPopUp_, &PanelModel::autoPowerOffChanged);
    popUp(btModePopUp_, &PanelModel::btModeChanged);
    popUp(btStartupPopUp_, &PanelModel::btStartupChanged);
    popUp(ncStartupPopUp_, &PanelModel::ncStartupChanged);
    const auto toggle = [this](ToggleSwitch* button, void (PanelModel::*action)(bool)) {
        connect(button, &QAbstractButton::clicked, this, [this, action](bool on) { (model_.*action)(on); });
    };
    toggle(voiceFocusSwitch_, &PanelModel::voiceFocusChanged);
    toggle(ledSwitch_, &PanelModel::ledChanged);
    // Stored settings: the controls then show what was stored, which is not the user's choice
    // when it could not be saved.
    const auto storedToggle = [this](ToggleSwitch* button, StoredSettings (PanelModel::*action)(bool)) {
        connect(button, &QAbstractButton::clicked, this, [this, action](bool on) { showStored((model_.*action)(on)); });
    };
    storedToggle(batteryTextSwitch_, &PanelModel::batteryTextChanged);
    storedToggle(volumeTextSwitch_, &PanelModel::volumeTextChanged);
    storedToggle(dockSwitch_, &PanelModel::dockChanged);
    storedToggle(lowBatteryAlertsSwitch_, &PanelModel::lowBatteryAlertsChanged);
    storedToggle(startAtLoginSwitch_, &PanelModel::startAtLoginChanged);
    const auto storedPopUp = [this](QComboBox* box, StoredSettings (PanelModel::*action)(int)) {
        connect(box, &QComboBox::activated, this, [this, action](int index) { showStored((model_.*action)(index)); });
    };
    storedPopUp(languagePopUp_, &PanelModel::languageChanged);
    storedPopUp(updateIntervalPopUp_, &PanelModel::updateIntervalChanged);
    storedPopUp(trayIconColourPopUp_, &PanelModel::trayIconColourChanged);

    connect(checkUpdateButton_, &QPushButton::clicked, this, [this] { updateChecker_.check(true); });
    connect(updateActionButton_, &QPushButton::clicked, this, [this] {
        if (const auto release = PanelModel::releaseToDownload(updateChecker_.state())) updateChecker_.download(*release);
    });
    connect(resetSizeButton_, &QPushButton::clicked, this, [this] {
        if (auto* panel = qobject_cast<MenuBarPanel*>(window())) panel->resetWidth();
    });
    connect(quitButton_, &QPushButton::clicked, this, [this] { confirmQuit(); });
}

void PanelViewController::relabel() {
    // Views made later are labelled as they are made.
    if (!built_) return;
    labels_ = model_.labels();
    const PanelLabels& l = labels_;
    const auto sliderTitle = [](SliderRow* row, const QString& title) {
        row->titleText = title;
        row->refreshTitle();
        row->slider()->setAccessibleName(title);
    };
    // The render below leaves a slider the user just moved alone: its value takes the new
    // words here.
    if (!balanceRow_->valueText.isEmpty()) balanceRow_->valueText = model_.balanceText(balanceRow_->slider()->doubleValue());
    sliderTitle(volumeRow_, l.volume);
    sliderTitle(balanceRow_, l.balance);
    sliderTitle(sidetoneRow_, l.sidetone);
    sliderTitle(ambientRow_, l.ambientLevel);
    balanceRow_->widestValues = l.balanceExtremes;
    setText(balanceRow_->hint(), l.balanceHint);

    const QString cardTitles[] = {l.soundCard, l.microphoneCard, l.noiseCancellingCard, l.bluetoothCard,
                                  l.powerCard, l.menuBarCard, l.updatesCard};
    for (int i = 0; i < cards_.size(); ++i) cards_[i]->setTitle(cardTitles[i]);

    // A row's title also names its control for assistive technology. A value shown as text
    // is read as it is, after the title that labels it.
    const auto titled = [](QLabel* title, QWidget* control, const QString& text) {
        setText(title, text);
        control->setAccessibleName(text);
    };
    setText(micRowTitle_, l.micTitle);
    setText(micHint_, l.micHint);
    titled(ancRowTitle_, ancPopUp_, l.ancTitle);
    titled(voiceFocusTitle_, voiceFocusSwitch_, l.voiceFocusTitle);
    setText(computerLinkTitle_, l.computerLinkTitle);
    setText(computerLinkHint_, l.computerLinkHint);
    setText(btStateTitle_, l.btStateTitle);
    titled(btModeTitle_, btModePopUp_, l.btModeTitle);
    titled(btStartupTitle_, btStartupPopUp_, l.btStartupTitle);
    titled(ncStartupTitle_, ncStartupPopUp_, l.ncStartupTitle);
    titled(autoPowerOffTitle_, autoPowerOffPopUp_, l.autoPowerOffTitle);
    titled(ledTitle_, ledSwitch_, l.ledTitle);
    setText(ledHint_, l.ledHint);
    titled(batteryTextTitle_, batteryTextSwitch_, l.batteryTextTitle);
    titled(volumeTextTitle_, volumeTextSwitch_, l.volumeTextTitle);
    titled(trayIconColourTitle_, trayIconColourPopUp_, l.trayIconColourTitle);
    titled(dockTitle_, dockSwitch_, l.dockTitle);
    setText(dockHint_, l.dockHint);
    titled(startAtLoginTitle_, startAtLoginSwitch_, l.startAtLoginTitle);
    titled(lowBatteryAlertsTitle_, lowBatteryAlertsSwitch_, l.lowBatteryAlertsTitle);
    titled(updateIntervalTitle_, updateIntervalPopUp_, l.updateIntervalTitle);
    setText(updateStatusTitle_, l.updateStatusTitle);
    titled(languageLabel_, languagePopUp_, l.languageLabel);
    resetSizeButton_->setText(l.resetSize);
    checkUpdateButton_->setText(l.checkForUpdates);
    quitButton_->setText(l.quit);
    setText(versionLabel_, l.version);

    rebuild(updateIntervalPopUp_, l.updateIntervalItems);
    rebuild(ancPopUp_, l.ancItems);
    rebuild(autoPowerOffPopUp_, l.autoPowerOffItems);
    rebuild(btModePopUp_, l.btModeItems);
    rebuild(btStartupPopUp_, l.btStartupItems);
    rebuild(ncStartupPopUp_, l.ncStartupItems);
    rebuild(languagePopUp_, l.languageItems);
    rebuild(trayIconColourPopUp_, l.trayIconColourItems);
    select(updateIntervalPopUp_, l.updateIntervalIndex);
    select(languagePopUp_, l.languageIndex);
    select(trayIconColourPopUp_, l.trayIconColourIndex);
    showStored(model_.storedSettings());  // the line on a setting not saved, in the new language

    renderUpdate(updateChecker_.state());
    model_.forgetShown();
    render(controller_.snapshot());
    // Titles in another language need another width, unless the user chose one.
    auto* panel = qobject_cast<MenuBarPanel*>(window());
    if (panel && panel->isVisible()) panel->applyStoredWidth();
    updateContentLimits();
}

double PanelViewController::fittingWidth() {
    makeViews();
    double width = sizing::minimumWidth;
    for (const TitledRow& row : titledRows_) {
        const int title = row.slider ? row.slider->widestTitleWidth() : row.title->fontMetrics().horizontalAdvance(row.title->text());
        width = std::max(width, sizing::widthFitting(title, controlWidth(row.control)));
    }
    return width;
}

void PanelViewController::render(const HeadsetSnapshot& snapshot) {
    makeViews();
    apply(model_.render(snapshot));
}

void PanelViewController::showStored(const StoredSettings& stored) {
    setChecked(batteryTextSwitch_, stored.switches.batteryText);
    setChecked(volumeTextSwitch_, stored.switches.volumeText);
    setChecked(dockSwitch_, stored.switches.dock);
    setChecked(startAtLoginSwitch_, stored.switches.startAtLogin);
    setChecked(lowBatteryAlertsSwitch_, stored.switches.lowBatteryAlerts);
    select(languagePopUp_, stored.languageIndex);
    select(updateIntervalPopUp_, stored.updateIntervalIndex);
    select(trayIconColourPopUp_, stored.trayIconColourIndex);
    const QString line = stored.notSaved.value_or(QString());
    if (notSavedLabel_->text() == line && notSavedLabel_->isHidden() == line.isEmpty()) return;
    setText(notSavedLabel_, line);
    notSavedLabel_->setToolTip(line);
    notSavedLabel_->setAccessibleName(line);
    notSavedLabel_->setHidden(line.isEmpty());
    updateContentLimits();
}

void PanelViewController::showSlider(SliderRow* row, const std::optional<SliderValue>& value) {
    if (!value) return;
    row->slider()->setDoubleValue(value->value);
    row->valueText = value->text;
    row->refreshTitle();
}

void PanelViewController::apply(const PanelUpdate& u) {
    if (u.header) {
        setText(deviceLabel_, u.header->device);
        setText(firmwareLabel_, u.header->firmware);
    }
    if (u.battery) {
        batteryBar_->setCharging(u.battery->charging);
        batteryBar_->setPercent(u.battery->gauge);
        batteryBar_->setVisible(u.battery->gauge.has_value());
        setText(batteryLabel_, u.battery->text);
        style::setTone(batteryLabel_, u.battery->tone);
    }
    if (u.computerLink) {
        setText(computerLinkValue_, u.computerLink->text);
        style::setTone(computerLinkValue_, u.computerLink->tone);
    }
    setChecked(batteryTextSwitch_, u.switches.batteryText);
    setChecked(volumeTextSwitch_, u.switches.volumeText);
    setChecked(dockSwitch_, u.switches.dock);
    setChecked(startAtLoginSwitch_, u.switches.startAtLogin);
    setChecked(lowBatteryAlertsSwitch_, u.switches.lowBatteryAlerts);
    showSlider(volumeRow_, u.volume);
    showSlider(balanceRow_, u.balance);
    showSlider(sidetoneRow_, u.sidetone);
    showSlider(ambientRow_, u.ambientLevel);
    if (u.mic) {
        setText(micValue_, u.mic->text);
        style::setTone(micValue_, u.mic->tone);
    }
    select(ancPopUp_, u.ancIndex);
    select(autoPowerOffPopUp_, u.autoPowerOffIndex);
    select(btModePopUp_, u.btModeIndex);
    select(btStartupPopUp_, u.btStartupIndex);
    select(ncStartupPopUp_, u.ncStartupIndex);
    if (u.voiceFocus) setChecked(voiceFocusSwitch_, *u.voiceFocus);
    if (u.led) setChecked(ledSwitch_, *u.led);
    if (u.btState) setText(btStateValue_, *u.btState);
    apply(u.visibility);
}

void PanelViewController::apply(const VisibilityChange& change) {
    if (change.headsetBluetoothRowsHidden) {
        for (QWidget* view : headsetBluetoothRows_) view->setHidden(*change.headsetBluetoothRowsHidden);
    }
    if (change.headsetCardsHidden) {
        for (Card* card : {soundCard_, micCard_, ancCard_, powerCard_}) card->setHidden(*change.headsetCardsHidden);
    }
    if (change.ambientRowsVisible) {
        for (QWidget* view : ambientRows_) view->setHidden(!*change.ambientRowsVisible);
    }
    if (change.relimit) updateContentLimits();
}

void PanelViewController::renderUpdate(const UpdateChecker::State& state) {
    if (!built_) return;  // views made later show the state of then
    const UpdateRow row = model_.updateRow(state);
    setText(updateStatusValue_, row.status.text);
    style::setTone(updateStatusValue_, row.status.tone);
    // A failure's reason shows while it is the state, and not under a later one.
    updateStatusValue_->setToolTip(row.toolTip.value_or(QString()));
    checkUpdateButton_->setEnabled(row.checkEnabled);
    if (row.action) updateActionButton_->setText(*row.action);
    updateActionRow_->setHidden(!row.action);
    updateContentLimits();
}

int PanelViewController::innerWidth() const {
    const QMargins margins = stack_->layout()->contentsMargins();
    return std::max(0, width() - margins.left() - margins.right());
}

double PanelViewController::cardAreaHeight() {
    makeViews();
    QLayout* stack = cardStackView_->layout();
    const int width = innerWidth();
    return stack->hasHeightForWidth() ? stack->totalHeightForWidth(width) : stack->totalSizeHint().height();
}

double PanelViewController::fittingHeight() {
    makeViews();
    // The layout's own height with the card list at its full height, worked out from the items
    // so that nothing depends on sizes the window has not laid out yet.
    // Hiding or showing a row or card, and new texts, ask the layouts to work out their sizes
    // again later, from the event loop; the height is wanted now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QLayout* root = stack_->layout();
    const QMargins margins = root->contentsMargins();
    const int width = innerWidth();
    double height = margins.top() + margins.bottom();
    int shown = 0;
    for (int i = 0; i < root->count(); ++i) {
        QLayoutItem* item = root->itemAt(i);
        if (item->isEmpty()) continue;
        ++shown;
        if (item->widget() == cardScrollView_) {
            height += cardAreaHeight();
        } else {
            height += item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
        }
    }
    return height + root->spacing() * std::max(0, shown - 1);
}

void PanelViewController::updateContentLimits() {
    if (!built_) return;  // nothing to fit yet; views are made before the panel first shows
    QWidget* window = this->window();
    // Not yet in the window it will be shown in: limits set now would stay on the content.
    if (window == this && !isVisible()) return;
    const double fitting = fittingHeight();
    if (fitting <= 0) return;
    auto* panel = qobject_cast<MenuBarPanel*>(window);
    const UserDefaults defaults = panel ? panel->defaults() : UserDefaults::standard();
    const double storedHeight = defaults.number(MenuBarPanel::contentHeightKey).value_or(0);
    const sizing::ContentLimits limits =
        sizing::contentLimits(fitting, cardAreaHeight(), storedHeight, window->height(), roomOnScreen(window));

    const QSize minimum(int(limits.minimum.width), int(std::lround(limits.minimum.height)));
    const QSize maximum(int(limits.maximum.width), int(std::lround(limits.maximum.height)));
    const QSize current = window->size();
    const QSize target = QSize(current.width(), int(std::lround(limits.height.value_or(current.height()))))
                             .expandedTo(minimum)
                             .boundedTo(maximum);
    std::optional<sizing::ResizeBracket::Scope> scope;
    if (panel) {
        panel->resizeBracket().expect({double(target.width()), double(target.height())},
                                      {double(current.width()), double(current.height())});
        scope.emplace(panel->resizeBracket());
    }
    // Limits that the current size meets come first, so that the window takes no size on the
    // way to the target (each would be reported, and not as the program's).
    window->setMinimumSize(minimum.boundedTo(current));
    window->setMaximumSize(maximum.expandedTo(current));
    if (target != current) window->resize(target);
    window->setMinimumSize(minimum);
    window->setMaximumSize(maximum);
}

void PanelViewController::setNotice(const QString& text) {
    noticeText_ = text;
    if (!built_ || (text == notice_->text() && notice_->isHidden() == text.isEmpty())) return;
    setText(notice_, text);
    notice_->setHidden(text.isEmpty());
    updateContentLimits();
}

void PanelViewController::confirmQuit() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto* explanation = new QLabel(labels_.quitExplanation);
    explanation->setWordWrap(true);
    explanation->setContentsMargins(12, 6, 12, 6);
    explanation->setMaximumWidth(300);
    explanation->setFont(style::smallFont(font()));
    style::setTone(explanation, Tone::secondary);
    auto* line = new QWidgetAction(menu);
    line->setDefaultWidget(explanation);
    line->setEnabled(false);
    menu->addAction(line);
    menu->addSeparator();
    menu->addAction(labels_.quitConfirm, qApp, &QCoreApplication::quit);
    menu->addAction(labels_.cancel);
    menu->setObjectName(QStringLiteral("quitMenu"));
    menu->popup(quitButton_->mapToGlobal(QPoint(0, quitButton_->height() + 4)));
}

void PanelViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A line about an earlier opening's choice is stale by now.
    model_.forgetNotSaved();
    showStored(model_.storedSettings());
    updateContentLimits();
}

void PanelViewController::wheelEvent(QWheelEvent* event) {
    if (!built_) return;
    // Over the header, the footer or a control that does not take the wheel: the card list
    // scrolls, as it does over the cards.
    QCoreApplication::sendEvent(cardScrollView_->verticalScrollBar(), event);
}

void PanelViewController::applySecondaryColours() {
    for (QLabel* label : {firmwareLabel_, micHint_, computerLinkHint_, ledHint_, dockHint_,
                          balanceRow_->hint(), static_cast<QLabel*>(versionLabel_), btStateValue_, languageLabel_}) {
        style::setTone(label, Tone::secondary);
    }
}

void PanelViewController::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A new theme: every coloured text again, from the new palette.
    if (event->type() == QEvent::PaletteChange && built_) style::reapplyTones(this);
}

}  // namespace avrane
