#pragma once

// Private desktops for the tray application's tests, each part started by its constructor and
// stopped by its destructor. ASSERT_TRUE(part.started()) says what is missing or what failed.
// Debian packages: SessionBus dbus-daemon; XvfbDisplay xvfb; Trayer trayer; WestonCompositor
// weston, and qt6-wayland for the Qt programs shown on it.
//
//   SessionBus bus;
//   XvfbDisplay display;
//   Trayer tray(display);
//   ASSERT_TRUE(bus.started() && display.started() && tray.started());
//   app.start(path, {}, childEnvironment({&bus, &display}));

#include <initializer_list>
#include <memory>
#include <optional>

#include <QDBusConnection>
#include <QJsonValue>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QTemporaryDir>

#include "Support/ChildProcess.h"

namespace avrane::testing {

// Something a child program reaches through its environment.
class DesktopPart {
public:
    virtual ~DesktopPart() = default;
    ::testing::AssertionResult started() const { return process_.started(); }
    virtual void addTo(QProcessEnvironment& environment) const = 0;

protected:
    ChildProcess process_;
};

// The test's own environment without the real desktop's display, compositor, session bus and
// desktop name (Qt picks its platform and theme from them), with what `parts` add.
QProcessEnvironment childEnvironment(std::initializer_list<const DesktopPart*> parts);

// Writes a part's configuration file; false if it cannot.
bool writeConfiguration(const QString& path, const QByteArray& contents);

// A rectangle as sway and the shell probe write it: {"x", "y", "width", "height"}.
QRect rectOf(const QJsonValue& value);

// A property as org.freedesktop.DBus.Properties.Get gives it; nothing on an error.
std::optional<QVariant> busProperty(const QDBusConnection& bus, const QString& service, const QString& path,
                                    const QString& interface, const QString& name);

// A dbus-daemon of the session type on a socket in a folder of its own. It starts no services.
class SessionBus : public DesktopPart {
public:
    SessionBus();
    ~SessionBus() override;
    QString address() const { return address_; }
    // The test's own connection to it.
    QDBusConnection connection() const;
    void addTo(QProcessEnvironment& environment) const override;  // DBUS_SESSION_BUS_ADDRESS

private:
    QTemporaryDir directory_;
    QString address_, connectionName_;
};

// Xvfb on a display number it picks itself (-displayfd), so parallel tests never collide.
class XvfbDisplay : public DesktopPart {
public:
    // Whether the server resets itself when its last client leaves, as X servers do unless told
    // otherwise; by default it never does, so that the test's own comings and goings are harmless.
    enum class Reset { never, whenIdle };

    explicit XvfbDisplay(QSize size = {1280, 800}, Reset reset = Reset::never);
    QString name() const { return name_; }  // ":N"
    QSize size() const { return size_; }
    void addTo(QProcessEnvironment& environment) const override;  // DISPLAY, QT_QPA_PLATFORM=xcb

private:
    QString name_;
    QSize size_;
};

// trayer, an XEmbed system tray, as a strip 24 px high and as wide as its icons at the display's
// top right corner (window title "panel"). No window manager runs: nothing moves windows, and
// clicks change no input focus; only a program asking for it (X11Display::setInputFocus) does.
// Icons are 22x22 at y 1, the first one's right edge a pixel from the screen's; each new one is
// put left of the others, and the others move right when one leaves.
class Trayer : public DesktopPart {
public:
    explicit Trayer(const XvfbDisplay& display);
    void addTo(QProcessEnvironment&) const override {}
};

// weston's desktop shell, without its panel and lock screen, with a socket named socketName in a
// runtime folder of its own (mode 0700), shown in a window on an X display. It takes its seat's
// keyboard and pointer from there: with the X input focus on that window, X11Display::pressKey
// reaches the focused client, and X11Display::click the surface under the pointer. It places
// new windows itself and ignores the positions clients ask for.
class WestonCompositor : public DesktopPart {
public:
    static constexpr const char* socketName = "avrane-wayland";
    static constexpr const char* outputWindowTitle = "Weston Compositor - screen0";

    explicit WestonCompositor(const XvfbDisplay& shownOn, QSize size = {1024, 768});
    ~WestonCompositor() override;
    // WAYLAND_DISPLAY, XDG_RUNTIME_DIR, QT_QPA_PLATFORM=wayland; DISPLAY removed.
    void addTo(QProcessEnvironment& environment) const override;

private:
    QTemporaryDir runtimeDirectory_;
};

}  // namespace avrane::testing
