#include "AvraneBar/Panel/LocalSocket.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace avrane {

LocalSocket::LocalSocket(QObject* parent) : QObject(parent) {}

LocalSocket::~LocalSocket() { close(); }

bool LocalSocket::connectTo(const QString& path) {
    close();
    const QByteArray name = path.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || std::size_t(name.size()) >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LocalSocket::readable);
    return true;
}

bool LocalSocket::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.constData() + done, std::size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close();
            return false;
        }
        done += n;
    }
    return fd_ >= 0;
}

QByteArray LocalSocket::readAll() {
    QByteArray bytes;
    char buffer[4096];
    while (fd_ >= 0) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // Nothing more for now; or the peer closed (0) or failed, which ends the connection
        // once what came before has been handed out.
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) close();
        break;
    }
    return bytes;
}

bool LocalSocket::waitForReadable(std::chrono::milliseconds timeout) {
    if (fd_ < 0) return false;
    pollfd wanted{fd_, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&wanted, 1, int(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void LocalSocket::close() {
    delete notifier_;
    notifier_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace avrane
