// avrane-bar: the tray application. Its whole configuration is its settings file and three
// environment variables (AVRANE_PORT, AVRANE_BAR_LOG, AVRANE_BAR_OPEN). The one option,
// --autostart, is what the login's autostart entry passes: the panel then stays closed.
#include <cstdio>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QScopeGuard>
#include <QTimer>

#include "AvraneBar/App/AppDelegate.h"
#include "AvraneBar/App/ApplicationId.h"
#include "AvraneBar/App/FontWarmUp.h"
#include "AvraneBar/App/SingleInstance.h"
#include "AvraneBar/Panel/WaylandSession.h"
#include "AvraneBar/Preferences/AutostartEntry.h"
#include "AvraneBar/Service/HeadsetService.h"
#include "AvraneUpdate/AppVersion.h"

namespace {

// Qt ends a program that cannot reach its display with an abort; a user on a console or over
// ssh gets a message instead.
bool displayIsNamed(const QStringList& arguments) {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || arguments.contains(QLatin1String("-platform")) ||
           arguments.contains(QLatin1String("--platform"));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace avrane;
    QCoreApplication::setApplicationName(QStringLiteral("avrane-bar"));
    QCoreApplication::setApplicationVersion(AppVersion::current());

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Shows the battery of an AVRANE headset in the system tray, with a panel of its settings."));
    const QCommandLineOption help = options.addHelpOption();
    const QCommandLineOption version = options.addVersionOption();
    const QCommandLineOption atLogin(QLatin1String(AutostartEntry::option),
                                     QStringLiteral("Started at login: keep the panel closed."));
    options.addOption(atLogin);

    // Help and the version need no display. Qt's own options (-platform, -display, ...) are
    // known only once the application object exists, so nothing else is judged here.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    options.parse(arguments);
    if (options.isSet(help)) {
        const QCoreApplication named(argc, argv);  // for the usage line's program name
        std::fputs(qPrintable(options.helpText()), stdout);
        return 0;
    }
    if (options.isSet(version)) {
        std::printf("avrane-bar %s\n", qPrintable(AppVersion::current()));
        return 0;
    }
    if (!displayIsNamed(arguments)) {
        std::fprintf(stderr, "avrane-bar: no display to show the tray item on (neither DISPLAY nor WAYLAND_DISPLAY "
                             "is set); on a console, avranectl reads and changes the headset\n");
        return 1;
    }

    // --help-all lists Qt's options too, which Qt prints itself and then ends the program.
    const bool helpAll = options.isSet(QStringLiteral("help-all"));
    std::optional<FontWarmUp> fonts;
    if (!helpAll) fonts.emplace();
    std::optional<wayland::PlatformChoice> platform(std::in_place, argc, argv);
    QApplication app(argc, argv);
    platform.reset();
    // Qt puts the font configuration away with the application object, so the warm-up must
    // be over by then, however early the program ends.
    const auto fontsFirst = qScopeGuard([&fonts] { fonts.reset(); });
    QGuiApplication::setDesktopFileName(applicationId);
    // Closing the panel never ends the program while it lives in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    if (helpAll) options.process(app);
    // Qt has taken its own options out by now. An unknown one ends the program the ordinary
    // way, so that everything started so far is put away.
    if (!options.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "avrane-bar: %s\n", qPrintable(options.errorText()));
        return 1;
    }
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
