#include "AvraneBar/Service/HeadsetService.h"

#include <memory>

#include <QDBusMessage>
#include <QPointer>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneKit/Client/SettingTable.h"

namespace avrane {
namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QString settingNames() {
    QStringList names;
    for (const Setting& setting : settingTable()) names << text(setting.name);
    return names.join(QStringLiteral(", "));
}

}  // namespace

HeadsetService::HeadsetService(HeadsetController& controller, QObject* parent)
    : QObject(parent), controller_(controller) {
    service::registerTypes();
    new HeadsetServiceAdaptor(this);
    properties_ = service::properties(controller_.snapshot());
}

void HeadsetService::servedOn(const QDBusConnection& bus) { bus_ = bus; }

void HeadsetService::publish(const HeadsetSnapshot& snapshot) {
    QVariantMap next = service::properties(snapshot);
    const QVariantMap changed = service::changed(properties_, next);
    properties_ = std::move(next);
    if (changed.isEmpty() || !bus_) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(applicationService::objectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << service::interfaceName << changed << QStringList();
    bus_->send(signal);
}

QString HeadsetServiceAdaptor::errorName(const char* error) {
    return service::interfaceName + QStringLiteral(".Error.") + QLatin1String(error);
}

HeadsetServiceAdaptor::HeadsetServiceAdaptor(HeadsetService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

std::function<void(const std::optional<std::string>&, const QVariantList&)> HeadsetServiceAdaptor::laterReply(
    std::shared_ptr<const Unanswered> unanswered) {
    service_->answerLater();
    return [request = service_->call(), bus = service_->callBus(), self = QPointer(this),
            unanswered = std::move(unanswered)](const std::optional<std::string>& failure, const QVariantList& results) {
        if (failure) {
            const QString why = self ? self->failureText(*failure) : text(*failure);
            // A headset that did not answer is said so apart: a caller may try another way.
            const bool silent = unanswered && unanswered->happened;
            bus.send(request.createErrorReply(errorName(silent ? "NoReply" : "Failed"), why));
            return;
        }
        bus.send(request.createReply(results));
    };
}

HeadsetController::WriteOperation HeadsetServiceAdaptor::noticing(HeadsetController::WriteOperation operation,
                                                                  const std::shared_ptr<Unanswered>& unanswered) {
    return [operation = std::move(operation), unanswered](HeadsetClient& client) {
        try {
            operation(client);
        } catch (const HeadsetClient::Failure& failure) {
            unanswered->happened = failure.kind() == HeadsetClient::Failure::Kind::timeout;
            throw;
        }
    };
}

QString HeadsetServiceAdaptor::failureText(const std::string& failure) const {
    // Nothing was tried: the controller waits to try the dongle again. Its reason says more.
    if (failure == HeadsetController::backingOff) {
        const QString reason = value<QString>("AvailabilityText");
        return QStringLiteral("no dongle to write to") + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
    }
    return text(failure);
}

void HeadsetServiceAdaptor::Set(const QString& name, const QString& value) {
    const Setting* setting = findSetting(name.toStdString());
    if (!setting) {
        service_->refuse(errorName("UnknownSetting"),
                       QStringLiteral("unknown setting '%1'; the settings are %2").arg(name, settingNames()));
        return;
    }
    if (!setting->parse) {
        service_->refuse(errorName("ReadOnly"), QStringLiteral("%1 can only be read").arg(name));
        return;
    }
    std::optional<SettingWrite> write = setting->parse(value.toStdString());
    if (!write) {
        service_->refuse(errorName("InvalidValue"),
                       QStringLiteral("%1 takes %2, not '%3'").arg(name, text(setting->accepted), value));
        return;
    }
    auto unanswered = std::make_shared<Unanswered>();
    const auto reply = laterReply(unanswered);
    service_->controller().apply({setting->item}, noticing(std::move(*write), unanswered),
                                 [reply](const std::optional<std::string>& failure) { reply(failure, {}); });
}

void HeadsetServiceAdaptor::Refresh() { service_->controller().refresh(); }

void HeadsetServiceAdaptor::ShowPanel() { service_->showPanel(); }

void HeadsetServiceAdaptor::RawGet(uchar raw, QByteArray&) {
    const std::optional<EventID> item = fromRaw<EventID>(raw);
    if (!item) {
        service_->refuse(errorName("InvalidValue"), QStringLiteral("0x%1 is not an item the headset knows").arg(raw, 2, 16, QLatin1Char('0')));
        return;
    }
    auto unanswered = std::make_shared<Unanswered>();
    const auto reply = laterReply(unanswered);
    auto payload = std::make_shared<Bytes>();
    service_->controller().perform(noticing([item = *item, payload](HeadsetClient& client) { *payload = client.rawParam(item); },
                                            unanswered),
                                   [reply, payload](const std::optional<std::string>& failure) {
                                       const QByteArray bytes(reinterpret_cast<const char*>(payload->data()), qsizetype(payload->size()));
                                       reply(failure, {QVariant(bytes)});
                                   });
}

void HeadsetServiceAdaptor::RawSet(uchar raw, const QByteArray& payload) {
    const std::optional<EventID> item = fromRaw<EventID>(raw);
    if (!item) {
        service_->refuse(errorName("InvalidValue"), QStringLiteral("0x%1 is not an item the headset knows").arg(raw, 2, 16, QLatin1Char('0')));
        return;
    }
    const std::size_t longest = Packet::maximumParamLength(PacketType::command);
    if (std::size_t(payload.size()) > longest) {
        service_->refuse(errorName("InvalidValue"),
                       QStringLiteral("a payload of %1 bytes does not fit a frame (at most %2)").arg(payload.size()).arg(longest));
        return;
    }
    auto unanswered = std::make_shared<Unanswered>();
    const auto reply = laterReply(unanswered);
    Bytes bytes(payload.begin(), payload.end());
    service_->controller().perform(
        noticing([item = *item, bytes = std::move(bytes)](HeadsetClient& client) { client.exchange(item, EventType::set, bytes); },
                 unanswered),
        [reply](const std::optional<std::string>& failure) { reply(failure, {}); });
}

}  // namespace avrane
