#include <gmock/gmock.h>

#include "AvraneBar/Panel/PanelPlacement.h"
#include "AvraneBar/Panel/PanelSizing.h"

namespace avrane {
namespace {

// A 1440 x 900 screen with a 25-point menu bar at the top, bottom-left origin.
const Rect screen{0, 0, 1440, 900};
const Rect visible{0, 0, 1440, 875};
const Size panel{360, 500};

TEST(PanelPlacement, underTheTrayIconKeptOnScreen) {
    EXPECT_EQ(placement::underButton({1000, 875, 40, 24}, visible, panel), (Point{840, 369}));
    EXPECT_EQ(placement::underButton({1400, 875, 40, 24}, visible, panel), (Point{1072, 369}));
    EXPECT_EQ(placement::underButton({80, 875, 40, 24}, visible, panel), (Point{8, 369}));
    // Narrower than the panel and its insets: the right edge wins.
    EXPECT_EQ(placement::underButton({100, 875, 40, 24}, {0, 0, 300, 875}, panel), (Point{-68, 369}));
    // An icon in the lower half: the top right corner of the visible area.
    EXPECT_EQ(placement::underButton({1000, 0, 40, 24}, visible, panel), (Point{1072, 369}));
}

TEST(PanelPlacement, besideTheEdgeNearestTheTray) {
    const Rect bottomBar{0, 30, 1440, 870};  // a taskbar along the bottom
    const struct {
        const char* name;
        placement::Situation situation;
        Point origin;
    } rows[] = {
        {"icon in a bottom taskbar: above it", {Rect{1300, 3, 24, 24}, std::nullopt, screen, bottomBar, panel}, {1072, 36}},
        {"pointer on a top bar", {std::nullopt, Point{700, 890}, screen, visible, panel}, {520, 369}},
        {"pointer on a left dock", {std::nullopt, Point{10, 400}, screen, visible, panel}, {18, 150}},
        {"pointer on a right bar, near the top", {std::nullopt, Point{1435, 850}, screen, visible, panel}, {1067, 369}},
        {"nothing known, a bar at the top: under its right end", {std::nullopt, std::nullopt, screen, visible, panel}, {1072, 369}},
        {"nothing known, a bar on the right: beside its bottom end",
         {std::nullopt, std::nullopt, screen, Rect{0, 0, 1400, 900}, panel}, {1034, 8}},
        {"nothing known, no bar: top right", {std::nullopt, std::nullopt, screen, screen, panel}, {1072, 394}},
        {"icon at the top: the usual rule", {Rect{1000, 875, 40, 24}, Point{1, 1}, screen, visible, panel}, {840, 369}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(placement::choose(row.situation), row.origin);
    }
}

TEST(PanelSizing, rememberedWidthAndUserSizes) {
    // Without a usable stored width the panel takes the width its titles need, 360 at least;
    // a width the user chose stays, even when it cuts titles.
    EXPECT_EQ(sizing::widthToApply(300, 500, 360), 360);
    EXPECT_EQ(sizing::widthToApply(0, 360, 412), 412);
    EXPECT_EQ(sizing::widthToApply(0, 500, 200), 360);
    EXPECT_EQ(sizing::widthToApply(380, 360, 412), 380);
    EXPECT_EQ(sizing::widthToApply(0, 360.3, 360), std::nullopt);
    EXPECT_EQ(sizing::sizeToRemember({420, 600}), (Size{420, 600}));
    EXPECT_EQ(sizing::sizeToRemember({359, 600}), std::nullopt);
    EXPECT_EQ(sizing::widthAfterReset(420, 360), 360);
    EXPECT_EQ(sizing::widthAfterReset(360, 412), 412);
    EXPECT_EQ(sizing::widthAfterReset(360, 360), std::nullopt);
    // A title 142 points wide fits beside the 150-point column at the minimum width exactly;
    // a wider one widens the panel by as much, up to the maximum.
    EXPECT_EQ(sizing::widthFitting(142, 150), 360);
    EXPECT_EQ(sizing::widthFitting(193.2, 150), 412);
    EXPECT_EQ(sizing::widthFitting(5000, 150), 1600);

    // The program's own resizes are not the user's, also when the window reports them late.
    sizing::ResizeBracket bracket;
    {
        const auto outer = bracket.enter({360, 560}, {360, 500});
        {
            const auto inner = bracket.enter({360, 600}, {360, 560});
            EXPECT_EQ(bracket.depth(), 2);
        }
        EXPECT_FALSE(bracket.isUserResize({420, 600})) << "inside the bracket";
    }
    EXPECT_EQ(bracket.depth(), 0);
    EXPECT_FALSE(bracket.isUserResize({360, 600})) << "asked for inside, reported after";
    EXPECT_TRUE(bracket.isUserResize({420, 600}));
    EXPECT_TRUE(bracket.isUserResize({360, 600})) << "each request is settled once";
    // A request for the size the window has is never reported, and so not waited for.
    bracket.expect({420, 600}, {420, 600});
    EXPECT_TRUE(bracket.isUserResize({360, 600}));
    EXPECT_TRUE(bracket.isUserResize({420, 600}));
}

TEST(PanelSizing, contentLimitsFromTheCardsAndTheStoredHeight) {
    using sizing::ContentLimits;
    // 300 points besides a 600-point card list: from 440 (the list at 140) to 900.
    EXPECT_EQ(sizing::contentLimits(900, 600, 0, 560), (ContentLimits{{360, 440}, {1600, 900}, 900}));
    EXPECT_EQ(sizing::contentLimits(900, 600, 700, 560).height, 700);
    EXPECT_EQ(sizing::contentLimits(900, 600, 100, 560).height, 440);
    EXPECT_EQ(sizing::contentLimits(900, 600, 5000, 900).height, std::nullopt);
    // A list that fits in 100 points cannot shrink: the height is fixed whatever is stored.
    EXPECT_EQ(sizing::contentLimits(400, 100, 250, 560), (ContentLimits{{360, 400}, {1600, 400}, 400}));
    // A small screen caps the panel, down to its minimum.
    EXPECT_EQ(sizing::contentLimits(900, 600, 0, 560, 700), (ContentLimits{{360, 440}, {1600, 700}, 700}));
    EXPECT_EQ(sizing::contentLimits(900, 600, 0, 560, 200), (ContentLimits{{360, 440}, {1600, 440}, 440}));
}

}  // namespace
}  // namespace avrane
