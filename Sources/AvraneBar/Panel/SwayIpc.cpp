#include "AvraneBar/Panel/SwayIpc.h"

#include <cstring>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace avrane {
namespace sway {
namespace {

constexpr char magic[] = "i3-ipc";
constexpr qsizetype magicLength = sizeof magic - 1;
constexpr qsizetype headerLength = magicLength + 8;

std::uint32_t readNumber(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

QRect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return {r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(), r.value("height").toInt()};
}

}  // namespace

QByteArray encode(MessageType type, const QByteArray& payload) {
    QByteArray message(magic, magicLength);
    const std::uint32_t numbers[] = {std::uint32_t(payload.size()), std::uint32_t(type)};
    message.append(reinterpret_cast<const char*>(numbers), sizeof numbers);
    return message + payload;
}

std::optional<Message> MessageReader::next() {
    if (failed_ || buffer_.size() < headerLength) return std::nullopt;
    if (!buffer_.startsWith(QByteArrayView(magic, magicLength))) {
        failed_ = true;
        return std::nullopt;
    }
    const std::uint32_t length = readNumber(buffer_.constData() + magicLength);
    if (length > maximumPayload) {
        failed_ = true;
        return std::nullopt;
    }
    if (buffer_.size() - headerLength < qsizetype(length)) return std::nullopt;
    Message message{readNumber(buffer_.constData() + magicLength + 4), buffer_.mid(headerLength, length)};
    buffer_.remove(0, headerLength + length);
    return message;
}

std::optional<Areas> focusedAreas(const QByteArray& outputs, const QByteArray& workspaces) {
    for (const QJsonValue workspace : QJsonDocument::fromJson(workspaces).array()) {
        if (!workspace.toObject().value("focused").toBool()) continue;
        const QString output = workspace.toObject().value("output").toString();
        for (const QJsonValue candidate : QJsonDocument::fromJson(outputs).array()) {
            if (candidate.toObject().value("name").toString() != output) continue;
            const Areas areas{rectOf(candidate.toObject().value("rect")), rectOf(workspace.toObject().value("rect"))};
            if (areas.screen.isEmpty() || areas.visible.isEmpty()) return std::nullopt;
            return areas;
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> newWindowOf(const QByteArray& event, std::int64_t pid) {
    const QJsonObject object = QJsonDocument::fromJson(event).object();
    const QJsonObject container = object.value("container").toObject();
    if (object.value("change").toString() != QLatin1String("new") || container.value("pid").toInteger(-1) != pid)
        return std::nullopt;
    const qint64 id = container.value("id").toInteger(-1);
    if (id < 0) return std::nullopt;
    return id;
}

QByteArray placeCommand(std::int64_t container, QPoint topLeft) {
    return QStringLiteral("[con_id=%1] floating enable, border none, move absolute position %2 %3")
        .arg(container)
        .arg(topLeft.x())
        .arg(topLeft.y())
        .toUtf8();
}

}  // namespace sway
}  // namespace avrane
