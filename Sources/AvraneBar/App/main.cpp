// avrane-bar: the tray application. Its whole configuration is its settings file and three
// environment variables (AVRANE_PORT, AVRANE_BAR_LOG, AVRANE_BAR_OPEN). The one option,
// --autostart, is what the login's autostart entry passes: the panel then stays closed.
// Qt's own options (-platform, -display, -style, ...) are taken as Qt takes them.
#include <cstdio>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QScopeGuard>
#include <QTimer>

#include "AvraneBar/App/AppDelegate.h"
#include "AvraneBar/App/DisplayCheck.h"
#include "AvraneBar/App/FontWarmUp.h"
#include "AvraneBar/App/SingleInstance.h"
#include "AvraneBar/Identity/ApplicationId.h"
#include "AvraneBar/Panel/WaylandSession.h"
#include "AvraneBar/Preferences/AutostartEntry.h"
#include "AvraneBar/Service/HeadsetService.h"
#include "AvraneUpdate/AppVersion.h"

namespace {

// A user on a console or over ssh, where nothing names a display at all.
bool displayIsNamed(const QStringList& arguments) {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland" ||
           arguments.contains(QLatin1String("-platform")) || arguments.contains(QLatin1String("--platform"));
}

// The options QGuiApplication, QApplication and the X11 plugin take out of the command line,
// known here so that they are no usage error before Qt has seen them. Hidden from --help
// (--help-all lists them).
void addQtOptions(QCommandLineParser& options) {
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                             "qwindowicon", "qwindowtitle", "session", "style", "stylesheet", "display", "geometry",
                             "name", "title", "visual", "ncols", "cmap", "im", "inputstyle", "qmljsdebugger"}) {
        QCommandLineOption option(QLatin1String(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"}) {
        QCommandLineOption option{QLatin1String(name)};
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        options.addOption(option);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace avrane;
    // The application id names the tray item (its StatusNotifierItem Id) and the windows' X11
    // class, as the desktop file does (StartupWMClass); the desktop file name below is the
    // Wayland app_id.
    QCoreApplication::setApplicationName(applicationId);
    QCoreApplication::setApplicationVersion(AppVersion::current());

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "Shows the battery of an AVRANE headset in the system tray, with a panel of its settings."));
    const QCommandLineOption help = options.addHelpOption();
    const QCommandLineOption version = options.addVersionOption();
    const QCommandLineOption atLogin(QLatin1String(AutostartEntry::option),
                                     QStringLiteral("Started at login: keep the panel closed."));
    options.addOption(atLogin);
    addQtOptions(options);
    // As Qt reads its own: "-platform xcb" is one option with its value.
    options.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    // Help, the version and a usage error need no display.
    const display::Request request = display::Request::current(argc, argv);
    const QStringList& arguments = request.arguments;
    const bool parsed = options.parse(arguments);
    if (options.isSet(help)) {
        const QCoreApplication named(argc, argv);  // for the usage line's program name
        std::fputs(qPrintable(options.helpText()), stdout);
        return 0;
    }
    if (options.isSet(version)) {
        std::printf("avrane-bar %s\n", qPrintable(AppVersion::current()));
        return 0;
    }
    if (!parsed) {
        std::fprintf(stderr, "avrane-bar: %s --help lists the options.\n", qPrintable(options.errorText()));
        return 1;
    }
    if (!displayIsNamed(arguments)) {
        std::fprintf(stderr, "avrane-bar: no display to show the tray item on (neither DISPLAY nor WAYLAND_DISPLAY "
                             "is set); on a console, avranectl reads and changes the headset\n");
        return 1;
    }
    display::Prober prober;
    if (const auto unreachable = display::unreachableDisplay(
            request, [&prober](const display::Target& target) { return prober.reach(target); })) {
        std::fprintf(stderr, "avrane-bar: %s\n", qPrintable(*unreachable));
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
    prober.letGo();
    QGuiApplication::setDesktopFileName(applicationId);
    // Closing the panel never ends the program while it lives in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    if (helpAll) options.process(app);
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
