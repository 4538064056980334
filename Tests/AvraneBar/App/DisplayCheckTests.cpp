#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include <unistd.h>
#include <xcb/xcb.h>

#include <gmock/gmock.h>

#include "AvraneBar/App/DisplayCheck.h"
#include "Support/DesktopSession.h"
#include "Support/X11Display.h"

namespace avrane::display {
namespace {

Request with(std::map<std::string, QByteArray> environment, QStringList arguments = {}) {
    Request request;
    request.environment = [environment](const char* name) -> std::optional<QByteArray> {
        const auto found = environment.find(name);
        if (found == environment.end()) return std::nullopt;
        return found->second;
    };
    request.arguments = QStringList{QStringLiteral("avrane-bar")} + arguments;
    return request;
}

// Wayland before X11 with both named: the next test's order of the displays tried.
TEST(DisplayCheck, platformsInQtsOrder) {
    EXPECT_EQ(platformsToTry(with({})), QStringList{"xcb"});
    EXPECT_EQ(platformsToTry(with({{"QT_QPA_PLATFORM", "wayland-egl;xcb:foo"}, {"WAYLAND_DISPLAY", "w"}})),
              (QStringList{"wayland-egl", "xcb"}));
    // The option wins over the variable, and the last of several over the others.
    EXPECT_EQ(platformsToTry(with({{"QT_QPA_PLATFORM", "xcb"}}, {"-platform", "offscreen", "--platform", "vnc:size=8x8"})),
              QStringList{"vnc"});
}

// Qt takes the first platform that starts; the check says nothing when that one can reach its
// display, and names every display it tried otherwise.
TEST(DisplayCheck, followsTheFirstPlatformThatCanStart) {
    const auto probe = [](std::set<QString> reachable) -> Probe {
        return [reachable](const Target& target) -> std::optional<QString> {
            if (target.kind == Target::Kind::none || reachable.count(target.name)) return std::nullopt;
            return target.kind == Target::Kind::wayland ? QStringLiteral("No such file or directory") : QString();
        };
    };
    const Request both = with({{"DISPLAY", ":77"}, {"WAYLAND_DISPLAY", "bogus"}, {"XDG_RUNTIME_DIR", "/run/u"}});
    EXPECT_EQ(unreachableDisplay(both, probe({":77"})), std::nullopt) << "Qt falls back to X11";
    EXPECT_EQ(unreachableDisplay(both, probe({"bogus"})), std::nullopt);
    EXPECT_EQ(unreachableDisplay(both, probe({})),
              "cannot connect to the Wayland display bogus (WAYLAND_DISPLAY): No such file or directory; "
              "cannot open the display :77 (DISPLAY)");
    EXPECT_EQ(unreachableDisplay(with({{"DISPLAY", ""}}), probe({})), "no X display is named in DISPLAY");
    EXPECT_EQ(unreachableDisplay(with({{"DISPLAY", ":77"}}, {"-platform", "offscreen"}), probe({})), std::nullopt);
}

TEST(DisplayCheck, connectsToWhatIsThere) {
    Prober prober;
    // Nothing listens at these (an X display nobody serves: the application's own test).
    EXPECT_EQ(prober.reach({Target::Kind::x11, "not a display", "DISPLAY", {}}), "not a display name");
    EXPECT_THAT(prober.reach({Target::Kind::wayland, "gone", "WAYLAND_DISPLAY", "/nonexistent/gone"}),
                ::testing::Optional(QStringLiteral("No such file or directory")));
}

// An X server whose last client leaves resets itself; Qt connecting right after the check let
// go would fall into the reset and abort. The check's connection stays until it lets go: a
// client that comes and goes meanwhile is not the last one, so the server keeps what that
// client left on its root window.
TEST(DisplayCheck, holdsTheXServerUntilItLetsGo) {
    testing::XvfbDisplay display({640, 480}, testing::XvfbDisplay::Reset::whenIdle);
    ASSERT_TRUE(display.started());
    // Connections made while the server resets are refused: each step is tried again a while.
    const auto retried = [](const std::function<bool()>& step) {
        for (int attempt = 0; attempt < 500; ++attempt, usleep(10'000)) {
            if (step()) return true;
        }
        return false;
    };
    const auto connection = [&display, &retried] {
        xcb_connection_t* connection = nullptr;
        const bool connected = retried([&] {
            xcb_disconnect(connection);
            connection = xcb_connect(display.name().toLocal8Bit().constData(), nullptr);
            return !xcb_connection_has_error(connection);
        });
        return std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>(connected ? connection : nullptr, &xcb_disconnect);
    };
    // A mark on the root window, which a reset takes away.
    const auto mark = [](xcb_connection_t* c) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 4, "MARK"), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return std::pair(xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, atom);
    };

    Prober prober;
    ASSERT_TRUE(retried([&] { return !prober.reach({Target::Kind::x11, display.name(), "DISPLAY", {}}); }));
    if (const auto visitor = connection()) {
        const auto [root, atom] = mark(visitor.get());
        const std::uint32_t value = 1;
        xcb_change_property(visitor.get(), XCB_PROP_MODE_REPLACE, root, atom, XCB_ATOM_CARDINAL, 32, 1, &value);
        std::free(xcb_get_input_focus_reply(visitor.get(), xcb_get_input_focus(visitor.get()), nullptr));  // a round trip
    }
    const auto reader = connection();
    ASSERT_TRUE(reader);
    const auto [root, atom] = mark(reader.get());
    xcb_get_property_reply_t* property =
        xcb_get_property_reply(reader.get(), xcb_get_property(reader.get(), 0, root, atom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    EXPECT_TRUE(property && xcb_get_property_value_length(property) == 4) << "the server reset: the check had let go";
    std::free(property);
}

}  // namespace
}  // namespace avrane::display
