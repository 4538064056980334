#include "AvraneBar/StatusItem/TrayHost.h"

#include <xcb/xfixes.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include "AvraneBar/StatusItem/X11Tray.h"

namespace avrane {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString hostNamePrefix = QStringLiteral("org.kde.StatusNotifierHost-");
const QString busService = QStringLiteral("org.freedesktop.DBus");

using x11::owned;

xcb_window_t rootWindow(xcb_connection_t* connection, int screenNumber) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; screens.rem > 0; xcb_screen_next(&screens), ++i) {
        if (i == screenNumber) return screens.data->root;
    }
    return XCB_WINDOW_NONE;
}

}  // namespace

TrayHost::TrayHost(QObject* parent) : QObject(parent) {
    xembedPoll_.setInterval(xembedPollInterval);
    connect(&xembedPoll_, &QTimer::timeout, this, &TrayHost::checkXEmbed);
}

TrayHost::~TrayHost() {
    if (selectionNotifyEvent_ >= 0) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool TrayHost::x11() const { return QGuiApplication::platformName() == QLatin1String("xcb"); }

void TrayHost::start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        watcher_ = new QDBusServiceWatcher(watcherService, bus,
                                           QDBusServiceWatcher::WatchForRegistration |
                                               QDBusServiceWatcher::WatchForUnregistration,
                                           this);
        connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, &TrayHost::askWatcher);
        connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &TrayHost::watcherGone);
        for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
            bus.connect(watcherService, watcherPath, watcherService, QLatin1String(signal), this, SLOT(askWatcher()));
        }
        followHostNames();
        // Without a watcher there is nothing to wait for: an X11 tray may take the icon at once
        // (one quick question, where waiting for the answer below would hold the icon up
        // behind the launch's other work).
        const QDBusReply<bool> watched = bus.interface()->isServiceRegistered(watcherService);
        mayTell_ = watched.isValid() && !watched.value();
        askWatcher();
    } else {
        answered_ = true;
        mayTell_ = true;
    }
    xcb_connection_t* connection = x11() ? x11::connection() : nullptr;
    if (!connection) {
        update();
        return;
    }
    const QByteArray name = x11::traySelection();
    // Interned even before any tray takes it, so that its first owner is announced too.
    if (const auto atom = owned(xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr))) {
        selectionAtom_ = atom->atom;
    }
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    const xcb_window_t root = rootWindow(connection, x11::screenNumber());
    if (selectionAtom_ && xfixes && xfixes->present && root != XCB_WINDOW_NONE) {
        // The server takes XFixes requests only from a client that said which version it speaks.
        owned(xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 5, 0), nullptr));
        selectionNotifyEvent_ = xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
        QCoreApplication::instance()->installNativeEventFilter(this);
        xcb_xfixes_select_selection_input(connection, root, selectionAtom_,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(connection);
    } else {
        xembedPoll_.start();
    }
    checkXEmbed();
}

void TrayHost::settle() {
    if (settled_) return;
    settled_ = kindAtFirstTrayCall(hosts_);
    update();
}

void TrayHost::askWatcher() {
    QDBusMessage question = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                           QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("Get"));
    question << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(question, 2000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *pending;
        watcherSaysHost_ = reply.isValid() && reply.value().variant().toBool();
        const bool first = !answered_;
        answered_ = true;
        mayTell_ = true;
        takeHostPresence();
        if (first) emit answered();
    });
}

void TrayHost::watcherGone() {
    watcherSaysHost_ = false;
    takeHostPresence();
}

void TrayHost::followHostNames() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(busService, QStringLiteral("/org/freedesktop/DBus"), busService, QStringLiteral("NameOwnerChanged"), this,
                SLOT(nameOwnerChanged(QString, QString, QString)));
    const QDBusMessage question = QDBusMessage::createMethodCall(busService, QStringLiteral("/org/freedesktop/DBus"),
                                                                 busService, QStringLiteral("ListNames"));
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(question, 2000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<QStringList> reply = *pending;
        if (!reply.isValid()) return;
        for (const QString& name : reply.value()) {
            if (name.startsWith(hostNamePrefix)) hostNames_.insert(name);
        }
        takeHostPresence();
    });
}

void TrayHost::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
    if (!name.startsWith(hostNamePrefix)) return;
    if (newOwner.isEmpty()) {
        hostNames_.remove(name);
    } else {
        hostNames_.insert(name);
    }
    takeHostPresence();
}

void TrayHost::takeHostPresence() {
    hostNamesSeen_ = hostNamesSeen_ || !hostNames_.isEmpty();
    hosts_.statusNotifierHost = statusNotifierHostPresent(watcherSaysHost_, hostNamesSeen_, !hostNames_.isEmpty());
    update();
}

void TrayHost::checkXEmbed() {
    xcb_connection_t* connection = x11::connection();
    if (!connection || !selectionAtom_) return;
    const auto owner = owned(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selectionAtom_), nullptr));
    hosts_.xembedTray = owner && owner->owner != XCB_NONE;
    update();
}

bool TrayHost::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != selectionNotifyEvent_) return false;
    const auto* notify = static_cast<const xcb_xfixes_selection_notify_event_t*>(message);
    // Asked again once Qt is done with the event: the owner may have changed once more.
    if (notify->selection == selectionAtom_) QMetaObject::invokeMethod(this, &TrayHost::checkXEmbed, Qt::QueuedConnection);
    return false;
}

void TrayHost::update() {
    // Qt settles the kind of its icon at the first tray call, so nothing is said before a
    // watcher that is there has answered: an XEmbed tray announced first (Plasma's proxy, for
    // one) would otherwise win over the StatusNotifierItem host that the desktop shows.
    if (!mayTell_) return;
    const bool available = trayCanShowIcon(hosts_, settled_, x11());
    if (available == available_) return;
    available_ = available;
    emit availabilityChanged(available_);
}

}  // namespace avrane
