#pragma once

#include <cstddef>
#include <deque>
#include <limits>
#include <optional>

#include "AvraneBar/Panel/PanelGeometry.h"

namespace avrane {

// The panel's size: the width and height the user gave it, remembered across openings and
// launches, and the limits its content sets. Sizes are content sizes in points.
namespace sizing {

inline constexpr double minimumWidth = 360;
inline constexpr double maximumWidth = 1600;
inline constexpr Size initialSize{minimumWidth, 560};
inline constexpr double minimumCardAreaHeight = 140;
// The column that pop-ups, sliders and values fill, right-aligned in their rows. Narrower than
// the 170 points a Mac panel gives them, as the usual Linux interface fonts are wider: the
// row titles then keep room for their words.
inline constexpr double controlColumnWidth = 150;
// The room around a row's title: the panel's margins, the card's insets, the gap to the
// control. The layouts are built with these.
inline constexpr int panelMargin = 16;
inline constexpr int cardInset = 14;
inline constexpr int rowSpacing = 8;

// The narrowest panel in which a row title `titleWidth` wide shows whole beside a control
// `controlWidth` wide; never below the minimum nor above the maximum.
double widthFitting(double titleWidth, double controlWidth);

// The width to give the panel before it opens, from the stored width (0 when none), or
// nothing when it already has it. Without a stored width (or with one below the minimum) it
// is `fittingWidth`, the width at which every title shows whole.
std::optional<double> widthToApply(double storedWidth, double currentWidth, double fittingWidth);
// What a resize by the user stores, or nothing when the width is below the minimum.
std::optional<Size> sizeToRemember(Size content);
// After "Reset window size" (the stored size is gone): the width to set, if it differs.
std::optional<double> widthAfterReset(double currentWidth, double fittingWidth);

// The content's limits and the height to give it.
struct ContentLimits {
    Size minimum;
    Size maximum;
    std::optional<double> height;  // nothing: the current height stays

    bool operator==(const ContentLimits&) const = default;
};
// `fitting`: the content's height with every card visible; `cardArea`: the card list's own
// height within it; `storedHeight`: the remembered height (0 when none). The card list is
// the only part that scrolls, and it may shrink to 140 points (less when its content is
// shorter), so the panel is never taller than its content nor shorter than that. Nor is it
// taller than `screenHeight`, the room on its screen, whatever its content: a footer below
// the screen's edge could not be reached.
ContentLimits contentLimits(double fitting, double cardArea, double storedHeight, double currentHeight,
                            double screenHeight = std::numeric_limits<double>::infinity());

// Tells the program's own size changes from the user's. `depth` counts the changes in
// progress (a counter, so that nested changes stay right). Because a window manager reports a
// requested size later, outside that bracket, the sizes asked for are also kept until the
// window reports them.
class ResizeBracket {
public:
    class Scope {
    public:
        explicit Scope(ResizeBracket& bracket) : bracket_(bracket) { ++bracket_.depth_; }
        ~Scope() { --bracket_.depth_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ResizeBracket& bracket_;
    };

    // Brackets a size change the program makes from `current` towards `requested`.
    [[nodiscard]] Scope enter(Size requested, Size current) {
        expect(requested, current);
        return Scope(*this);
    }
    // A size the program asked for, to be reported later; nothing when the window has that
    // size already, as no report will come for it (kept, it would swallow a user's resize to
    // that size later on).
    void expect(Size requested, Size current);
    int depth() const { return depth_; }
    // The window reports a new size: true when the user made it.
    bool isUserResize(Size reported);

private:
    static constexpr std::size_t remembered = 4;

    int depth_ = 0;
    std::deque<Size> requested_;
};

}  // namespace sizing
}  // namespace avrane
