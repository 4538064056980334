#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace avrane::testing {

// A scripted HTTP/1.1 server on 127.0.0.1 for the update checker: each path answers with
// the response set for it (404 when none), one request per connection.
class TestHttpServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        // Keep the request waiting until releaseHeld(); never answered without it.
        bool held = false;
        // Announce this many bytes but send only the body and close the connection.
        qsizetype announcedLength = -1;
    };

    TestHttpServer();

    QUrl url(const QString& path) const;
    void respond(const QString& path, Response response);
    int requests(const QString& path) const { return requests_.value(path); }
    void releaseHeld();

private:
    void accept();
    void read(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Response& response);

    QTcpServer server_;
    QHash<QString, Response> responses_;
    QHash<QString, int> requests_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QList<QPair<QPointer<QTcpSocket>, Response>> held_;
};

}  // namespace avrane::testing
