#include <gmock/gmock.h>

#include <QGuiApplication>
#include <QPixmap>

#include "AvraneBar/StatusItem/StatusIcon.h"

namespace avrane {
namespace {

QImage draw(const QString& title, int size = 22) {
    return drawStatusIcon(title, size, Qt::black);
}

// What is drawn: its bounds, its solid and antialiased pixels, and the pixels that are not
// `colour` at some coverage.
struct Ink {
    QRect bounds;
    int solid = 0, blurred = 0, offColour = 0;
};

Ink inkOf(const QImage& image, const QColor& colour = Qt::black) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);  // premultiplied
            const int alpha = qAlpha(pixel);
            const auto off = [alpha](int channel, int full) { return qAbs(channel - full * alpha / 255) > 1; };
            if (alpha > 0) ink.bounds |= QRect(x, y, 1, 1);
            ink.solid += alpha == 255;
            ink.blurred += alpha > 0 && alpha < 255;
            ink.offColour += alpha > colour.alpha() || off(qRed(pixel), colour.red()) ||
                             off(qGreen(pixel), colour.green()) || off(qBlue(pixel), colour.blue());
        }
    }
    return ink;
}

TEST(StatusIcon, everyTitleFitsItsSquareInTheOneColour) {
    const QColor colour(200, 60, 20, 180);
    for (const char* title : {"", " 7%", " 100%", " 80% \u00B7 12", " 100%\u26A1 \u00B7 30", " 12"}) {
        for (const auto& [size, ratio] : {std::pair{16, 1.0}, {22, 1.0}, {22, 2.0}, {64, 1.0}}) {
            const QImage image = drawStatusIcon(QString::fromUtf8(title), size, colour, ratio);
            const int side = qRound(size * ratio);
            SCOPED_TRACE(std::string(title) + " at " + std::to_string(side));
            ASSERT_EQ(image.size(), QSize(side, side));
            // A HiDPI image is drawn at its device pixels, not scaled up.
            EXPECT_EQ(image, drawStatusIcon(QString::fromUtf8(title), side, colour));
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

TEST(StatusIcon, iconHoldsEachSizeDrawnAtThatSize) {
    const QIcon icon = statusIcon(" 80%", Qt::black);
    EXPECT_EQ(icon.availableSizes().size(), 7);
    for (const int size : {16, 22, 24, 32, 44, 48, 64}) {
        EXPECT_EQ(icon.pixmap(size).toImage(), draw(" 80%", size)) << size;
    }
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
