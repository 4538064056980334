#include "AvraneBar/App/DisplayCheck.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <QDir>
#include <QFile>

namespace avrane::display {
namespace {

// Qt takes "--option" for "-option", and the last of several.
std::optional<QString> lastOptionValue(const QStringList& arguments, QLatin1String option) {
    std::optional<QString> value;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        QString argument = arguments[i];
        if (argument.startsWith(QLatin1String("--"))) argument.remove(0, 1);
        if (argument == option) value = arguments[++i];
    }
    return value;
}

QString text(const std::optional<QByteArray>& value) { return value ? QString::fromLocal8Bit(*value) : QString(); }

QString x11Reason(int error) {
    switch (error) {
    case XCB_CONN_CLOSED_PARSE_ERR: return QStringLiteral("not a display name");
    case XCB_CONN_CLOSED_INVALID_SCREEN: return QStringLiteral("no such screen");
    default: return {};
    }
}

}  // namespace

Request Request::current(int argc, char** argv) {
    Request request;
    request.environment = [](const char* name) -> std::optional<QByteArray> {
        if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
        return qgetenv(name);
    };
    for (int i = 0; i < argc; ++i) request.arguments << QString::fromLocal8Bit(argv[i]);
    return request;
}

QStringList platformsToTry(const Request& request) {
    QString list;
    if (const auto option = lastOptionValue(request.arguments, QLatin1String("-platform"))) {
        list = *option;
    } else if (const auto variable = request.environment("QT_QPA_PLATFORM"); variable && !variable->isEmpty()) {
        list = text(variable);
    } else {
        QStringList order;
        if (request.environment("WAYLAND_DISPLAY") || request.environment("XDG_SESSION_TYPE") == "wayland") {
            order << QStringLiteral("wayland");
        }
        order << QStringLiteral("xcb");  // for a set DISPLAY, and Qt's built-in default
        list = order.join(u';');
    }
    QStringList platforms;
    for (const QString& entry : list.split(u';', Qt::SkipEmptyParts)) platforms << entry.section(u':', 0, 0);
    return platforms;
}

Target targetOf(const QString& platform, const Request& request) {
    Target target;
    if (platform == QLatin1String("xcb")) {
        target.kind = Target::Kind::x11;
        if (const auto option = lastOptionValue(request.arguments, QLatin1String("-display"))) {
            target.name = *option;
            target.source = QStringLiteral("-display");
        } else {
            target.name = text(request.environment("DISPLAY"));
            target.source = QStringLiteral("DISPLAY");
        }
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        target.kind = Target::Kind::wayland;
        target.source = QStringLiteral("WAYLAND_DISPLAY");
        // A socket handed over by the compositor cannot be checked; it is taken as reachable.
        if (request.environment("WAYLAND_SOCKET")) return target;
        const auto named = request.environment("WAYLAND_DISPLAY");
        target.name = text(named);
        if (target.name.isEmpty()) {
            // libwayland's own default.
            target.name = QStringLiteral("wayland-0");
            target.source = QStringLiteral("WAYLAND_DISPLAY not set");
        }
        const QString runtime = text(request.environment("XDG_RUNTIME_DIR"));
        if (target.name.startsWith(u'/')) {
            target.location = target.name;
        } else if (!runtime.isEmpty()) {
            target.location = QDir(runtime).filePath(target.name);
        }
    }
    return target;
}

void Prober::letGo() {
    if (held_) xcb_disconnect(held_);
    held_ = nullptr;
}

std::optional<QString> Prober::reach(const Target& target) {
    switch (target.kind) {
    case Target::Kind::none: return std::nullopt;
    case Target::Kind::x11: {
        if (target.name.isEmpty()) return QStringLiteral("no X display is named");
        const QByteArray name = target.name.toLocal8Bit();
        xcb_connection_t* connection = xcb_connect(name.constData(), nullptr);
        const int error = xcb_connection_has_error(connection);
        if (error == 0) {
            letGo();
            held_ = connection;
            return std::nullopt;
        }
        xcb_disconnect(connection);
        return x11Reason(error);
    }
    case Target::Kind::wayland: {
        if (target.name.isEmpty()) return std::nullopt;  // a socket handed over
        if (target.location.isEmpty()) return QStringLiteral("XDG_RUNTIME_DIR is not set");
        const QByteArray path = QFile::encodeName(target.location);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (std::size_t(path.size()) >= sizeof(address.sun_path)) return QStringLiteral("its path is too long");
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (socket < 0) return QString::fromLocal8Bit(std::strerror(errno));
        const int result = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        const int error = errno;
        ::close(socket);
        if (result == 0) return std::nullopt;
        return QString::fromLocal8Bit(std::strerror(error));
    }
    }
    return std::nullopt;
}

std::optional<QString> unreachableDisplay(const Request& request, const Probe& probe) {
    QStringList failures;
    const QStringList platforms = platformsToTry(request);
    if (platforms.isEmpty()) return std::nullopt;  // Qt's own message then
    for (const QString& platform : platforms) {
        const Target target = targetOf(platform, request);
        const auto failure = probe(target);
        if (!failure) return std::nullopt;
        QString line;
        if (target.kind == Target::Kind::x11) {
            line = target.name.isEmpty() ? QStringLiteral("no X display is named in %1").arg(target.source)
                                         : QStringLiteral("cannot open the display %1 (%2)").arg(target.name, target.source);
        } else {
            line = QStringLiteral("cannot connect to the Wayland display %1 (%2)").arg(target.name, target.source);
        }
        // The reason, where it adds to what the line says.
        if (!failure->isEmpty() && !failure->startsWith(QLatin1String("no X display"))) line += QStringLiteral(": ") + *failure;
        failures << line;
    }
    return failures.join(QStringLiteral("; "));
}

}  // namespace avrane::display
