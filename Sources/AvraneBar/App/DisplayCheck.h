#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

struct xcb_connection_t;

namespace avrane::display {

// What Qt's platform plugin will be asked to reach, found before Qt looks for itself: Qt
// ends a program that cannot reach its display with an abort (a core dump, and advice to
// reinstall), where a user with a stale DISPLAY or a mistyped WAYLAND_DISPLAY wants a line
// that names it.

// The process's environment (nothing for an unset variable) and its command line.
struct Request {
    std::function<std::optional<QByteArray>(const char* name)> environment;
    QStringList arguments;  // the program's name first

    // This process's.
    static Request current(int argc, char** argv);
};

// The platform plugins Qt 6.4 tries, in its order, until one starts: the value of the last
// -platform option; else QT_QPA_PLATFORM (a list separated by ';'); else wayland when
// WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is "wayland", then xcb (set DISPLAY, or the
// built-in default). Names only, without the plugin's arguments ("vnc:size=800x600" is vnc).
QStringList platformsToTry(const Request& request);

// The display a plugin has to reach: an X server for xcb, a Wayland compositor's socket for the
// wayland plugins; other plugins (offscreen, vnc, eglfs, ...) need none that can be checked.
struct Target {
    enum class Kind { x11, wayland, none };
    Kind kind = Kind::none;
    QString name;      // ":77", "wayland-1", or a socket's absolute path; empty: none named
    QString source;    // where the name came from: "DISPLAY", "-display", "WAYLAND_DISPLAY"
    QString location;  // a Wayland socket's path, when it can be known

    bool operator==(const Target&) const = default;
};
Target targetOf(const QString& platform, const Request& request);

// Whether a target can be reached: nothing when it can, else why not.
using Probe = std::function<std::optional<QString>(const Target& target)>;

// Connects to targets. An X connection that works is kept until the prober goes or lets go:
// an X server whose last client leaves resets itself, and Qt's own connection, coming right
// after, would fall into the reset (Xvfb with nothing else on it does this).
class Prober {
public:
    Prober() = default;
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;
    ~Prober() { letGo(); }

    std::optional<QString> reach(const Target& target);
    // Once Qt holds its own connection.
    void letGo();

private:
    xcb_connection_t* held_ = nullptr;
};

// Nothing when the platform Qt will take can reach its display (the first of its list that
// can); otherwise the message for the user, naming each display tried and the variable or
// option that named it, for example "cannot open the display :77 (DISPLAY)".
std::optional<QString> unreachableDisplay(const Request& request, const Probe& probe);

}  // namespace avrane::display
