// avrane-bar: the tray application. Its whole configuration is its settings file and three
// environment variables (AVRANE_PORT, AVRANE_BAR_LOG, AVRANE_BAR_OPEN). The one option,
// --autostart, is what the login's autostart entry passes: the panel then stays closed.
#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QTimer>

#include "AvraneBar/App/AppDelegate.h"
#include "AvraneBar/App/ApplicationId.h"
#include "AvraneBar/App/FontWarmUp.h"
#include "AvraneBar/App/SingleInstance.h"
#include "AvraneBar/Preferences/AutostartEntry.h"
#include "AvraneBar/Service/HeadsetService.h"
#include "AvraneUpdate/AppVersion.h"

int main(int argc, char** argv) {
    using namespace avrane;
    const FontWarmUp fonts;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("avrane-bar"));
    QApplication::setApplicationVersion(AppVersion::current());
    QGuiApplication::setDesktopFileName(applicationId);
    // Closing the panel never ends the program while it lives in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Shows the battery of an AVRANE headset in the system tray, with a panel of its settings."));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption atLogin(QLatin1String(AutostartEntry::option),
                                     QStringLiteral("Started at login: keep the panel closed."));
    options.addOption(atLogin);
    options.process(app);
    const bool startedAtLogin = options.isSet(atLogin);

    // The delegate first, as nothing starts before the launch: the service it holds is what
    // the session bus name serves.
    AppDelegate delegate;
    delegate.setOpensPanelAtLaunch(!startedAtLogin);
    SingleInstance instance;
    switch (instance.claim(&delegate.service(), !startedAtLogin)) {
    case SingleInstance::Outcome::first: break;
    case SingleInstance::Outcome::shownRunning:
    case SingleInstance::Outcome::running: return 0;
    case SingleInstance::Outcome::runningSilent:
        std::fprintf(stderr, "avrane-bar: AvraneBar is already running (it holds %s on the session bus) but does not answer\n",
                     qPrintable(applicationId));
        return 1;
    }

    delegate.service().servedOn(QDBusConnection::sessionBus());
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
