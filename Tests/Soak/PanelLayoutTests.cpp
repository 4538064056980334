#include "Soak/PanelLayout.h"

#include <gtest/gtest.h>

namespace avrane::soak {
namespace {

// The top of a dump as avrane-bar writes it, with a card below the scroll area's fold.
const std::vector<std::string> dump{
    "--- panel 411x765 at 861,29, visible=true, statusItem 22x22 at 1257,1 ---",
    "PanelViewController  411x765 at 0,0",
    "  QScrollArea  379x595 at 16,81",
    "    QWidget  379x595 at 0,0",
    "      QWidget  379x1057 at 0,0",
    "        Card  379x143 at 0,0",
    "          QWidget  351x15 at 14,114",
    "            ElidedLabel  193x14 at 0,0 \"Sidetone  5\"",
    "            QWidget  150x15 at 201,0",
    "              ValueSlider  150x15 at 0,0 enabled=true value=5.0",
    "          QWidget  351x0 at 14,36  HIDDEN",
    "            ElidedLabel  193x0 at 0,0 \"Ambient Level  10\"",
    "            ValueSlider  150x0 at 201,0 enabled=true value=10.0",
    "        Card  379x173 at 0,544",
    "          QWidget  351x46 at 14,113",
    "            QWidget  351x20 at 0,0",
    "              ElidedLabel  307x14 at 0,3 \"Indicator Light\"",
    "              ToggleSwitch  36x20 at 315,0 enabled=false value=1.0",
    "            QLabel  351x24 at 0,22 \"The light on the earcup.",
    "Off lets it go dark.\"",
    "  QScrollBar  10x595 at 398,81 enabled=true value=0.0",
};

TEST(PanelLayoutTests, ControlsAreFoundWithTheirPlacesAtEitherEndOfTheScrolling) {
    const auto layout = PanelLayout::parse(dump);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->panel(), (Box{861, 29, 411, 765}));

    const auto* sidetone = layout->controlAfter("Sidetone", "ValueSlider");
    ASSERT_NE(sidetone, nullptr);
    EXPECT_EQ(sidetone->value, 5.0);
    EXPECT_EQ(sidetone->atTop.box, (Box{16 + 14 + 201, 81 + 114, 150, 15}));
    EXPECT_TRUE(sidetone->atTop.shown);
    EXPECT_FALSE(sidetone->atEnd.shown);  // scrolled away: 1057 - 595 = 462 up

    const auto* led = layout->controlAfter("Indicator Light", "ToggleSwitch");
    ASSERT_NE(led, nullptr);
    EXPECT_FALSE(led->enabled);
    EXPECT_FALSE(led->atTop.shown);  // below the fold
    EXPECT_TRUE(led->atEnd.shown);
    EXPECT_EQ(led->atEnd.box, (Box{16 + 14 + 315, 81 + 544 + 113 - 462, 36, 20}));

    const auto* ambient = layout->controlAfter("Ambient Level", "ValueSlider");
    ASSERT_NE(ambient, nullptr);
    EXPECT_FALSE(ambient->atTop.shown);  // hidden, and of no height
    EXPECT_FALSE(ambient->atEnd.shown);
    EXPECT_EQ(layout->controlAfter("Battery", "ValueSlider"), nullptr);

    EXPECT_EQ(layout->widgets().back().className, "QScrollBar");
    EXPECT_EQ(layout->scrollBar(), &layout->widgets().back());
    EXPECT_EQ(layout->widgets()[layout->widgets().size() - 2].text, "The light on the earcup.\nOff lets it go dark.");
}

TEST(PanelLayoutTests, AnythingElseIsNoLayout) {
    EXPECT_FALSE(PanelLayout::parse({}));
    EXPECT_FALSE(PanelLayout::parse({"PanelViewController  411x765 at 0,0"}));
    EXPECT_FALSE(PanelLayout::parse({"--- panel 411x765 at 861,29 ---", "    QWidget  1x1 at 0,0"}));  // no parent
}

}  // namespace
}  // namespace avrane::soak
