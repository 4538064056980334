#pragma once

#include <string>
#include <variant>

#include "AvraneBar/Controller/HeadsetSnapshot.h"
#include "AvraneBar/Panel/PanelGeometry.h"

namespace avrane {

// The application's diagnostic lines on standard error (with AVRANE_BAR_LOG=1): one per
// rendered snapshot, and the panel's widget tree on request (AVRANE_BAR_OPEN=1).
namespace diagnostics {

// "connected  ·  battery 80%  ·  volume 15  ·  balance +0.0 ...": every field that is present.
std::string snapshotSummary(const HeadsetSnapshot& snapshot);
// The time stamp, two spaces, the summary, a line feed.
std::string snapshotLine(TimePoint now, const HeadsetSnapshot& snapshot);

// "--- panel 360x560 at 100,200, visible=true, statusItem 24x24 at 1200,0 ---\n"
std::string layoutHeader(const Rect& panel, bool visible, const Rect& statusItem);

// A label shows its text; any other control whether it is enabled and its value.
struct TextContent {
    std::string text;
};
struct ControlContent {
    bool enabled = true;
    double value = 0;
};
using ViewContent = std::variant<std::monostate, TextContent, ControlContent>;

// One view of the tree: indent, class, frame, "  HIDDEN", then its content.
std::string layoutLine(int depth, const std::string& className, const Rect& frame, bool hidden,
                       const ViewContent& content);
// The shortest text that reads back as the same double, always with a decimal point: 0.0,
// 37.5, 12.0.
std::string shortestNumber(double value);

}  // namespace diagnostics
}  // namespace avrane
