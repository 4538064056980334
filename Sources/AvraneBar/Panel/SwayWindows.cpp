#include "AvraneBar/Panel/SwayWindows.h"

#include <QCoreApplication>

namespace avrane {

QString SwayWindows::socketPath() { return qEnvironmentVariable("SWAYSOCK"); }

SwayWindows::SwayWindows(const QString& socket, Place place, QObject* parent)
    : QObject(parent), socket_(socket), place_(std::move(place)), events_(new LocalSocket(this)),
      commands_(new LocalSocket(this)) {
    connect(events_, &LocalSocket::readable, this, &SwayWindows::eventsReadable);
    connect(commands_, &LocalSocket::readable, this, &SwayWindows::repliesReadable);
    if (events_->connectTo(socket)) events_->write(sway::encode(sway::MessageType::subscribe, R"(["window"])"));
    commands_->connectTo(socket);
}

std::optional<sway::Areas> SwayWindows::areasNow() const {
    constexpr std::chrono::milliseconds deadline{300};
    LocalSocket socket;
    if (!socket.connectTo(socket_)) return std::nullopt;
    socket.write(sway::encode(sway::MessageType::getOutputs, {}) + sway::encode(sway::MessageType::getWorkspaces, {}));
    sway::MessageReader reader;
    std::optional<sway::Message> outputs, workspaces;
    while (!workspaces) {
        if (!socket.waitForReadable(deadline)) return std::nullopt;
        reader.feed(socket.readAll());
        while (const auto reply = reader.next()) (outputs ? workspaces : outputs) = reply;
        if (reader.failed()) return std::nullopt;
    }
    return sway::focusedAreas(outputs->payload, workspaces->payload);
}

void SwayWindows::ask(sway::MessageType type, const QByteArray& payload) {
    if (!commands_->isConnected()) return;
    awaited_.push_back(type);
    commands_->write(sway::encode(type, payload));
}

void SwayWindows::eventsReadable() {
    eventReader_.feed(events_->readAll());
    while (const auto message = eventReader_.next()) {
        if (message->type != std::uint32_t(sway::MessageType::windowEvent)) continue;
        if (const auto window = sway::newWindowOf(message->payload, QCoreApplication::applicationPid())) {
            // Sway puts a new window on the focused workspace.
            pending_ = *window;
            ask(sway::MessageType::getOutputs);
            ask(sway::MessageType::getWorkspaces);
        }
    }
    if (eventReader_.failed()) events_->close();
}

void SwayWindows::repliesReadable() {
    replyReader_.feed(commands_->readAll());
    while (const auto reply = replyReader_.next()) {
        if (awaited_.empty()) continue;
        const sway::MessageType type = awaited_.front();
        awaited_.pop_front();
        if (type == sway::MessageType::getOutputs) outputs_ = reply->payload;
        if (type != sway::MessageType::getWorkspaces || !pending_) continue;
        const std::int64_t window = *std::exchange(pending_, std::nullopt);
        const auto areas = sway::focusedAreas(outputs_, reply->payload);
        if (!areas) continue;
        if (const auto topLeft = place_(*areas)) ask(sway::MessageType::runCommand, sway::placeCommand(window, *topLeft));
    }
    if (replyReader_.failed()) commands_->close();
}

}  // namespace avrane
