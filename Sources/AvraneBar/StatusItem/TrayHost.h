#pragma once

#include <QObject>
#include <QTimer>

class QDBusServiceWatcher;

namespace avrane {

// Whether the desktop has a system tray to show the item in, and the moment one appears.
//
// Qt decides once per process, at its first tray call, between a StatusNotifierItem (when a
// watcher with a registered host is on the session bus) and an XEmbed icon, and on Wayland a
// program whose first tray call came too early never shows an icon. So no tray call is made
// before a host is known to be there: a StatusNotifierWatcher with a registered host, found
// on the session bus and followed through its signals, or (under X11) an XEmbed tray,
// found by the owner of the _NET_SYSTEM_TRAY_S<n> selection and looked for every two seconds
// while there is none. At login the tray often comes up after the program.
class TrayHost : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds xembedPollInterval{2000};

    explicit TrayHost(QObject* parent = nullptr);

    // Known now; `appeared` follows once when it becomes true.
    bool isAvailable() const { return available_; }
    // Starts looking (at once, and then on every change).
    void start();

signals:
    void appeared();

private slots:
    // Also the receiver of the watcher's StatusNotifierHostRegistered signal, connected by name.
    void askWatcher();

private:
    void checkXEmbed();
    void found();

    bool available_ = false;
    QDBusServiceWatcher* watcher_ = nullptr;
    QTimer xembedPoll_;
};

}  // namespace avrane
