#include <gmock/gmock.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>

#include "AvraneBar/StatusItem/StatusIcon.h"

namespace avrane {
namespace {

const IconInk blackInk{black, std::nullopt};

QImage draw(const QString& title, int size = 22) {
    return drawStatusIcon(title, size, blackInk);
}

// What is drawn: its bounds, its solid and antialiased pixels, and the pixels that are not
// `colour` at some coverage.
struct Ink {
    QRect bounds;
    int solid = 0, blurred = 0, offColour = 0;
};

Ink inkOf(const QImage& image, Rgb colour = black) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);  // premultiplied
            const int alpha = qAlpha(pixel);
            const auto off = [alpha](int channel, int full) { return qAbs(channel - full * alpha / 255) > 1; };
            if (alpha > 0) ink.bounds |= QRect(x, y, 1, 1);
            ink.solid += alpha == 255;
            ink.blurred += alpha > 0 && alpha < 255;
            ink.offColour += off(qRed(pixel), colour.red) || off(qGreen(pixel), colour.green) ||
                             off(qBlue(pixel), colour.blue);
        }
    }
    return ink;
}

TEST(StatusIcon, everyTitleFitsItsSquareInTheOneColour) {
    const Rgb colour{200, 60, 20};
    for (const char* title : {"", " 7%", " 100%", " 80% \u00B7 12", " 100%\u26A1 \u00B7 30", " 12"}) {
        for (const auto& [size, ratio] : {std::pair{16, 1.0}, {22, 1.0}, {22, 2.0}, {64, 1.0}}) {
            const QImage image = drawStatusIcon(QString::fromUtf8(title), size, {colour, std::nullopt}, ratio);
            const int side = qRound(size * ratio);
            SCOPED_TRACE(std::string(title) + " at " + std::to_string(side));
            ASSERT_EQ(image.size(), QSize(side, side));
            // A HiDPI image is drawn at its device pixels, not scaled up.
            EXPECT_EQ(image, drawStatusIcon(QString::fromUtf8(title), side, {colour, std::nullopt}));
            // Nothing touches the edge, so nothing was clipped; the glyph is always on top.
            const Ink ink = inkOf(image, colour);
            EXPECT_TRUE(image.rect().adjusted(1, 1, -1, -1).contains(ink.bounds));
            EXPECT_LT(ink.bounds.top(), side / 4);
            EXPECT_EQ(ink.offColour, 0);
        }
    }
}

TEST(StatusIcon, eachPartOfTheTitleShows) {
    // The glyph alone fills the square on whole pixels: more solid pixels than antialiased
    // ones, where strokes half a pixel off would blur every edge.
    for (const int size : {22, 44}) {
        const Ink glyph = inkOf(draw("", size));
        EXPECT_GE(std::min(glyph.bounds.width(), glyph.bounds.height()), size - 4);
        EXPECT_GT(glyph.solid, glyph.blurred) << size;
    }
    const QStringList titles{"", " 80%", " 81%", " 100%", " 80%\u26A1", " 80% \u00B7 12", " 80% \u00B7 13",
                             " 80%\u26A1 \u00B7 12"};
    for (qsizetype i = 0; i < titles.size(); ++i) {
        for (qsizetype j = i + 1; j < titles.size(); ++j) EXPECT_NE(draw(titles[i]), draw(titles[j])) << i << " " << j;
    }
    // The bolt is a shape of its own, not the same shapes moved; the battery digits are as
    // large as fits, about half the square high.
    const Ink charging = inkOf(draw(" 80%\u26A1")), notCharging = inkOf(draw(" 80%"));
    EXPECT_GT(charging.solid + charging.blurred, notCharging.solid + notCharging.blurred + 10);
    EXPECT_GE(inkOf(draw(" 80%").copy(0, 11, 22, 11)).bounds.height(), 9);
}

// The height of the digits in each half of the square, as rows of ink (the bolt is as high).
std::pair<int, int> rowHeights(const QImage& image) {
    const int half = image.height() / 2;
    return {inkOf(image.copy(0, 0, image.width(), half)).bounds.height(),
            inkOf(image.copy(0, half, image.width(), image.height() - half)).bounds.height()};
}

TEST(StatusIcon, twoNumbersAreEachEightPixelsHighFrom22Pixels) {
    for (const int size : {22, 24, 32}) {
        for (const char* title : {" 80%\u26A1 \u00B7 12", " 100%\u26A1 \u00B7 30", " 5% \u00B7 0"}) {
            SCOPED_TRACE(std::string(title) + " at " + std::to_string(size));
            const auto [battery, volume] = rowHeights(draw(QString::fromUtf8(title), size));
            EXPECT_GE(battery, 8);
            EXPECT_GE(volume, 8);
        }
    }
    // Below that the battery alone, as without the volume.
    EXPECT_EQ(draw(QString::fromUtf8(" 80% \u00B7 12"), 16), draw(" 80%", 16));
}

// Measured on the icon composited onto the bar: the weakest contrast with the bar of the solid
// pixels of each colour the icon is drawn in (the fill, the outline); and whether every solid
// fill pixel is surrounded by solid pixels of the icon (an outline between it and the bar).
struct Legibility {
    double fill = 21, outline = 21;
    bool fillEnclosed = true;
};

Legibility measure(const QImage& icon, const IconInk& ink, Rgb bar) {
    QImage onBar(icon.size(), QImage::Format_RGB32);
    onBar.fill(QColor(bar.red, bar.green, bar.blue));
    QPainter(&onBar).drawImage(0, 0, icon);
    Legibility result;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            if (qAlpha(icon.pixel(x, y)) < 255) continue;
            const QRgb pixel = onBar.pixel(x, y);
            const Rgb colour{std::uint8_t(qRed(pixel)), std::uint8_t(qGreen(pixel)), std::uint8_t(qBlue(pixel))};
            if (colour == ink.fill) {
                result.fill = std::min(result.fill, contrastRatio(colour, bar));
                for (const QPoint next : {QPoint(x - 1, y), QPoint(x + 1, y), QPoint(x, y - 1), QPoint(x, y + 1)}) {
                    if (!icon.rect().contains(next) || qAlpha(icon.pixel(next)) < 255) result.fillEnclosed = false;
                }
            } else if (colour == ink.outline) {
                result.outline = std::min(result.outline, contrastRatio(colour, bar));
            }
        }
    }
    return result;
}

TEST(StatusIcon, glyphAndDigitsStandOutFromEveryBar) {
    struct Row {
        const char* name;
        TrayBackdrop backdrop;
        std::vector<Rgb> bars;  // what the bar may be, as far as the desktop tells
    };
    TrayBackdrop gnome, classic, breeze, breezeDark, trayer, statedForeground, unknown;
    gnome.desktop = TrayDesktop::gnome;
    classic.desktop = TrayDesktop::gnomeClassic;
    breeze.desktop = breezeDark.desktop = TrayDesktop::plasma;
    breeze.plasmaPanel = BarColours{{239, 240, 241}, Rgb{35, 38, 41}};
    breezeDark.plasmaPanel = BarColours{{49, 54, 59}, Rgb{252, 252, 252}};
    trayer.behindIcon = Rgb{190, 190, 190};
    // A tray that states a colour which does not stand out on its own pixels.
    statedForeground.trayForeground = Rgb{90, 90, 90};
    statedForeground.behindIcon = Rgb{60, 60, 60};
    // waybar and other StatusNotifierItem hosts say nothing: every grey, and its own default
    // (translucent over sway's wallpaper) and a light style.
    std::vector<Rgb> anyBar{{43, 48, 59}, {34, 39, 51}, {238, 238, 238}, {255, 128, 0}, {0, 90, 200}};
    for (int grey = 0; grey < 256; grey += 15) anyBar.push_back({std::uint8_t(grey), std::uint8_t(grey), std::uint8_t(grey)});
    const std::vector<Row> rows{
        {"GNOME's top bar", gnome, {{0, 0, 0}, {30, 30, 30}}},
        {"GNOME Classic", classic, {{246, 245, 244}}},
        {"Plasma with Breeze", breeze, {{239, 240, 241}}},
        {"Plasma with Breeze Dark", breezeDark, {{49, 54, 59}}},
        {"an XEmbed tray's pixels", trayer, {{190, 190, 190}}},
        {"an XEmbed tray's stated colour", statedForeground, {{60, 60, 60}}},
        {"a bar nothing is known of", unknown, anyBar},
    };
    for (const Row& row : rows) {
        const IconInk ink = iconInk(TrayIconColour::automatic, row.backdrop);
        for (const char* title : {"", " 80%\u26A1", " 100% \u00B7 30"}) {
            const QImage icon = drawStatusIcon(QString::fromUtf8(title), 22, ink);
            for (const Rgb bar : row.bars) {
                SCOPED_TRACE(::testing::Message() << row.name << ", " << title << ", " << ink << " on " << bar);
                const Legibility seen = measure(icon, ink, bar);
                if (!ink.outline) {
                    EXPECT_GE(seen.fill, legibleContrast);
                    continue;
                }
                // Where the fill does not stand out, the outline around it does.
                EXPECT_GE(std::max(seen.fill, seen.outline), legibleContrast);
                EXPECT_TRUE(seen.fillEnclosed);
                EXPECT_GE(contrastRatio(ink.fill, *ink.outline), legibleContrast);
            }
        }
    }
    // A colour chosen by the user is taken as it is.
    EXPECT_EQ(iconInk(TrayIconColour::dark, gnome), (IconInk{black, std::nullopt}));
    EXPECT_EQ(iconInk(TrayIconColour::light, breeze), (IconInk{white, std::nullopt}));
}

// Each size is drawn when asked for; the first one drawn is told once.
TEST(StatusIcon, iconHoldsEachSizeDrawnAtThatSize) {
    int drawn = 0;
    const QIcon icon = statusIcon(" 80%", blackInk, [&] { ++drawn; });
    EXPECT_EQ(drawn, 0);
    for (const QSize size : icon.availableSizes()) {
        EXPECT_EQ(icon.pixmap(size).toImage(), draw(" 80%", size.width())) << size.width();
    }
    EXPECT_EQ(drawn, 1);
    // Between sizes, and above the largest, the nearest larger one scaled, as among pixmaps.
    EXPECT_EQ(icon.pixmap(QSize(20, 20)).toImage(), QPixmap::fromImage(draw(" 80%", 22)).scaled(20, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).toImage());
    EXPECT_EQ(icon.pixmap(QSize(64, 64)).size(), QSize(48, 48));
}

}  // namespace
}  // namespace avrane

// The suite draws into images only, so it needs fonts but no display.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
