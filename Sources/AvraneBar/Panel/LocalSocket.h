#pragma once

#include <chrono>
#include <optional>

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace avrane {

// A client of a Unix stream socket, read on the event loop. The compositor's IPC socket is
// the one use, and QLocalSocket would bring Qt Network, with its libraries, into a process
// that otherwise never needs it.
class LocalSocket : public QObject {
    Q_OBJECT

public:
    explicit LocalSocket(QObject* parent = nullptr);
    ~LocalSocket() override;

    // Connects at once (a local socket accepts or refuses without waiting); false when it
    // cannot. Incoming bytes are announced through `readable` from then on.
    bool connectTo(const QString& path);
    bool isConnected() const { return fd_ >= 0; }
    // Writes everything (the messages are small and the peer reads them at once); false and
    // closed when the peer is gone.
    bool write(const QByteArray& bytes);
    // What has arrived, without waiting.
    QByteArray readAll();
    // Waits up to `timeout` for bytes; false when none came or the peer is gone.
    bool waitForReadable(std::chrono::milliseconds timeout);
    void close();

signals:
    void readable();

private:
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace avrane
