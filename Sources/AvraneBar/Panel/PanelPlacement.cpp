#include "AvraneBar/Panel/PanelPlacement.h"

#include <algorithm>

namespace avrane::placement {
namespace {

// Inside [low, high] with the upper bound winning when the range is empty, as the panel's
// right edge matters more than its left on a screen narrower than the panel.
double clampPreferringHigh(double value, double low, double high) {
    if (value <= low) value = low;
    if (high < value) value = high;
    return value;
}

}  // namespace

Point topRight(const Rect& visible, Size panel) {
    return {visible.maxX() - panel.width - screenInset, visible.maxY() - panel.height - topMargin};
}

Point besideBar(const Rect& screen, const Rect& visible, Size panel) {
    const double top = screen.maxY() - visible.maxY();
    const double bottom = visible.minY() - screen.minY();
    const double left = visible.minX() - screen.minX();
    const double right = screen.maxX() - visible.maxX();
    const double widest = std::max({top, bottom, left, right});
    if (widest <= 0 || widest == top) return topRight(visible, panel);
    if (widest == bottom) return {visible.maxX() - panel.width - screenInset, visible.minY() + topMargin};
    const double x = widest == right ? visible.maxX() - panel.width - topMargin : visible.minX() + topMargin;
    return {x, visible.minY() + screenInset};
}

Point underButton(const Rect& button, const Rect& visible, Size panel) {
    if (!(visible.midY() < button.minY())) return topRight(visible, panel);
    const double x = clampPreferringHigh(button.midX() - panel.width / 2, visible.minX() + screenInset,
                                         visible.maxX() - panel.width - screenInset);
    return {x, button.minY() - panel.height - topMargin};
}

Point besideNearestEdge(Point anchor, const Rect& screen, const Rect& visible, Size panel) {
    const double toTop = screen.maxY() - anchor.y;
    const double toBottom = anchor.y - screen.minY();
    const double toLeft = anchor.x - screen.minX();
    const double toRight = screen.maxX() - anchor.x;
    const double nearest = std::min({toTop, toBottom, toLeft, toRight});

    const auto centredX = [&] {
        return clampPreferringHigh(anchor.x - panel.width / 2, visible.minX() + screenInset,
                                   visible.maxX() - panel.width - screenInset);
    };
    // A panel taller than the visible area keeps its top edge in view.
    const auto centredY = [&] {
        return clampPreferringHigh(anchor.y - panel.height / 2, visible.minY() + topMargin,
                                   visible.maxY() - panel.height - topMargin);
    };
    if (nearest == toTop) {
        return {centredX(), std::min(anchor.y, visible.maxY()) - panel.height - topMargin};
    }
    if (nearest == toBottom) {
        const double y = std::max(anchor.y, visible.minY()) + topMargin;
        return {centredX(), std::min(y, visible.maxY() - panel.height)};
    }
    if (nearest == toLeft) return {std::max(anchor.x, visible.minX()) + screenInset, centredY()};
    return {std::min(anchor.x, visible.maxX()) - panel.width - screenInset, centredY()};
}

Point choose(const Situation& s) {
    if (s.icon && !s.icon->isEmpty()) {
        if (s.visible.midY() < s.icon->minY()) return underButton(*s.icon, s.visible, s.panel);
        return besideNearestEdge(s.icon->centre(), s.screen, s.visible, s.panel);
    }
    if (s.pointer) return besideNearestEdge(*s.pointer, s.screen, s.visible, s.panel);
    return besideBar(s.screen, s.visible, s.panel);
}

}  // namespace avrane::placement
