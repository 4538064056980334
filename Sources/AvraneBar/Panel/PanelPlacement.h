#pragma once

#include <optional>

#include "AvraneBar/Panel/PanelGeometry.h"

namespace avrane {

// Where the panel's origin (its bottom-left corner) goes. Rectangles are in screen points with
// a bottom-left origin (see PanelGeometry.h).
namespace placement {

inline constexpr double topMargin = 6;     // between the tray icon (or the top of the screen) and the panel
inline constexpr double screenInset = 8;   // between the panel and the left or right screen edge

// Under a tray icon in the upper half of the visible area: centred under it, kept 8 points
// inside the left and right edges (the right clamp is applied last and wins on a narrow
// screen), its top 6 points below the icon. Anywhere else: the top right corner of the
// visible area.
Point underButton(const Rect& button, const Rect& visible, Size panel);
// 8 points from the right edge and 6 below the top of the visible area.
Point topRight(const Rect& visible, Size panel);
// At the end of the desktop's bar where trays sit (its right end for a bar along the top or
// bottom, its bottom end for one along a side), the bar being the screen edge the visible
// area keeps the widest distance from: 6 points from the bar and 8 from the screen's side for
// a horizontal bar, the other way round for a vertical one. Without a bar, the top right
// corner. For desktops that tell neither where the icon is nor where the pointer was.
Point besideBar(const Rect& screen, const Rect& visible, Size panel);
// Beside the screen edge nearest to `anchor` (where the desktop's panel holding the tray
// is): below it for the top edge, above it for the bottom one, next to it for a side,
// near the anchor and kept inside the visible area. For a pointer position or the centre of
// a tray icon that is not at the top of the screen.
Point besideNearestEdge(Point anchor, const Rect& screen, const Rect& visible, Size panel);

// What a desktop tells about the tray item, and the choice among the rules above: the icon's
// rectangle when known (under it when it is in the upper half, else beside the nearest
// edge), else the pointer position at the click, else the end of the bar.
struct Situation {
    std::optional<Rect> icon;
    std::optional<Point> pointer;
    Rect screen;   // the screen holding the icon or pointer
    Rect visible;  // its area not covered by desktop panels
    Size panel;
};
Point choose(const Situation& situation);

}  // namespace placement
}  // namespace avrane
