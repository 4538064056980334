#include "TestHttpServer.h"

#include <QHostAddress>

namespace avrane::testing {

TestHttpServer::TestHttpServer() {
    if (!server_.listen(QHostAddress::LocalHost, 0)) qFatal("the test server cannot listen");
    connect(&server_, &QTcpServer::newConnection, this, &TestHttpServer::accept);
}

QUrl TestHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void TestHttpServer::respond(const QString& path, Response response) {
    responses_.insert(path, std::move(response));
}

void TestHttpServer::releaseHeld() {
    const auto held = std::exchange(held_, {});
    for (const auto& [socket, response] : held) {
        if (socket) answer(socket, response);
    }
}

void TestHttpServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestHttpServer::read(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    if (!buffer.contains("\r\n\r\n")) return;
    // "GET /path HTTP/1.1"
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    pending_.remove(socket);
    const QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
    ++requests_[path];

    Response response = responses_.value(path, Response{404, "not here"});
    if (response.held) {
        held_.append({socket, response});
        return;
    }
    answer(socket, response);
}

void TestHttpServer::answer(QTcpSocket* socket, const Response& response) {
    const qsizetype length = response.announcedLength >= 0 ? response.announcedLength : response.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
    head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    head += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}

}  // namespace avrane::testing
