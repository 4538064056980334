#pragma once

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace avrane::x11 {

// A reply of xcb's, freed with it.
template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}

// Qt's own connection to the X server; nothing on another platform.
inline xcb_connection_t* connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The screen number in DISPLAY (":0.1" is screen 1), which names the tray's selection.
inline int screenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const qsizetype colon = display.lastIndexOf(':');
    if (dot > colon && colon >= 0) return display.mid(dot + 1).toInt();
    return 0;
}

// The selection an X11 system tray owns on this screen.
inline QByteArray traySelection() { return "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber()); }

}  // namespace avrane::x11
