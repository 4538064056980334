#include "AvraneBar/Panel/PanelSizing.h"

#include <algorithm>
#include <cmath>

namespace avrane::sizing {
namespace {

// Sizes closer than half a point are the same size: window systems round.
bool same(double a, double b) { return std::abs(a - b) <= 0.5; }

}  // namespace

double widthFitting(double titleWidth, double controlWidth) {
    const double width = titleWidth + controlWidth + 2 * (panelMargin + cardInset) + rowSpacing;
    return std::clamp(std::ceil(width), minimumWidth, maximumWidth);
}

std::optional<double> widthToApply(double storedWidth, double currentWidth, double fittingWidth) {
    const double target = storedWidth >= minimumWidth ? storedWidth : std::max(fittingWidth, minimumWidth);
    if (same(currentWidth, target)) return std::nullopt;
    return target;
}

std::optional<Size> sizeToRemember(Size content) {
    if (content.width < minimumWidth) return std::nullopt;
    return content;
}

std::optional<double> widthAfterReset(double currentWidth, double fittingWidth) {
    const double target = std::max(fittingWidth, minimumWidth);
    if (same(currentWidth, target)) return std::nullopt;
    return target;
}

ContentLimits contentLimits(double fitting, double cardArea, double storedHeight, double currentHeight,
                            double screenHeight) {
    const double minimumHeight = fitting - cardArea + std::min(cardArea, minimumCardAreaHeight);
    // The screen cuts the content's height, down to the minimum at most.
    const double tallest = std::min(fitting, std::max(screenHeight, minimumHeight));
    ContentLimits limits{{minimumWidth, std::min(minimumHeight, tallest)}, {maximumWidth, tallest}, std::nullopt};
    double target = storedHeight > 0 ? storedHeight : tallest;
    if (target <= minimumHeight) target = minimumHeight;
    if (target > tallest) target = tallest;
    if (!same(target, currentHeight)) limits.height = target;
    return limits;
}

void ResizeBracket::expect(Size requested, Size current) {
    if (same(requested.width, current.width) && same(requested.height, current.height)) return;
    requested_.push_back(requested);
    if (requested_.size() > remembered) requested_.pop_front();
}

bool ResizeBracket::isUserResize(Size reported) {
    const auto match = std::find_if(requested_.begin(), requested_.end(), [&](const Size& s) {
        return same(s.width, reported.width) && same(s.height, reported.height);
    });
    const bool wasRequested = match != requested_.end();
    // Reported: it and anything asked for before it are settled.
    if (wasRequested) requested_.erase(requested_.begin(), match + 1);
    return depth_ < 1 && !wasRequested;
}

}  // namespace avrane::sizing
