#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariantMap>

#include <atomic>
#include <vector>

namespace avrane::testing {

// A dbus-daemon of our own, on a socket in a temporary directory, with a configuration that
// lets anyone own any name.
class PrivateBus {
public:
    // Starts the daemon; `address()` is empty when that failed.
    PrivateBus();
    ~PrivateBus();

    const QString& address() const { return address_; }

private:
    QTemporaryDir directory_;
    QProcess daemon_;
    QString address_;
};

// org.bluez's object tree as bluetoothd exports it, answering GetManagedObjects on "/".
class FakeBluez : public QDBusVirtualObject {
public:
    enum class Mode { answer, wrongSignature, silent };

    struct Object {
        QString path;
        QString interface;
        QVariantMap properties;
    };

    // Serves on its own connection to `address`, from the thread it is created on.
    explicit FakeBluez(const QString& address);
    ~FakeBluez() override;

    bool isServing() const { return serving_; }
    // Each object with one interface, listed in this order in the answer.
    void setObjects(std::vector<Object> objects) { objects_ = std::move(objects); }
    void setMode(Mode mode) { mode_ = mode; }
    // Gives up or takes back the name "org.bluez".
    void setNameOwned(bool owned);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QDBusConnection connection_;
    bool serving_ = false;
    std::vector<Object> objects_;
    std::atomic<Mode> mode_{Mode::answer};
};

}  // namespace avrane::testing
