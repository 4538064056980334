#include "AvraneBar/StatusItem/TrayHost.h"

#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace avrane {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

// The screen number in DISPLAY (":0.1" is screen 1), which names the tray's selection.
int x11ScreenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const qsizetype colon = display.lastIndexOf(':');
    if (dot > colon && colon >= 0) return display.mid(dot + 1).toInt();
    return 0;
}

bool xembedTrayExists() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return false;
    xcb_connection_t* connection = x11->connection();
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(x11ScreenNumber());
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom) return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE) return false;  // never interned: no tray ever took it
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    free(owner);
    return owned;
}

}  // namespace

TrayHost::TrayHost(QObject* parent) : QObject(parent) {
    xembedPoll_.setInterval(xembedPollInterval);
    connect(&xembedPoll_, &QTimer::timeout, this, &TrayHost::checkXEmbed);
}

void TrayHost::start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        watcher_ = new QDBusServiceWatcher(watcherService, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, &TrayHost::askWatcher);
        bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
                    SLOT(askWatcher()));
        askWatcher();
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        checkXEmbed();
        if (!available_) xembedPoll_.start();
    }
}

void TrayHost::askWatcher() {
    if (available_) return;
    QDBusMessage question = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                           QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("Get"));
    question << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(question, 2000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *pending;
        if (reply.isValid() && reply.value().variant().toBool()) found();
    });
}

void TrayHost::checkXEmbed() {
    if (!available_ && xembedTrayExists()) found();
}

void TrayHost::found() {
    if (available_) return;
    available_ = true;
    xembedPoll_.stop();
    emit appeared();
}

}  // namespace avrane
