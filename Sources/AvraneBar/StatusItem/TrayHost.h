#pragma once

#include <chrono>
#include <optional>

#include <QSet>

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>

#include "AvraneBar/StatusItem/TrayPresence.h"

class QDBusServiceWatcher;

namespace avrane {

// Whether the desktop has a system tray that can show the item now, followed as trays come
// and go (a panel started after the program at login, a bar restarted, a tray closed).
//
// On Wayland a program whose first tray call came before a StatusNotifierItem host was there
// never shows an icon, so nothing here makes a tray call: the watcher is found on the session
// bus and followed through its name and signals, and (under X11) the XEmbed tray through the
// owner of its selection, announced by the X server (XFixes), or asked every two seconds where
// the server cannot announce it.
class TrayHost : public QObject, private QAbstractNativeEventFilter {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds xembedPollInterval{2000};

    explicit TrayHost(QObject* parent = nullptr);
    ~TrayHost() override;

    // Whether an icon would show now; `availabilityChanged` follows each change.
    bool isAvailable() const { return available_; }
    // Whether the first answers are in: until then not being available means nothing yet.
    bool hasAnswered() const { return answered_; }
    // Starts looking (at once, and then on every change).
    void start();
    // Called just before the first tray call: only a tray of the kind Qt settles on counts
    // from now on.
    void settle();
    std::optional<TrayKind> settledKind() const { return settled_; }

signals:
    void availabilityChanged(bool available);
    // The first answers are in (once).
    void answered();

private slots:
    // The receiver of the watcher's host signals, connected by name.
    void askWatcher();
    // The bus's announcement of every name that gets or loses its owner.
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void watcherGone();
    void checkXEmbed();
    void update();
    bool x11() const;

    void followHostNames();
    void takeHostPresence();

    TrayHosts hosts_;
    bool watcherSaysHost_ = false;
    QSet<QString> hostNames_;  // the StatusNotifierHost names on the bus now
    bool hostNamesSeen_ = false;
    std::optional<TrayKind> settled_;
    bool available_ = false;
    bool answered_ = false;
    bool mayTell_ = false;  // whether availability may be told: the watcher answered, or there is none
    QDBusServiceWatcher* watcher_ = nullptr;
    QTimer xembedPoll_;
    unsigned int selectionAtom_ = 0;  // _NET_SYSTEM_TRAY_S<n>, once interned
    int selectionNotifyEvent_ = -1;   // XFixes' SelectionNotify event code, when it announces
};

}  // namespace avrane
