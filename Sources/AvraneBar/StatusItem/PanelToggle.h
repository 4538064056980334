#pragma once

#include <chrono>
#include <optional>
#include <utility>

namespace avrane {

// When the tray item's click opens or closes the panel, and when losing activation closes
// it. Losing activation stands in for a click elsewhere on the screen, which Linux desktops
// (Wayland above all) do not let a program see. It is ignored for 0.3 s after opening. And
// on many desktops a click on the tray item first takes activation from the open panel:
// that click must not open the panel again right after it closed.
//
// GNOME's tray extension reports only double clicks; an XEmbed tray reports the first click
// of a double click as a click too. A double click therefore acts like a click, unless a
// click has just acted.
class PanelToggle {
public:
    using Time = std::chrono::steady_clock::time_point;
    enum class Action { open, close, nothing };

    static constexpr std::chrono::milliseconds openingGrace{300};
    static constexpr std::chrono::milliseconds reopenGuard{500};
    // An open window made anew (an ordinary window turned into the drop-down when a tray
    // came) loses the keyboard on the way, and the window system may tell a little later (Qt
    // under X11 waits 400 ms for the keyboard to come back): that one loss does not count.
    static constexpr std::chrono::milliseconds remakingGrace{1500};

    // The panel opened (from hidden).
    void opened(Time now) {
        openedAt_ = now;
        remadeAt_.reset();
    }
    // The open panel's window was made anew.
    void remade(Time now) { remadeAt_ = now; }
    // The panel lost activation: whether to close it. If so, remembered for `activated`.
    bool deactivated(Time now) {
        if (within(openedAt_, now, openingGrace)) return false;
        if (within(std::exchange(remadeAt_, std::nullopt), now, remakingGrace)) return false;
        closedByDeactivationAt_ = now;
        return true;
    }
    // The tray item was activated (clicked, or double-clicked).
    Action activated(Time now, bool panelVisible, bool doubleClick = false) {
        if (doubleClick && within(lastClickAt_, now, reopenGuard)) return Action::nothing;
        lastClickAt_ = now;
        if (panelVisible) return Action::close;
        if (within(closedByDeactivationAt_, now, reopenGuard)) return Action::nothing;
        return Action::open;
    }

private:
    static bool within(const std::optional<Time>& since, Time now, std::chrono::milliseconds span) {
        return since && now - *since < span;
    }

    std::optional<Time> openedAt_;
    std::optional<Time> remadeAt_;
    std::optional<Time> closedByDeactivationAt_;
    std::optional<Time> lastClickAt_;
};

}  // namespace avrane
