#pragma once

#include <ostream>

namespace avrane {

// Screen points with the origin at the bottom left and y growing upwards, the convention the
// placement rules are written in. The window layer converts once, with `flipped`, because Qt
// counts y downwards from the top.
struct Point {
    double x = 0;
    double y = 0;

    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;

    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double maxX() const { return x + width; }
    double midX() const { return x + width / 2; }
    double minY() const { return y; }
    double maxY() const { return y + height; }
    double midY() const { return y + height / 2; }
    Point centre() const { return {midX(), midY()}; }
    Size size() const { return {width, height}; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    // Edges included, as a click on the border of the panel is a click on the panel.
    bool contains(Point p) const { return p.x >= minX() && p.x <= maxX() && p.y >= minY() && p.y <= maxY(); }

    bool operator==(const Rect&) const = default;
};

// The same rectangle or point with y counted from the other end of a space whose far edge is
// at `extent` (top-left origin to bottom-left origin, and back: the flip is its own inverse).
inline Rect flipped(const Rect& r, double extent) { return {r.x, extent - r.y - r.height, r.width, r.height}; }
inline Point flipped(const Point& p, double extent) { return {p.x, extent - p.y}; }

inline std::ostream& operator<<(std::ostream& out, const Point& p) { return out << '(' << p.x << ", " << p.y << ')'; }
inline std::ostream& operator<<(std::ostream& out, const Size& s) { return out << s.width << 'x' << s.height; }
inline std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << '(' << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ')';
}

}  // namespace avrane
