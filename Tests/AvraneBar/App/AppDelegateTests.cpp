#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QDesktopServices>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AvraneBar/App/AppDelegate.h"
#include "AvraneBar/Panel/MenuBarPanel.h"
#include "AvraneBar/Panel/PanelViewController.h"
#include "AvraneBar/StatusItem/MenuBarController.h"
#include "AvraneSim/Simulator.h"
#include "Support/QtTestSupport.h"
#include "Support/SimulatedController.h"
#include "Support/TestHttpServer.h"

namespace avrane {
namespace {

using testing::waitUntil;

// What the desktop is asked to open.
class Opened : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }
};

// The application's parts put together in the test's process, off screen and without a tray,
// on the simulated headset and a scripted update server.
class Delegate : public ::testing::Test {
protected:
    void SetUp() override {
        Localization::shared().setLanguage(Language::english);
        sim.start();
        UpdateChecker::Options updates;
        updates.manifestURL = server.url("/latest.json");
        updates.helperPath = AVRANE_UPDATE_HELPER;
        updates.defaults = UserDefaults(testing::freshFilePath());
        delegate = std::make_unique<AppDelegate>(testing::simulatedControllerOptions(sim), updates);
        delegate->setOpensPanelAtLaunch(false);
        delegate->applicationDidFinishLaunching();
        ASSERT_TRUE(waitUntil([&] { return delegate->controller().snapshot().availability.kind() == Kind::connected; }));
    }
    MenuBarController& menuBar() { return *delegate->menuBar(); }
    MenuBarPanel& panel() { return *delegate->menuBar()->panel(); }

    using Kind = HeadsetSnapshot::Availability::Kind;
    sim::Simulator sim;
    testing::TestHttpServer server;
    std::unique_ptr<AppDelegate> delegate;
};

// Each state that says a package is ready opens it once, and nothing else opens anything.
TEST_F(Delegate, aReadyPackageIsOpenedOncePerReadyState) {
    Opened opened;
    QDesktopServices::setUrlHandler("file", &opened, "open");
    server.respond("/package", {200, "the package"});
    server.respond("/latest.json", {404, ""});
    UpdateChecker& updates = delegate->updateChecker();
    const auto settled = [&] { return !std::holds_alternative<UpdateChecker::Downloading>(updates.state()) &&
                                      !std::holds_alternative<UpdateChecker::Checking>(updates.state()); };
    const ReleaseInfo release{"9.1", server.url("/package"), std::nullopt, std::nullopt};
    updates.download(release);
    ASSERT_TRUE(waitUntil([&] { return !opened.urls.isEmpty(); }));
    const QUrl file = std::get<UpdateChecker::ReadyToInstall>(updates.state()).file;
    updates.check(true);
    ASSERT_TRUE(waitUntil([&] { return settled() && std::holds_alternative<UpdateChecker::Failed>(updates.state()); }));
    EXPECT_THAT(opened.urls, ::testing::ElementsAre(file)) << "the failed check opens nothing";
    updates.download(release);
    ASSERT_TRUE(waitUntil([&] { return opened.urls.size() > 1; }));
    QCoreApplication::processEvents();
    EXPECT_THAT(opened.urls, ::testing::ElementsAre(file, file));
    QDesktopServices::unsetUrlHandler("file");
}

// Opening the panel that is open already raises it: it stays where it is (the user may have
// moved it) and is not rendered again.
TEST_F(Delegate, showingAnOpenPanelOnlyRaisesIt) {
    menuBar().show();
    ASSERT_TRUE(panel().isVisible());
    const QPoint moved = panel().pos() + QPoint(30, 40);
    panel().move(moved);
    delegate->content()->model().forgetShown();
    menuBar().show();
    EXPECT_EQ(panel().pos(), moved);
    EXPECT_EQ(delegate->content()->model().shown(), std::nullopt);
}

// The quit button's menu (a line that explains, a separator, quit, cancel): quit quits, and
// cancel does nothing. (Qt quits only from its event loop, which the actions run in.)
TEST_F(Delegate, theQuitMenuAsks) {
    menuBar().show();
    QTest::mouseClick(delegate->content()->findChild<QPushButton*>("quitButton"), Qt::LeftButton);
    QMenu* menu = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (menu = delegate->content()->findChild<QMenu*>("quitMenu")) && menu->isVisible(); }));
    const QList<QAction*> lines = menu->actions();
    ASSERT_EQ(lines.size(), 4);
    const auto exitCodeAfter = [](QAction* action) {
        QObject run;  // takes its timers along
        QTimer::singleShot(0, &run, [action] { action->trigger(); });
        QTimer::singleShot(50, &run, [] { QCoreApplication::exit(7); });  // unless it quit first
        return QCoreApplication::exec();
    };
    EXPECT_EQ(exitCodeAfter(lines[3]), 7);
    EXPECT_EQ(exitCodeAfter(lines[2]), 0);
}

TEST_F(Delegate, theToolTipFollowsTheLanguage) {
    ASSERT_TRUE(waitUntil([&] { return menuBar().toolTip().contains("Battery 80%"); }));
    Localization::shared().setLanguage(Language::korean);
    EXPECT_THAT(menuBar().toolTip().toStdString(), ::testing::HasSubstr("배터리 80%"));
    Localization::shared().setLanguage(Language::english);
}

}  // namespace
}  // namespace avrane

#include "AppDelegateTests.moc"
