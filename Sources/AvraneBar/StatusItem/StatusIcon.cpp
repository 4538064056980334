#include "AvraneBar/StatusItem/StatusIcon.h"

#include <algorithm>
#include <array>
#include <map>
#include <tuple>
#include <utility>

#include <QFont>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRawFont>

namespace avrane {
namespace {

constexpr QChar middleDot(0x00B7);
constexpr QChar highVoltage(0x26A1);

// What the title says, as the digits to draw.
struct TitleParts {
    QString battery;
    bool charging = false;
    QString volume;
};

QString digitsOf(const QString& text) {
    QString digits;
    for (const QChar c : text) {
        if (c.isDigit()) digits += c;
    }
    return digits;
}

TitleParts parseTitle(const QString& title) {
    TitleParts parts;
    for (const QString& part : title.split(middleDot, Qt::SkipEmptyParts)) {
        if (part.contains(u'%')) {
            parts.battery = digitsOf(part);
            parts.charging = part.contains(highVoltage);
        } else {
            parts.volume = digitsOf(part);
        }
    }
    return parts;
}

QFont digitFont(int pixelSize) {
    QFont font;
    // DejaVu Sans Condensed is DejaVu Sans narrowed to nine tenths: the bold face narrowed by
    // FreeType draws the same digits to a few levels of grey, from the file the panel's titles
    // already hold, where the condensed face would be one more file mapped for the icon alone.
    font.setFamilies({QStringLiteral("DejaVu Sans")});
    font.setStyleName(QStringLiteral("Bold"));  // not the condensed face, which is nearer in width
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    font.setStretch(90);
    font.setPixelSize(pixelSize);
    // Puts the tops and bottoms of the digits on whole pixels (full hinting renders them
    // unhinted on some platforms); grey antialiasing keeps to one colour.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    font.setStyleStrategy(QFont::NoSubpixelAntialias);
    return font;
}

// Digits set as glyphs side by side, without shaping: digits have no ligatures and no kerning
// between them, and shaping would copy the font's layout tables for each of the sizes the
// icon tries.
struct DigitRun {
    QGlyphRun glyphs;
    QRect ink;  // from the origin on the baseline, on whole pixels
};

DigitRun digitRun(const QString& digits, int pixelSize) {
    const QRawFont font = QRawFont::fromFont(digitFont(pixelSize));
    const QList<quint32> indexes = font.glyphIndexesForString(digits);
    const QList<QPointF> advances = font.advancesForGlyphIndexes(indexes);
    QList<QPointF> positions;
    QRectF ink;
    qreal pen = 0;
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        positions << QPointF(pen, 0);
        ink |= font.boundingRect(indexes[i]).translated(pen, 0);
        pen += advances[i].x();
    }
    DigitRun run;
    run.glyphs.setRawFont(font);
    run.glyphs.setGlyphIndexes(indexes);
    run.glyphs.setPositions(positions);
    run.ink = QRect(qRound(ink.x()), qRound(ink.y()), qRound(ink.width()), qRound(ink.height()));
    return run;
}

// Sized on a wide stand-in so that a number keeps its size as it changes (81 is not drawn
// larger than 80); 100 is the only three-digit value and is measured itself.
QString sizingSample(const QString& digits) {
    return digits.size() >= 3 ? digits : QString(digits.size(), u'0');
}

// The bolt's width for a given height.
int boltWidth(int height) {
    return qRound(height * 10 / 16.0);
}

// The room a bolt as tall as the digits takes after them, with its gap.
int boltSpace(int pixelSize, int digitHeight) {
    return std::max(1, pixelSize / 8) + boltWidth(digitHeight);
}

struct Fit {
    int width = 0;
    int height = 0;
    bool inside = false;
};

Fit fitAt(const QString& sample, int size, QSize box, bool bolt) {
    const QRect ink = digitRun(sample, size).ink;
    const int width = ink.width() + (bolt ? boltSpace(size, ink.height()) : 0);
    return {width, ink.height(), width <= box.width() && ink.height() <= box.height()};
}

// The largest pixel size at which `digits` fit in `box`, at least 1; with `bolt`, leaving
// room for a bolt of the digits' height after them. Ink grows about in proportion to the
// size, so one measurement gives a guess that hinting moves by a pixel or two at most; each
// size tried costs a font of that size, so the answers are kept (the fonts do not change
// while the program runs, and an icon is drawn at a handful of sizes).
int fittingPixelSize(const QString& digits, QSize box, bool bolt = false) {
    const QString sample = sizingSample(digits);
    static std::map<std::tuple<QString, int, int, bool>, int> known;
    const auto key = std::tuple(sample, box.width(), box.height(), bolt);
    if (const auto found = known.find(key); found != known.end()) return found->second;

    const int largest = std::max(2, box.height() * 2);
    const Fit measured = fitAt(sample, box.height(), box, bolt);
    int size = box.height();
    if (measured.width > 0 && measured.height > 0) {
        const double scale = std::min(double(box.width()) / measured.width, double(box.height()) / measured.height);
        size = std::clamp(int(box.height() * scale), 2, largest);
    }
    if (fitAt(sample, size, box, bolt).inside) {
        while (size < largest && fitAt(sample, size + 1, box, bolt).inside) ++size;
    } else {
        do --size;
        while (size > 1 && !fitAt(sample, size, box, bolt).inside);
    }
    size = std::max(size, 1);
    known.emplace(key, size);
    return size;
}

void drawBolt(QPainter& painter, const QRectF& box) {
    // A 10 × 16 bolt stretched over `box`, stout enough to read at eight pixels high.
    static constexpr std::array<QPointF, 6> outline{{{7, 0}, {0, 9.5}, {4.5, 9.5}, {3, 16}, {10, 6.5}, {5.5, 6.5}}};
    QPolygonF polygon;
    for (const QPointF& point : outline) {
        polygon << box.topLeft() + QPointF(point.x() * box.width() / 10, point.y() * box.height() / 16);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(polygon);
}

// Centred in `box` on whole pixels, so the hinted edges stay sharp; with `bolt`, a bolt as
// tall as the digits follows them.
void drawNumber(QPainter& painter, const QString& digits, const QRect& box, int pixelSize, bool bolt = false) {
    const DigitRun run = digitRun(digits, pixelSize);
    const QRect& ink = run.ink;
    const QRect sample = digits == sizingSample(digits) ? ink : digitRun(sizingSample(digits), pixelSize).ink;
    const int trailing = bolt ? boltSpace(pixelSize, sample.height()) : 0;
    const int left = box.left() + (box.width() - ink.width() - trailing) / 2;
    const int top = box.top() + (box.height() - sample.height()) / 2;
    painter.setPen(Qt::black);
    painter.drawGlyphRun(QPointF(left - ink.left(), top - sample.top()), run.glyphs);
    if (bolt) {
        const int boltLeft = left + ink.width() + trailing - boltWidth(sample.height());
        drawBolt(painter, QRectF(boltLeft, top, boltWidth(sample.height()), sample.height()));
    }
}

// A headband arc over two ear cups, filling `box`. Stroke widths and cup edges are whole
// pixels on pixel boundaries, so the legs and cups stay sharp.
void drawHeadphones(QPainter& painter, const QRect& box) {
    const int w = box.width();
    const int h = box.height();
    const int nominal = std::min(w, qRound(h * 1.1));
    const int stroke = std::max(1, qRound(nominal / 10.0));
    const int cupWidth = std::max(2, qRound(nominal * 0.26));
    const int cupHeight = std::max(3, qRound(h * 0.46));
    const qreal left = box.left();
    const qreal top = box.top();
    const qreal right = left + w;
    const qreal cupTop = top + h - cupHeight;
    const qreal half = stroke / 2.0;
    const qreal radiusX = (w - stroke) / 2.0;
    const qreal radiusY = std::min(radiusX, cupTop + cupHeight / 2.0 - top - half);

    QPainterPath band;
    band.moveTo(left + half, cupTop + cupHeight / 2.0);
    band.lineTo(left + half, top + half + radiusY);
    band.arcTo(QRectF(left + half, top + half, 2 * radiusX, 2 * radiusY), 180, -180);
    band.lineTo(right - half, cupTop + cupHeight / 2.0);
    painter.setPen(QPen(Qt::black, stroke, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(band);

    const qreal radius = std::min(cupWidth, cupHeight) * 0.3;
    QPainterPath cups;
    cups.addRoundedRect(QRectF(left, cupTop, cupWidth, cupHeight), radius, radius);
    cups.addRoundedRect(QRectF(right - cupWidth, cupTop, cupWidth, cupHeight), radius, radius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPath(cups);
}

// Two numbers need two rows of digits at least 8 pixels high: a square of 22 pixels has them.
constexpr int twoNumbersSide = 22;

// The two numbers, battery over volume, each in a row of half the square, at one size at which
// two digits fit in either row (a headphones glyph beside them would leave the volume a few
// pixels high). "100" takes the size it fits; a bolt after it would leave it under 8 pixels
// high, and a battery that is full has nothing left to charge, so it goes.
void drawTwoNumbers(QPainter& painter, const TitleParts& parts, const QRect& inner, int gap) {
    const int rowHeight = (inner.height() - gap) / 2;
    const QRect top(inner.left(), inner.top(), inner.width(), rowHeight);
    const QRect bottom(inner.left(), inner.bottom() + 1 - rowHeight, inner.width(), rowHeight);
    const QString twoDigits = QStringLiteral("00");
    const int size = std::min(fittingPixelSize(twoDigits, top.size(), parts.charging),
                              fittingPixelSize(twoDigits, bottom.size()));
    const bool bolt = parts.charging && parts.battery.size() < 3;
    drawNumber(painter, parts.battery, top, std::min(size, fittingPixelSize(parts.battery, top.size(), bolt)), bolt);
    drawNumber(painter, parts.volume, bottom, std::min(size, fittingPixelSize(parts.volume, bottom.size())));
}

// Draws in opaque black, since overlapping strokes must not add up their alpha.
void drawShapes(QPainter& painter, const TitleParts& parts, int side, int margin) {
    const QRect inner(margin, margin, side - 2 * margin, side - 2 * margin);
    if (parts.battery.isEmpty() && parts.volume.isEmpty()) {
        drawHeadphones(painter, inner);
        return;
    }
    if (!parts.battery.isEmpty() && !parts.volume.isEmpty() && side >= twoNumbersSide) {
        drawTwoNumbers(painter, parts, inner, margin);
        return;
    }

    // The glyph row on top, the number below it as large as fits (the battery, where both are
    // shown in a square too small for two rows), a bolt beside the glyph while charging.
    const QString& number = parts.battery.isEmpty() ? parts.volume : parts.battery;
    const int numberHeight = qRound(inner.height() * 0.5);
    const QRect numberRow(inner.left(), inner.bottom() + 1 - numberHeight, inner.width(), numberHeight);
    const QRect glyphRow(inner.left(), inner.top(), inner.width(), inner.height() - numberHeight - margin);
    drawNumber(painter, number, numberRow, fittingPixelSize(number, numberRow.size()));
    const int glyphWidth = std::min(glyphRow.width(), qRound(glyphRow.height() * 1.2));
    const int boltRoom = parts.charging ? boltWidth(glyphRow.height()) : 0;
    const int gap = boltRoom > 0 ? margin : 0;
    const int glyphLeft = glyphRow.left() + (glyphRow.width() - glyphWidth - gap - boltRoom) / 2;
    drawHeadphones(painter, QRect(glyphLeft, glyphRow.top(), glyphWidth, glyphRow.height()));
    if (parts.charging) drawBolt(painter, QRect(glyphLeft + glyphWidth + gap, glyphRow.top(), boltRoom, glyphRow.height()));
}

// `mask` grown by `radius` pixels in every direction: each pixel takes the strongest coverage
// within the radius.
QImage dilated(const QImage& mask, int radius) {
    QImage grown(mask.size(), QImage::Format_Alpha8);
    grown.fill(0);
    for (int y = 0; y < mask.height(); ++y) {
        uchar* out = grown.scanLine(y);
        for (int x = 0; x < mask.width(); ++x) {
            int strongest = 0;
            for (int dy = -radius; dy <= radius; ++dy) {
                const int sy = y + dy;
                if (sy < 0 || sy >= mask.height()) continue;
                const uchar* in = mask.constScanLine(sy);
                for (int dx = -radius; dx <= radius; ++dx) {
                    const int sx = x + dx;
                    if (sx < 0 || sx >= mask.width() || dx * dx + dy * dy > radius * radius + radius) continue;
                    strongest = std::max(strongest, int(in[sx]));
                }
            }
            out[x] = uchar(strongest);
        }
    }
    return grown;
}

QColor colourOf(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

// `mask`'s coverage painted in `colour` over `image`.
void paintCoverage(QImage& image, const QImage& mask, Rgb colour) {
    QImage layer(mask.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(colourOf(colour));
    QPainter tint(&layer);
    tint.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    tint.drawImage(0, 0, mask);
    tint.end();
    QPainter painter(&image);
    painter.drawImage(0, 0, layer);
}

// Hosts take the size they draw (22 and 24 at twice the scale are 44 and 48), but waybar
// takes the largest and shrinks it to its own size (16 unless configured): 48 shrinks to 16
// and 24 by whole factors, which keeps the strokes and outline whole.
constexpr std::array<int, 6> iconSides{16, 22, 24, 32, 44, 48};

// Draws each size the first time it is asked for: an XEmbed tray paints one size, a
// StatusNotifierItem host reads them all. Picks and scales the way QIcon does among pixmaps.
class StatusIconEngine final : public QIconEngine {
public:
    StatusIconEngine(QString title, IconInk ink, std::function<void()> drawn)
        : title_(std::move(title)), ink_(ink), drawn_(std::move(drawn)) {}

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        QSize actual(sideFor(size), sideFor(size));
        if (actual.width() > size.width() || actual.height() > size.height()) actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap = drawnAt(sideFor(size));
        const QSize actual = actualSize(size, mode, state);
        return pixmap.size() == actual ? pixmap : pixmap.scaled(actual, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const QPaintDevice* device = painter->device();
        const qreal ratio = device ? device->devicePixelRatio() : qApp->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int side : iconSides) sizes << QSize(side, side);
        return sizes;
    }
    QIconEngine* clone() const override { return new StatusIconEngine(*this); }
    QString key() const override { return QStringLiteral("avrane.statusIcon"); }

private:
    // The smallest size at least as large as `size`, else the largest.
    static int sideFor(const QSize& size) {
        const qint64 wanted = qint64(size.width()) * size.height();
        for (const int side : iconSides) {
            if (qint64(side) * side >= wanted) return side;
        }
        return iconSides.back();
    }
    const QPixmap& drawnAt(int side) {
        QPixmap& pixmap = pixmaps_[side];
        if (pixmap.isNull()) {
            pixmap = QPixmap::fromImage(drawStatusIcon(title_, side, ink_));
            if (drawn_) std::exchange(drawn_, nullptr)();
        }
        return pixmap;
    }

    QString title_;
    IconInk ink_;
    std::function<void()> drawn_;  // until the first size is drawn
    std::map<int, QPixmap> pixmaps_;
};

}  // namespace

QImage drawStatusIcon(const QString& title, int pixelSize, const IconInk& ink, qreal devicePixelRatio) {
    const int side = qRound(pixelSize * devicePixelRatio);
    if (side <= 0) return {};
    // The shapes keep a margin; an outline takes its place. The outline is a sixteenth of the
    // square, so that a host that shrinks a large image to 16 pixels (waybar takes the largest
    // and scales it) still shows it a pixel wide.
    const int outline = ink.outline ? std::max(1, side / 16) : 0;
    const int margin = std::max({1, qRound(side / 22.0), outline});
    QImage shapes(side, side, QImage::Format_ARGB32_Premultiplied);
    shapes.fill(Qt::transparent);
    QPainter painter(&shapes);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawShapes(painter, parseTitle(title), side, margin);
    painter.end();
    const QImage mask = shapes.convertToFormat(QImage::Format_Alpha8);

    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (ink.outline) paintCoverage(image, dilated(mask, outline), *ink.outline);
    paintCoverage(image, mask, ink.fill);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon statusIcon(const QString& title, const IconInk& ink, std::function<void()> drawn) {
    return QIcon(new StatusIconEngine(title, ink, std::move(drawn)));
}

}  // namespace avrane
