#include "AvraneBar/StatusItem/EmbeddedIcon.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <QApplication>
#include <QWidget>

#include "AvraneBar/StatusItem/X11Tray.h"

namespace avrane {
namespace {

using x11::owned;

// Qt's tray icon under X11 is a top-level widget of its own class, docked into the tray.
const QWidget* iconWidget() {
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->internalWinId() && widget->inherits("QSystemTrayIconSys")) return widget;
    }
    return nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const auto reply = owned(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

}  // namespace

std::optional<QRect> embeddedIconGeometry() {
    xcb_connection_t* connection = x11::connection();
    const QWidget* widget = iconWidget();
    if (!connection || !widget) return std::nullopt;
    const auto window = xcb_window_t(widget->internalWinId());
    const auto tree = owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!tree || tree->parent == tree->root) return std::nullopt;  // not docked yet
    const auto where = owned(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, tree->root, 0, 0), nullptr));
    const auto size = owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!where || !size) return std::nullopt;
    // The server counts device pixels; the panel is placed in Qt's.
    const qreal ratio = widget->devicePixelRatioF();
    return QRectF(where->dst_x / ratio, where->dst_y / ratio, size->width / ratio, size->height / ratio).toRect();
}

std::optional<Rgb> xembedTrayForeground() {
    xcb_connection_t* connection = x11::connection();
    if (!connection) return std::nullopt;
    const xcb_atom_t selection = atom(connection, x11::traySelection().constData());
    const xcb_atom_t colours = atom(connection, "_NET_SYSTEM_TRAY_COLORS");
    if (selection == XCB_ATOM_NONE || colours == XCB_ATOM_NONE) return std::nullopt;
    const auto owner =
        owned(xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr));
    if (!owner || owner->owner == XCB_NONE) return std::nullopt;
    // Twelve CARDINALs: foreground, error, warning and success, each as 16-bit red, green, blue.
    const auto property = owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, owner->owner, colours, XCB_ATOM_CARDINAL, 0, 12), nullptr));
    if (!property || property->format != 32 || xcb_get_property_value_length(property.get()) < 12) return std::nullopt;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
    const auto channel = [&](int i) { return std::uint8_t(std::min<std::uint32_t>(values[i], 0xFFFF) >> 8); };
    return Rgb{channel(0), channel(1), channel(2)};
}

std::optional<Rgb> colourAroundEmbeddedIcon() {
    xcb_connection_t* connection = x11::connection();
    const QWidget* widget = iconWidget();
    if (!connection || !widget) return std::nullopt;
    const auto icon = xcb_window_t(widget->internalWinId());
    const auto iconSize = owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, icon), nullptr));
    if (!iconSize) return std::nullopt;

    // Up from the icon to the first window of the tray's that is larger than it: trays put
    // each icon in a socket window of its own size inside their bar.
    xcb_window_t child = icon;
    for (int depth = 0; depth < 8; ++depth) {
        const auto tree = owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, child), nullptr));
        if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) return std::nullopt;
        const xcb_window_t parent = tree->parent;
        const auto bar = owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, parent), nullptr));
        const auto offset = owned(xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, icon, parent, 0, 0), nullptr));
        if (!bar || !offset) return std::nullopt;
        if (bar->width <= iconSize->width + 1 && bar->height <= iconSize->height + 1) {
            child = parent;
            continue;
        }
        const auto image = owned(xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, parent, 0, 0, bar->width, bar->height, ~0u),
            nullptr));
        // 24 and 32 bit windows come as four bytes per pixel, blue first.
        if (!image || (image->depth != 24 && image->depth != 32) ||
            xcb_get_image_data_length(image.get()) < int(bar->width) * bar->height * 4) {
            return std::nullopt;
        }
        const std::uint8_t* data = xcb_get_image_data(image.get());
        const QRect inside(offset->dst_x, offset->dst_y, iconSize->width, iconSize->height);
        const QRect ring = inside.adjusted(-2, -2, 2, 2) & QRect(0, 0, bar->width, bar->height);
        std::vector<Rgb> pixels;
        for (int y = ring.top(); y <= ring.bottom(); ++y) {
            for (int x = ring.left(); x <= ring.right(); ++x) {
                if (inside.contains(x, y)) continue;
                const std::uint8_t* pixel = data + (std::size_t(y) * bar->width + x) * 4;
                // A translucent tray shows what lies behind it, which cannot be read here.
                if (image->depth == 32 && pixel[3] < 0xF0) continue;
                pixels.push_back({pixel[2], pixel[1], pixel[0]});
            }
        }
        if (pixels.empty()) return std::nullopt;
        const auto middle = pixels.begin() + std::ptrdiff_t(pixels.size() / 2);
        std::nth_element(pixels.begin(), middle, pixels.end(),
                         [](Rgb a, Rgb b) { return relativeLuminance(a) < relativeLuminance(b); });
        return *middle;
    }
    return std::nullopt;
}

}  // namespace avrane
