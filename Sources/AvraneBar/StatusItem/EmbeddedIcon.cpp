#include "AvraneBar/StatusItem/EmbeddedIcon.h"

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

#include <QApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

namespace avrane {
namespace {

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}

}  // namespace

std::optional<QRect> embeddedIconGeometry() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    // Qt's tray icon under X11 is a top-level widget of its own class, docked into the tray.
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        const auto window = xcb_window_t(widget->internalWinId());
        if (!window || !widget->inherits("QSystemTrayIconSys")) continue;
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
    return std::nullopt;
}

}  // namespace avrane
