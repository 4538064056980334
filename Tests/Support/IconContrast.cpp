#include "Support/IconContrast.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include <QPainter>

namespace avrane::testing {
namespace {

// Pixels that contrast less than this with the background are background to the eye.
constexpr double visible = 1.1;

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(QRgb colour) {
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) + 0.0722 * channel(qBlue(colour));
}

}  // namespace

double contrastRatio(QRgb first, QRgb second) {
    const double a = luminance(first), b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

std::optional<IconContrast> measureIconContrast(const QImage& screen, const QRect& icon, QRgb background) {
    if (icon.isEmpty() || (icon & screen.rect()) != icon) return std::nullopt;
    IconContrast result;
    result.background = background | 0xff000000u;
    std::vector<std::pair<double, QRgb>> pixels;
    for (int y = icon.top(); y <= icon.bottom(); ++y) {
        for (int x = icon.left(); x <= icon.right(); ++x) {
            const QRgb colour = screen.pixel(x, y) | 0xff000000u;
            pixels.emplace_back(contrastRatio(colour, result.background), colour);
        }
    }
    std::sort(pixels.begin(), pixels.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    const auto drawn = std::partition_point(pixels.begin(), pixels.end(), [](const auto& p) { return p.first >= visible; });
    const std::size_t strokes = std::min(pixels.size(), std::max<std::size_t>(4, std::size_t(drawn - pixels.begin()) / 10));
    const auto& median = pixels[strokes / 2];
    result.ratio = median.first;
    result.stroke = median.second;
    return result;
}

std::optional<QRgb> commonestColour(const QImage& screen, const QRect& area, const QRect& except) {
    std::map<QRgb, int> counts;
    const QRect inside = area & screen.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (!except.contains(x, y)) ++counts[screen.pixel(x, y) | 0xff000000u];
        }
    }
    if (counts.empty()) return std::nullopt;
    return std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second < b.second; })->first;
}

QRect changedArea(const QImage& before, const QImage& after, const QRect& within) {
    if (before.size() != after.size()) return {};
    QRect changed;
    const QRect area = within & before.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) changed |= QRect(x, y, 1, 1);
        }
    }
    return changed;
}

QImage referenceIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double ring = std::max(2.0, size / 5.0);
    const QRectF whole(0, 0, size, size);
    painter.setBrush(Qt::black);
    painter.drawEllipse(whole);
    painter.setBrush(Qt::white);
    painter.drawEllipse(whole.adjusted(ring, ring, -ring, -ring));
    painter.setBrush(Qt::black);
    painter.drawEllipse(whole.adjusted(2 * ring, 2 * ring, -2 * ring, -2 * ring));
    return icon;
}

double referenceContrast(QRgb bar) {
    return std::max(contrastRatio(bar, qRgb(255, 255, 255)), contrastRatio(bar, qRgb(0, 0, 0)));
}

}  // namespace avrane::testing
