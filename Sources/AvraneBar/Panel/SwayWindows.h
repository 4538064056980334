#pragma once

#include <deque>
#include <functional>
#include <optional>

#include <QObject>

#include "AvraneBar/Panel/LocalSocket.h"
#include "AvraneBar/Panel/SwayIpc.h"

namespace avrane {

// Places this program's windows on sway as they appear: `place` is asked, for each new one,
// where its top left corner goes on the focused output, or nothing to leave it to sway.
class SwayWindows : public QObject {
    Q_OBJECT

public:
    using Place = std::function<std::optional<QPoint>(const sway::Areas&)>;

    // The socket of the sway the program runs on, or empty.
    static QString socketPath();

    SwayWindows(const QString& socket, Place place, QObject* parent = nullptr);
    // The focused output's areas now, asked and waited for (sway answers at once; nothing
    // after a fraction of a second without an answer).
    std::optional<sway::Areas> areasNow() const;

private:
    void eventsReadable();
    void repliesReadable();
    void ask(sway::MessageType type, const QByteArray& payload = {});

    QString socket_;
    Place place_;
    LocalSocket* events_;
    LocalSocket* commands_;
    sway::MessageReader eventReader_, replyReader_;
    std::deque<sway::MessageType> awaited_;  // the replies still to come on commands_, in order
    std::optional<std::int64_t> pending_;    // the window waiting for the areas
    QByteArray outputs_;
};

}  // namespace avrane
