#include "Soak/ServiceMirror.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusReply>

#include "AvraneKit/Client/ApplicationService.h"

namespace avrane::soak {
namespace {

using namespace avrane::applicationService;

// A plain value, or a (known, value) pair whose value counts only when known.
std::optional<std::string> text(const QVariant& value) {
    if (value.canConvert<QDBusArgument>() && value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        const QString signature = argument.currentSignature();
        argument.beginStructure();
        bool known = false;
        argument >> known;
        std::optional<std::string> result;
        if (signature == QLatin1String("(bs)")) {
            QString s;
            argument >> s;
            result = s.toStdString();
        } else if (signature == QLatin1String("(by)")) {
            uchar byte = 0;
            argument >> byte;
            result = std::to_string(byte);
        } else if (signature == QLatin1String("(bb)")) {
            bool flag = false;
            argument >> flag;
            result = flag ? "true" : "false";
        }
        argument.endStructure();
        if (!known) return std::nullopt;
        return result;
    }
    if (value.typeId() == QMetaType::Bool) return value.toBool() ? "true" : "false";
    return value.toString().toStdString();
}

}  // namespace

ServiceMirror::ServiceMirror(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
    bus_.connect(QLatin1String(busName), QLatin1String(objectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("PropertiesChanged"), this, SLOT(changed(QString, QVariantMap, QStringList)));
}

Properties ServiceMirror::textOf(const QVariantMap& values) {
    Properties result;
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (const auto value = text(it.value())) result[it.key().toStdString()] = *value;
    }
    return result;
}

bool ServiceMirror::readAll() {
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(busName), QLatin1String(objectPath),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << QString::fromLatin1(interfaceName);
    const QDBusReply<QVariantMap> reply = bus_.call(call, QDBus::Block, 5000);
    if (!reply.isValid()) return false;
    properties_ = textOf(reply.value());
    if (onChange) onChange();
    return true;
}

void ServiceMirror::changed(const QString& interface, const QVariantMap& values, const QStringList&) {
    if (interface != QLatin1String(interfaceName)) return;
    ++signals_;
    // A value that became unknown is sent as (false, ""): gone from the mirror.
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (const auto value = text(it.value())) properties_[it.key().toStdString()] = *value;
        else properties_.erase(it.key().toStdString());
    }
    if (onChange) onChange();
}

}  // namespace avrane::soak
