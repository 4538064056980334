#pragma once

#include <functional>

#include <QObject>
#include <QString>

namespace avrane {

// In-process announcements by name ("avrane.localization.didChange", ...), carrying no
// object. Observers are tied to a context object: they stop with it, and they run on its
// thread (at once when the post comes from that thread, queued otherwise).
class NotificationCenter : public QObject {
    Q_OBJECT

public:
    static NotificationCenter& defaultCenter();

    // Runs `handler` for every later post of `name`; disconnect the returned connection, or
    // destroy `context`, to stop.
    QMetaObject::Connection observe(const QString& name, const QObject* context,
                                    std::function<void()> handler);

    void post(const QString& name);

signals:
    void posted(const QString& name);
};

}  // namespace avrane
