#pragma once

#include <chrono>
#include <functional>

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "Soak/PublishedState.h"

namespace avrane::soak {

// What the application publishes on the session bus, kept as it changes: one GetAll, then
// every PropertiesChanged applied to it, as a client following the service would.
class ServiceMirror : public QObject {
    Q_OBJECT

public:
    explicit ServiceMirror(QDBusConnection bus, QObject* parent = nullptr);

    // Reads every property; false when the service did not answer.
    bool readAll();
    const Properties& properties() const { return properties_; }
    int changeSignals() const { return signals_; }
    // Called after every change applied.
    std::function<void()> onChange;

    // The values of a property map as the service sends them, as text.
    static Properties textOf(const QVariantMap& values);

private slots:
    void changed(const QString& interface, const QVariantMap& values, const QStringList& invalidated);

private:
    QDBusConnection bus_;
    Properties properties_;
    int signals_ = 0;
};

}  // namespace avrane::soak
