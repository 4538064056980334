#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace avrane::testing {

// A scripted HTTP/1.1 server on 127.0.0.1: each path answers with the response set for it
// (404 when none), one request per connection.
class TestHttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        bool held = false;                 // unanswered until releaseHeld()
        qsizetype announcedLength = -1;    // announce more than the body, then hang up
    };

    TestHttpServer() {
        if (!server_.listen(QHostAddress::LocalHost, 0)) qFatal("the test server cannot listen");
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }
    void respond(const QString& path, Response response) { responses_.insert(path, std::move(response)); }
    int requests(const QString& path) const { return requests_.value(path); }
    void releaseHeld() {
        for (const auto& [socket, response] : std::exchange(held_, {})) {
            if (socket) answer(socket, response);
        }
    }

private:
    void read(QTcpSocket* socket) {
        QByteArray& request = partial_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        const QString path = QString::fromLatin1(request.split(' ').value(1));  // GET /path HTTP/1.1
        partial_.remove(socket);
        ++requests_[path];
        const Response response = responses_.value(path, Response{404, "not here"});
        if (response.held) {
            held_.append({socket, response});
        } else {
            answer(socket, response);
        }
    }

    static void answer(QTcpSocket* socket, const Response& r) {
        const qsizetype length = r.announcedLength >= 0 ? r.announcedLength : r.body.size();
        socket->write("HTTP/1.1 " + QByteArray::number(r.status) + " Scripted\r\nContent-Length: " +
                      QByteArray::number(length) + "\r\nConnection: close\r\n\r\n" + r.body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QString, Response> responses_;
    QHash<QString, int> requests_;
    QHash<QTcpSocket*, QByteArray> partial_;
    QList<QPair<QPointer<QTcpSocket>, Response>> held_;
};

}  // namespace avrane::testing
