#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include <QByteArray>
#include <QPoint>
#include <QRect>

namespace avrane {

// sway tiles a new window over the workspace (it floats only one of fixed size) and ignores
// the place a program asks for, but it takes commands over its IPC socket, named in SWAYSOCK.
// Its protocol is i3's: the magic "i3-ipc", the payload's length and the message type as 32-bit
// numbers in the machine's order, then the JSON payload; events have the type's top bit set.
namespace sway {

enum class MessageType : std::uint32_t {
    runCommand = 0,
    getWorkspaces = 1,
    subscribe = 2,
    getOutputs = 3,
    windowEvent = 0x80000003,
};

struct Message {
    std::uint32_t type = 0;
    QByteArray payload;

    bool operator==(const Message&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Message& m) {
    return out << "type 0x" << std::hex << m.type << std::dec << ' ' << m.payload.toStdString();
}

QByteArray encode(MessageType type, const QByteArray& payload);

// Fed the bytes read from the socket, hands out whole messages in order. A header without the
// magic, or announcing more than any reply sway sends, poisons it: the connection is useless.
class MessageReader {
public:
    static constexpr std::uint32_t maximumPayload = 16u << 20;

    void feed(const QByteArray& bytes) { buffer_ += bytes; }
    std::optional<Message> next();
    bool failed() const { return failed_; }

private:
    QByteArray buffer_;
    bool failed_ = false;
};

// The output holding the focused workspace, and the part of it the bars leave to windows (the
// workspace's rectangle), in sway's layout coordinates: from the replies to getOutputs and
// getWorkspaces.
struct Areas {
    QRect screen, visible;
};
std::optional<Areas> focusedAreas(const QByteArray& outputs, const QByteArray& workspaces);

// The container id of a window of process `pid` that a window event announces as new.
std::optional<std::int64_t> newWindowOf(const QByteArray& event, std::int64_t pid);

// The command that floats a window without sway's title bar and border, its top left corner at
// `topLeft` in layout coordinates.
QByteArray placeCommand(std::int64_t container, QPoint topLeft);

}  // namespace sway
}  // namespace avrane
