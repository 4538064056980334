#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace avrane::soak {

struct Box {
    int x = 0, y = 0, width = 0, height = 0;

    bool operator==(const Box&) const = default;
    int centerY() const { return y + height / 2; }
};

// The panel's widget tree as avrane-bar dumps it with AVRANE_BAR_OPEN=1: each widget's class
// and frame within its parent, a label's text, a control's value. Read back to find where a
// hand has to go, with the panel's cards scrolled to the top (as the dump shows them) or to
// the end.
class PanelLayout {
public:
    // Where a widget is in the panel window with the cards at one end of their scrolling, and
    // whether it can be seen there: inside every ancestor's frame, none of them hidden.
    struct Place {
        Box box;
        bool shown = false;
    };
    struct Widget {
        int depth = 0;
        std::string className;
        Box frame;  // within its parent, as dumped
        bool hidden = false;
        std::string text;  // a label's
        std::optional<double> value;  // a control's
        bool enabled = true;
        Place atTop, atEnd;
    };

    // The dump's lines, from its "--- panel ..." header on; nothing when they are not one.
    static std::optional<PanelLayout> parse(const std::vector<std::string>& lines);

    // The panel window's frame when the dump was written.
    const Box& panel() const { return panel_; }
    const std::vector<Widget>& widgets() const { return widgets_; }
    // The first widget of `className` after the label whose text starts with `title`;
    // nothing when there is none.
    const Widget* controlAfter(std::string_view title, std::string_view className) const;
    // The scroll bar shown beside the cards, if any.
    const Widget* scrollBar() const;

private:
    Box panel_;
    std::vector<Widget> widgets_;
};

}  // namespace avrane::soak
