#include "Soak/PanelLayout.h"

#include <algorithm>
#include <regex>

namespace avrane::soak {
namespace {

Box intersection(const Box& a, const Box& b) {
    const int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width), bottom = std::min(a.y + a.height, b.y + b.height);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

// Where a widget is, and what of it its ancestors let show, at one end of the scrolling.
struct Placing {
    Box box, clip;
};

Placing place(const std::optional<Placing>& parent, const Box& frame, int scrolledBy) {
    if (!parent) return {frame, frame};
    const Box box{parent->box.x + frame.x, parent->box.y + frame.y - scrolledBy, frame.width, frame.height};
    return {box, intersection(parent->clip, box)};
}

}  // namespace

std::optional<PanelLayout> PanelLayout::parse(const std::vector<std::string>& lines) {
    // "--- panel 411x765 at 861,29, visible=true, statusItem 22x22 at 1257,1 ---"
    static const std::regex header(R"(^--- panel (\d+)x(\d+) at (-?\d+),(-?\d+),)");
    std::smatch h;
    if (lines.empty() || !std::regex_search(lines.front(), h, header)) return std::nullopt;
    // "  ClassName  120x16 at 8,-4  HIDDEN" then ' "text"' or " enabled=true value=3.0"
    static const std::regex widget(
        R"(^( *)(\S+)  (\d+)x(\d+) at (-?\d+),(-?\d+)(  HIDDEN)?(?: enabled=(true|false) value=(\S+)| "(.*))?$)");
    struct Ancestor {
        std::string className;
        Box frame;
        Placing top, end;
        bool hidden;
    };
    std::vector<Ancestor> ancestors;
    PanelLayout layout;
    layout.panel_ = {std::stoi(h[3]), std::stoi(h[4]), std::stoi(h[1]), std::stoi(h[2])};
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::smatch m;
        if (!std::regex_match(lines[i], m, widget)) {
            // The next line of a label's text.
            if (layout.widgets_.empty()) return std::nullopt;
            layout.widgets_.back().text += "\n" + lines[i];
            continue;
        }
        Widget w;
        w.depth = int(m[1].length()) / 2;
        if (w.depth > int(ancestors.size())) return std::nullopt;
        ancestors.resize(std::size_t(w.depth));
        w.className = m[2];
        w.frame = {std::stoi(m[5]), std::stoi(m[6]), std::stoi(m[3]), std::stoi(m[4])};
        w.hidden = m[7].matched;
        if (m[8].matched) {
            w.enabled = m[8] == "true";
            w.value = std::stod(m[9]);
        }
        if (m[10].matched) w.text = m[10];

        // A scroll area holds a viewport, which holds what scrolls: at the end, that is
        // moved up by as much as it is taller than the viewport.
        int scrolledBy = 0;
        if (w.depth >= 2 && ancestors[std::size_t(w.depth) - 2].className == "QScrollArea") {
            scrolledBy = std::max(0, w.frame.height - ancestors.back().frame.height);
        }
        const auto parentTop = ancestors.empty() ? std::nullopt : std::optional(ancestors.back().top);
        const auto parentEnd = ancestors.empty() ? std::nullopt : std::optional(ancestors.back().end);
        const Placing top = place(parentTop, w.frame, 0), end = place(parentEnd, w.frame, scrolledBy);
        const bool hidden = w.hidden || (!ancestors.empty() && ancestors.back().hidden);
        const auto shown = [&](const Placing& p) { return !hidden && p.clip == p.box && p.box.width > 0 && p.box.height > 0; };
        w.atTop = {top.box, shown(top)};
        w.atEnd = {end.box, shown(end)};
        ancestors.push_back({w.className, w.frame, top, end, hidden});
        layout.widgets_.push_back(std::move(w));
    }
    // A label's text ends with the closing quote the dump adds.
    for (Widget& w : layout.widgets_) {
        if (!w.text.empty() && w.text.back() == '"') w.text.pop_back();
    }
    if (layout.widgets_.empty()) return std::nullopt;
    return layout;
}

const PanelLayout::Widget* PanelLayout::controlAfter(std::string_view title, std::string_view className) const {
    const auto label = std::find_if(widgets_.begin(), widgets_.end(), [&](const Widget& w) { return w.text.starts_with(title); });
    if (label == widgets_.end()) return nullptr;
    const auto control = std::find_if(label + 1, widgets_.end(), [&](const Widget& w) { return w.className == className; });
    return control == widgets_.end() ? nullptr : &*control;
}

const PanelLayout::Widget* PanelLayout::scrollBar() const {
    const auto bar = std::find_if(widgets_.begin(), widgets_.end(), [](const Widget& w) {
        return w.className == "QScrollBar" && w.atTop.shown && w.frame.height > w.frame.width;
    });
    return bar == widgets_.end() ? nullptr : &*bar;
}

}  // namespace avrane::soak
