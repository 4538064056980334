#include "AvraneBar/Service/HeadsetService.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include <QDBusMessage>
#include <QPointer>
#include <QTimer>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneKit/Client/SettingTable.h"
#include "AvraneKit/Settings/WritableItems.h"

namespace avrane {
namespace {

using Failure = HeadsetController::Failure;

QString text(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QString settingNames() {
    QStringList names;
    for (const Setting& setting : settingTable()) names << text(setting.name);
    return names.join(QStringLiteral(", "));
}

QString itemText(uchar raw) { return QStringLiteral("0x%1").arg(raw, 2, 16, QLatin1Char('0')); }

const char* errorOf(Failure::Kind kind) {
    switch (kind) {
        case Failure::Kind::noReply: return "NoReply";
        case Failure::Kind::deadlinePassed: return "DeadlinePassed";
        case Failure::Kind::unconfirmed: return "Unconfirmed";
        case Failure::Kind::notConnected:
        case Failure::Kind::failed: break;
    }
    return "Failed";
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

std::optional<std::function<void()>> HeadsetService::admit() {
    const QString caller = message().service();
    int& mine = waitingByCaller_[caller];
    if (mine >= requestsPerCaller || waitingInAll_ >= requestsInAll) {
        const bool yours = mine >= requestsPerCaller;
        if (mine == 0) waitingByCaller_.erase(caller);
        refuse(HeadsetServiceAdaptor::errorName("Busy"),
               yours ? QStringLiteral("%1 requests of this program already wait for the headset; wait for their answers")
                           .arg(requestsPerCaller)
                     : QStringLiteral("%1 requests of other programs already wait for the headset; try again shortly")
                           .arg(requestsInAll));
        return std::nullopt;
    }
    ++mine;
    ++waitingInAll_;
    // The service outlives every answer: the application ends without tearing it down.
    return [self = QPointer(this), caller, given = std::make_shared<bool>(false)] {
        if (!self || std::exchange(*given, true)) return;
        --self->waitingInAll_;
        if (--self->waitingByCaller_[caller] <= 0) self->waitingByCaller_.erase(caller);
    };
}

QString HeadsetServiceAdaptor::errorName(const char* error) {
    return service::interfaceName + QStringLiteral(".Error.") + QLatin1String(error);
}

HeadsetServiceAdaptor::HeadsetServiceAdaptor(HeadsetService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

std::optional<DueTime> HeadsetServiceAdaptor::deadline(std::optional<qulonglong> stated) const {
    HeadsetController& controller = service_->controller();
    if (!stated) return controller.now() + HeadsetService::unstatedDeadline;
    // The application's controller runs on the monotonic clock, which every process of the
    // machine shares (the session bus is local).
    const DueTime at{std::chrono::duration_cast<SteadyClock::duration>(std::chrono::microseconds(*stated))};
    if (at <= controller.now()) {
        service_->refuse(errorName("DeadlinePassed"), QStringLiteral("the request's deadline had passed when it arrived"));
        return std::nullopt;
    }
    return at;
}

HeadsetServiceAdaptor::Answer HeadsetServiceAdaptor::laterReply(std::function<void()> release) {
    service_->answerLater();
    return [request = service_->call(), bus = service_->callBus(), release = std::move(release),
            answered = std::make_shared<bool>(false)](const std::optional<Failure>& failure, const QVariantList& results) {
        if (std::exchange(*answered, true)) return;
        release();
        if (failure) {
            bus.send(request.createErrorReply(errorName(errorOf(failure->kind)), text(failure->description)));
            return;
        }
        bus.send(request.createReply(results));
    };
}

void HeadsetServiceAdaptor::Set(const QString& name, const QString& value) { set(name, value, std::nullopt); }

void HeadsetServiceAdaptor::SetBefore(const QString& name, const QString& value, qulonglong deadline) {
    set(name, value, deadline);
}

void HeadsetServiceAdaptor::set(const QString& name, const QString& value, std::optional<qulonglong> stated) {
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
    const std::optional<DueTime> until = deadline(stated);
    if (!until) return;
    auto release = service_->admit();
    if (!release) return;
    const Answer reply = laterReply(std::move(*release));
    service_->controller().applyForCaller({setting->item}, std::move(*write), *until,
                                          [reply](const std::optional<Failure>& failure) { reply(failure, {}); },
                                          succeedBy(*until, reply));
}

std::function<void()> HeadsetServiceAdaptor::succeedBy(DueTime until, const Answer& reply) const {
    return [service = QPointer(service_), until, reply] {
        if (!service) return;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - service->controller().now());
        QTimer::singleShot(std::max(left, std::chrono::milliseconds::zero()), service,
                           [reply] { reply(std::nullopt, {}); });
    };
}

void HeadsetServiceAdaptor::Refresh() { service_->controller().refreshForCaller(); }

void HeadsetServiceAdaptor::ShowPanel() { service_->showPanel(); }

void HeadsetServiceAdaptor::RawGet(uchar item, QByteArray&) { rawGet(item, std::nullopt); }

void HeadsetServiceAdaptor::RawGetBefore(uchar item, qulonglong deadline, QByteArray&) { rawGet(item, deadline); }

void HeadsetServiceAdaptor::rawGet(uchar raw, std::optional<qulonglong> stated) {
    const std::optional<EventID> item = fromRaw<EventID>(raw);
    if (!item) {
        service_->refuse(errorName("InvalidValue"), QStringLiteral("%1 is not an item the headset knows").arg(itemText(raw)));
        return;
    }
    const std::optional<DueTime> until = deadline(stated);
    if (!until) return;
    auto release = service_->admit();
    if (!release) return;
    const Answer reply = laterReply(std::move(*release));
    auto payload = std::make_shared<Bytes>();
    service_->controller().performForCaller(
        [item = *item, payload](HeadsetClient& client) { *payload = client.rawParam(item); }, *until,
        [reply, payload](const std::optional<Failure>& failure) {
            const QByteArray bytes(reinterpret_cast<const char*>(payload->data()), qsizetype(payload->size()));
            reply(failure, {QVariant(bytes)});
        });
}

void HeadsetServiceAdaptor::RawSet(uchar item, const QByteArray& payload) { rawSet(item, payload, std::nullopt); }

void HeadsetServiceAdaptor::RawSetBefore(uchar item, const QByteArray& payload, qulonglong deadline) {
    rawSet(item, payload, deadline);
}

void HeadsetServiceAdaptor::rawSet(uchar raw, const QByteArray& payload, std::optional<qulonglong> stated) {
    const std::optional<EventID> item = fromRaw<EventID>(raw);
    if (!item) {
        service_->refuse(errorName("InvalidValue"), QStringLiteral("%1 is not an item the headset knows").arg(itemText(raw)));
        return;
    }
    Bytes bytes(payload.begin(), payload.end());
    if (const auto refusal = rawWriteRefusal(*item, bytes)) {
        service_->refuse(errorName("InvalidValue"), text(*refusal));
        return;
    }
    const std::optional<DueTime> until = deadline(stated);
    if (!until) return;
    auto release = service_->admit();
    if (!release) return;
    const Answer reply = laterReply(std::move(*release));
    // As a write of the panel: its echo is its own, and the properties follow it.
    service_->controller().applyForCaller(
        {*item}, [item = *item, bytes = std::move(bytes)](HeadsetClient& client) { client.setRawParam(item, bytes); },
        *until, [reply](const std::optional<Failure>& failure) { reply(failure, {}); }, succeedBy(*until, reply));
}

}  // namespace avrane
