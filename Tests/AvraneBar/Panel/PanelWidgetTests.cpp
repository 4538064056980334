#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Panel/Card.h"
#include "AvraneBar/Panel/ElidedLabel.h"
#include "AvraneBar/Panel/HintLabel.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneBar/Panel/PopUpButton.h"
#include "AvraneSim/Simulator.h"
#include "Support/QtTestSupport.h"
#include "Support/SimulatedController.h"
#include "Support/TestHttpServer.h"

namespace avrane {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;
using Clock = std::chrono::steady_clock;

// The panel's real widgets, off screen, on the real controller and the simulated headset.
class PanelWidgets : public ::testing::Test {
protected:
    void SetUp() override {
        Localization::shared().setLanguage(Language::english);
        sim.start();
        controller = std::make_unique<HeadsetController>(testing::simulatedControllerOptions(sim));
        controller->setOnChange([this](const HeadsetSnapshot& s) {
            if (content) content->render(s);
        });
        controller->start();
        ASSERT_TRUE(waitUntil([this] { return controller->snapshot().availability.kind() == Kind::connected; }));
        make(checker);
    }
    void TearDown() override {
        controller->setOnChange({});  // deliveries still queued find no panel
        content = nullptr;
        panel.reset();
    }
    void make(UpdateChecker& updates, PanelViewController::Build build = PanelViewController::Build::now,
              const QString& notice = {}) {
        content = nullptr;
        panel.reset();
        content = new PanelViewController(*controller, updates, nullptr, build);
        content->setNotice(notice);
        panel = std::make_unique<MenuBarPanel>(content, UserDefaults(testing::freshFilePath()));
        panel->show();
        content->render(controller->snapshot());
        content->updateContentLimits();
    }

    template <class T>
    T* find(const char* name) {
        T* widget = panel->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    std::vector<sim::ReceivedRequest> writesOf(EventID item) {
        std::vector<sim::ReceivedRequest> found;
        for (const auto& r : sim.requests()) {
            if (r.packet.eventType == EventType::set && r.packet.eventID == item) found.push_back(r);
        }
        return found;
    }
    // The hand moves a slider: the value it reports is in the slider's own units.
    static void move(QSlider* slider, double value) { slider->setValue(int(value * 100)); }

    using Kind = HeadsetSnapshot::Availability::Kind;
    sim::Simulator sim;
    UpdateChecker checker;
    std::unique_ptr<HeadsetController> controller;
    PanelViewController* content = nullptr;
    std::unique_ptr<MenuBarPanel> panel;
};

TEST_F(PanelWidgets, aSliderDragIsOneWriteAfterTheHandRests) {
    auto* volume = find<QSlider>("volumeSlider");
    sim.clearRequests();
    Clock::time_point lastMove;
    for (const double step : {10.0, 11.0, 12.0}) {
        move(volume, step);
        lastMove = Clock::now();
        QTest::qWait(40);  // the hand's pace, not a wait for a result
    }
    EXPECT_EQ(find<QLabel>("volumeTitle")->text(), "Volume  12") << "shown at once";
    ASSERT_TRUE(waitUntil([&] { return !writesOf(EventID::headphoneVolume).empty(); }));
    ASSERT_TRUE(waitUntil([&] { return controller->snapshot().volume->level == 12; }));
    const auto writes = writesOf(EventID::headphoneVolume);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(HeadphoneVolume::decode(writes[0].packet.param)->level, 12);
    const auto delay = writes[0].arrival - lastMove;
    EXPECT_GE(delay, 140ms);
    EXPECT_LT(delay, 600ms);

    // Two controls within the debounce: a write each.
    move(volume, 20);
    move(find<QSlider>("sidetoneSlider"), 9);
    // And the light turned off on the headset meanwhile: it shows once the hold is over.
    sim.change(EventID::ledSetting, [](sim::HeadsetModel& headset) { headset.led = LEDSetting{false}; });
    ASSERT_TRUE(waitUntil([&] { return writesOf(EventID::sidetoneVolume).size() == 1 && writesOf(EventID::headphoneVolume).size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return !find<QAbstractButton>("ledSwitch")->isChecked(); }));
    EXPECT_EQ(find<QLabel>("volumeTitle")->text(), "Volume  20");
}

TEST_F(PanelWidgets, ambientSoundShowsItsRowsBeforeTheHeadsetAnswers) {
    auto* mode = find<QComboBox>("ancPopUp");
    auto* ambient = find<QSlider>("ambientSlider");
    ASSERT_EQ(mode->currentIndex(), 1);
    EXPECT_FALSE(ambient->isVisibleTo(panel.get()));
    sim.clearRequests();
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down);  // to "Ambient Sound"
    EXPECT_TRUE(ambient->isVisibleTo(panel.get()));
    EXPECT_TRUE(writesOf(EventID::ambSetting).empty());
    ASSERT_TRUE(waitUntil([&] { return !writesOf(EventID::ambSetting).empty(); }));
    EXPECT_EQ(AmbientSetting::decode(writesOf(EventID::ambSetting).back().packet.param)->mode, NoiseCancellingMode::ambientSound);
    // Start at login writes the user's autostart entry at once, and takes it away.
    auto* login = find<QAbstractButton>("startAtLoginSwitch");
    login->setFocus();
    QTest::keyClick(login, Qt::Key_Space);
    EXPECT_TRUE(login->isChecked() && QFile::exists(AutostartEntry().path()));
    QTest::keyClick(login, Qt::Key_Space);
    EXPECT_FALSE(login->isChecked() || QFile::exists(AutostartEntry().path()));
}

TEST_F(PanelWidgets, aChangeOfLanguageRelabelsEveryTextAndKeepsEverySelection) {
    const auto texts = [&] {
        std::map<QString, QString> byWidget;
        for (auto* label : panel->findChildren<QLabel*>()) byWidget[label->objectName() + QString::number(quintptr(label))] = label->text();
        for (auto* button : panel->findChildren<QPushButton*>()) byWidget[button->objectName()] = button->text();
        return byWidget;
    };
    const auto selections = [&] {
        std::map<QString, int> byBox;
        for (auto* box : panel->findChildren<QComboBox*>()) byBox[box->objectName()] = box->currentIndex();
        return byBox;
    };
    const auto english = texts();
    const auto selected = selections();
    Localization::shared().setLanguage(Language::korean);
    const auto korean = texts();
    const QStringList sameInBoth = {"", "AVRANE H9", "Bluetooth"};
    for (const auto& [widget, text] : english) {
        if (sameInBoth.contains(text)) continue;
        EXPECT_NE(korean.at(widget), text) << widget.toStdString();
    }
    auto expected = selected;
    expected["languagePopUp"] = 1;  // the language menu shows the new choice
    EXPECT_EQ(selections(), expected);
}

// Views made when the panel first shows (as at launch, after the tray icon) are the views made
// at once: the same widgets, texts, states and places, with what was set before they existed.
TEST_F(PanelWidgets, viewsMadeWhenFirstShownAreTheViewsMadeAtOnce) {
    const auto tree = [&] {
        QStringList lines;
        for (const QWidget* widget : panel->findChildren<QWidget*>()) {
            QString line = QStringLiteral("%1 %2 %3 ").arg(widget->metaObject()->className(), widget->objectName())
                               .arg(widget->isVisibleTo(panel.get()));
            QDebug(&line) << widget->geometry() << widget->isEnabled();
            if (const auto* label = qobject_cast<const QLabel*>(widget)) line += label->text();
            if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) line += button->text() + (button->isChecked() ? "+" : "-");
            if (const auto* box = qobject_cast<const QComboBox*>(widget)) line += box->currentText();
            if (const auto* slider = qobject_cast<const QSlider*>(widget)) line += QString::number(slider->value());
            lines << line;
        }
        return lines;
    };
    const QString notice = QStringLiteral("The desktop shows no tray icons");
    Localization::shared().setLanguage(Language::korean);
    make(checker, PanelViewController::Build::now, notice);
    const QStringList atOnce = tree();

    Localization::shared().setLanguage(Language::english);
    content = nullptr;
    panel.reset();
    content = new PanelViewController(*controller, checker, nullptr, PanelViewController::Build::whenFirstShown);
    content->setNotice(notice);
    Localization::shared().setLanguage(Language::korean);
    panel = std::make_unique<MenuBarPanel>(content, UserDefaults(testing::freshFilePath()));
    EXPECT_FALSE(content->isBuilt());
    // Shown before anything rendered it: the views are made as it shows.
    panel->show();
    EXPECT_TRUE(content->isBuilt());
    content->render(controller->snapshot());
    content->updateContentLimits();
    EXPECT_EQ(tree(), atOnce);
    EXPECT_TRUE(find<QLabel>("notice")->isVisibleTo(panel.get()));
}

// The pop-ups take the size Qt gives room for six characters and an icon, whatever their
// items, and make their lists when they first open, not with the panel (the language pop-up's
// own font makes Qt build its list at once).
TEST_F(PanelWidgets, popUpsHaveTheMinimumContentsSizeWithoutTheirLists) {
    const QList<PopUpButton*> popUps = panel->findChildren<PopUpButton*>();
    ASSERT_EQ(popUps.size(), 8);
    int listsMade = 0;
    for (PopUpButton* box : popUps) {
        SCOPED_TRACE(box->objectName().toStdString());
        QComboBox qt;
        qt.setFont(box->font());
        qt.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        qt.setMinimumContentsLength(box->minimumContentsLength());
        for (int i = 0; i < box->count(); ++i) qt.addItem(box->itemText(i));
        EXPECT_EQ(box->sizeHint(), qt.sizeHint());
        EXPECT_EQ(box->minimumSizeHint(), qt.minimumSizeHint());
        listsMade += box->findChild<QAbstractItemView*>() != nullptr;
    }
    EXPECT_LE(listsMade, 1);
    auto* anc = find<QComboBox>("ancPopUp");
    anc->showPopup();
    EXPECT_NE(anc->findChild<QAbstractItemView*>(), nullptr);
    anc->hidePopup();
}

TEST_F(PanelWidgets, theWindowKeepsTheUsersSizeAndHidesOnEscape) {
    const UserDefaults stored = panel->defaults();
    // The program's limits change nothing; the user then widens the panel and goes back.
    const QSize opened = panel->size();
    content->updateContentLimits();
    panel->resize(opened.width() + 40, opened.height());
    panel->resize(opened);
    EXPECT_EQ(stored.number(MenuBarPanel::contentWidthKey), opened.width());
    EXPECT_EQ(stored.number(MenuBarPanel::contentHeightKey), opened.height());
    panel->resize(420, panel->minimumHeight());  // as the user would
    EXPECT_EQ(stored.number(MenuBarPanel::contentWidthKey), 420);
    panel->resetWidth();
    EXPECT_EQ(panel->width(), content->fittingWidth());
    EXPECT_FALSE(stored.contains(MenuBarPanel::contentWidthKey)) << "the program's own resize is not stored";
    QTest::keyClick(panel.get(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(PanelWidgets, atTheWidthItOpensWithNoTitleIsCut) {
    move(find<QSlider>("balanceSlider"), -5);  // the widest value the balance shows
    move(find<QSlider>("volumeSlider"), 30);
    const auto cutTitles = [this] {
        QStringList cut;
        for (const ElidedLabel* label : find<QWidget>("cardStack")->findChildren<ElidedLabel*>()) {
            if (label->isVisibleTo(panel.get()) && label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width())
                cut << label->text();
        }
        return cut;
    };
    // Open at the screen's right edge, in the language with the shorter words.
    Localization::shared().setLanguage(Language::korean);
    panel->resetWidth();
    const QRect screen = panel->screen()->availableGeometry();
    panel->move(screen.right() - panel->frameGeometry().width() + 1, screen.top());
    for (const Language language : {Language::english, Language::korean}) {
        Localization::shared().setLanguage(language);
        EXPECT_EQ(panel->width(), content->fittingWidth()) << "an open panel follows its titles";
        EXPECT_LE(panel->frameGeometry().right(), screen.right()) << "and stays on the screen";
        // The slider just moved keeps its place and speaks the new language.
        EXPECT_EQ(find<QLabel>("balanceTitle")->text().toStdString(),
                  language == Language::english ? "Game / Chat Balance  Game 5.0" : "게임 / 채팅 밸런스  게임 5.0");
        EXPECT_TRUE(waitUntil([&] { return cutTitles().isEmpty(); })) << cutTitles().join(u'|').toStdString();
    }
}

TEST_F(PanelWidgets, theUpdatesCardFollowsTheChecker) {
    testing::TestHttpServer server;
    server.respond("/latest.json", {200, R"({"version":"99.1","package_url":"https://example.org/a.deb"})", true});
    UpdateChecker::Options options;
    options.manifestURL = server.url("/latest.json");
    options.helperPath = AVRANE_UPDATE_HELPER;
    options.defaults = UserDefaults(testing::freshFilePath());
    UpdateChecker updates(options);
    updates.setOnChange([this](const UpdateChecker::State& state) { content->renderUpdate(state); });
    make(updates);
    auto* status = find<QLabel>("updateStatusValue");
    auto* check = find<QPushButton>("checkUpdateButton");
    auto* action = find<QPushButton>("updateActionButton");
    EXPECT_EQ(status->text(), "Not checked yet");
    EXPECT_FALSE(action->isVisibleTo(panel.get()));
    QTest::mouseClick(check, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return status->text() == "Checking\u2026"; }));
    EXPECT_FALSE(check->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return server.requests("/latest.json") == 1; }));
    server.releaseHeld();
    ASSERT_TRUE(waitUntil([&] { return check->isEnabled(); }));
    EXPECT_EQ(status->text(), "Version 99.1 is available");
    EXPECT_TRUE(action->isVisibleTo(panel.get()));
    EXPECT_EQ(action->text(), "Download and Install");
}

// A write that takes the headset long to answer, and the sync after it longer still: the
// slider stays where the hand left it until the headset's value comes, and never goes back
// to the old one on the way.
TEST_F(PanelWidgets, aSlowWriteNeverPullsTheControlBack) {
    sim.updateFaults([](sim::Faults& faults) { faults.replyDelay = 0.4; });
    auto* title = find<QLabel>("volumeTitle");
    ASSERT_EQ(title->text(), "Volume  15");
    QStringList shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (shown.isEmpty() || shown.back() != title->text()) shown << title->text();
    });
    watch.start(5);
    move(find<QSlider>("volumeSlider"), 20);
    ASSERT_TRUE(waitUntil([&] { return controller->snapshot().volume->level == 20 && !content->model().isHolding(); }));
    QTest::qWait(20);  // a few more looks at the title
    EXPECT_EQ(shown, QStringList{"Volume  20"});
}

// A configuration folder that takes no files (a link to a sysfs folder, which refuses new
// files to root as well): "Show volume" goes back off, the language menu back to the
// language in effect, with one line on why.
TEST_F(PanelWidgets, aChoiceThatCannotBeSavedGoesBack) {
    const QString folder = QFileInfo(UserDefaults::standard().filePath()).absolutePath();
    ASSERT_TRUE(QDir().rename(folder, folder + ".kept") && QFile::link("/sys/kernel", folder));
    const std::shared_ptr<void> restore(nullptr, [&](void*) {
        QFile::remove(folder);
        QDir().rename(folder + ".kept", folder);
    });
    auto* showVolume = find<QAbstractButton>("volumeTextSwitch");
    auto* language = find<QComboBox>("languagePopUp");
    auto* line = find<QLabel>("notSavedLabel");
    EXPECT_FALSE(line->isVisibleTo(panel.get()));
    QTest::mouseClick(showVolume, Qt::LeftButton);
    EXPECT_FALSE(showVolume->isChecked());
    EXPECT_TRUE(line->isVisibleTo(panel.get()));
    EXPECT_EQ(line->text(), "Setting not saved: " + folder + " cannot be written");
    language->setFocus();
    QTest::keyClick(language, Qt::Key_Up);  // from English to Korean
    EXPECT_EQ(language->currentText(), "English");
    EXPECT_EQ(Localization::shared().language(), Language::english);
    EXPECT_TRUE(line->isVisibleTo(panel.get()));
}

// A hint takes three lines at most; a longer one ends the third with an ellipsis and tells
// the whole of it in its tool tip.
TEST_F(PanelWidgets, aHintTakesThreeLinesAtMost) {
    HintLabel hint;
    const int line = hint.fontMetrics().height();
    hint.setText(QStringLiteral("Short."));
    EXPECT_EQ(hint.heightForWidth(200), line);
    hint.setText(QString("A hint that goes on and on. ").repeated(12));
    EXPECT_EQ(hint.heightForWidth(200), 3 * line);
    QLabel whole(hint.text());
    whole.setWordWrap(true);
    EXPECT_GT(whole.heightForWidth(200), 3 * line) << "the text is longer than three lines";
    hint.show();
    hint.resize(200, hint.heightForWidth(200));
    EXPECT_TRUE(hint.isCutAt(200));
    EXPECT_EQ(hint.toolTip(), hint.text());
    hint.resize(4000, line);
    EXPECT_EQ(hint.toolTip(), "");
}

}  // namespace
}  // namespace avrane
