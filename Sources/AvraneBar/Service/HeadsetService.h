#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneBar/Service/ServiceValues.h"

namespace avrane {

// The application's headset on the session bus, for avranectl, scripts and status bars: the
// application owns the dongle's line, and everything else goes through it. The object is
// registered by whoever holds the application's name (SingleInstance); this class keeps its
// properties and sends PropertiesChanged. io.github.avranebar.AvraneBar.xml describes it.
//
// Other programs are held to bounds: each may have a few requests waiting, and all of them
// together a few more; the excess is refused with Busy at once.
class HeadsetService : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    // Requests of one caller (one bus connection) waiting for the headset at a time.
    static constexpr int requestsPerCaller = 8;
    // Requests of all callers together.
    static constexpr int requestsInAll = 32;
    // A caller that gives no deadline is taken to wait as long as D-Bus libraries wait by
    // default (25 s); its request must have gone out well before, so that the answer, the
    // headset's reply to the last frame included, reaches it in time.
    static constexpr std::chrono::seconds unstatedDeadline{20};

    explicit HeadsetService(HeadsetController& controller, QObject* parent = nullptr);

    // What ShowPanel does.
    void setShowPanel(std::function<void()> show) { showPanel_ = std::move(show); }
    // The bus it is served on: PropertiesChanged goes out there from now on.
    void servedOn(const QDBusConnection& bus);
    // Every snapshot the application shows: the properties follow it, and the ones that
    // changed are announced, in one signal.
    void publish(const HeadsetSnapshot& snapshot);
    const QVariantMap& properties() const { return properties_; }

    HeadsetController& controller() const { return controller_; }

    // The call being answered, for the adaptor: Qt keeps a call's context on the object that
    // holds the adaptor.
    QDBusMessage call() const { return message(); }
    QDBusConnection callBus() const { return connection(); }
    void answerLater() const { setDelayedReply(true); }
    void refuse(const QString& error, const QString& text) const { sendErrorReply(error, text); }
    void showPanel() const {
        if (showPanel_) showPanel_();
    }

    // Takes a place for a request of the call in progress, or refuses the call with Busy
    // (false). A place taken is given back by the returned function, once.
    std::optional<std::function<void()>> admit();
    int waiting() const { return waitingInAll_; }

private:
    HeadsetController& controller_;
    std::function<void()> showPanel_;
    QVariantMap properties_;
    std::optional<QDBusConnection> bus_;
    std::map<QString, int> waitingByCaller_;
    int waitingInAll_ = 0;
};

// The interface itself, through Qt's adaptor machinery: properties read from the service,
// methods answered once the headset's controller has done the work.
class HeadsetServiceAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    // moc takes a literal only: applicationService::interfaceName, which a test holds it to.
    Q_CLASSINFO("D-Bus Interface", "io.github.avranebar.AvraneBar")
    Q_PROPERTY(QString Availability READ Availability)
    Q_PROPERTY(QString AvailabilityText READ AvailabilityText)
    Q_PROPERTY(bool AccessDenied READ AccessDenied)
    Q_PROPERTY(avrane::MaybeText DongleName READ DongleName)
    Q_PROPERTY(avrane::MaybeText DevicePath READ DevicePath)
    Q_PROPERTY(avrane::MaybeText SerialNumber READ SerialNumber)
    Q_PROPERTY(avrane::MaybeText Model READ Model)
    Q_PROPERTY(avrane::MaybeText HeadsetFirmware READ HeadsetFirmware)
    Q_PROPERTY(avrane::MaybeText DongleFirmware READ DongleFirmware)
    Q_PROPERTY(avrane::MaybeByte BatteryPercent READ BatteryPercent)
    Q_PROPERTY(avrane::MaybeFlag BatteryCharging READ BatteryCharging)
    Q_PROPERTY(avrane::MaybeText Volume READ Volume)
    Q_PROPERTY(avrane::MaybeText Balance READ Balance)
    Q_PROPERTY(avrane::MaybeText Sidetone READ Sidetone)
    Q_PROPERTY(avrane::MaybeText Anc READ Anc)
    Q_PROPERTY(avrane::MaybeText AmbientLevel READ AmbientLevel)
    Q_PROPERTY(avrane::MaybeText VoiceFocus READ VoiceFocus)
    Q_PROPERTY(avrane::MaybeText AutoPowerOff READ AutoPowerOff)
    Q_PROPERTY(avrane::MaybeText Led READ Led)
    Q_PROPERTY(avrane::MaybeText BtSound READ BtSound)
    Q_PROPERTY(avrane::MaybeText BtStartup READ BtStartup)
    Q_PROPERTY(avrane::MaybeText NcStartup READ NcStartup)
    Q_PROPERTY(avrane::MaybeText Mic READ Mic)
    Q_PROPERTY(avrane::MaybeText HeadsetBluetoothPower READ HeadsetBluetoothPower)
    Q_PROPERTY(avrane::MaybeText HeadsetBluetoothLink READ HeadsetBluetoothLink)
    Q_PROPERTY(bool ComputerBluetoothPaired READ ComputerBluetoothPaired)
    Q_PROPERTY(bool ComputerBluetoothConnected READ ComputerBluetoothConnected)
    Q_PROPERTY(avrane::MaybeText ComputerBluetoothName READ ComputerBluetoothName)

public:
    // The name of each error the methods answer with.
    static QString errorName(const char* error);

    explicit HeadsetServiceAdaptor(HeadsetService* service);

    QString Availability() const { return value<QString>("Availability"); }
    QString AvailabilityText() const { return value<QString>("AvailabilityText"); }
    bool AccessDenied() const { return value<bool>("AccessDenied"); }
    MaybeText DongleName() const { return value<MaybeText>("DongleName"); }
    MaybeText DevicePath() const { return value<MaybeText>("DevicePath"); }
    MaybeText SerialNumber() const { return value<MaybeText>("SerialNumber"); }
    MaybeText Model() const { return value<MaybeText>("Model"); }
    MaybeText HeadsetFirmware() const { return value<MaybeText>("HeadsetFirmware"); }
    MaybeText DongleFirmware() const { return value<MaybeText>("DongleFirmware"); }
    MaybeByte BatteryPercent() const { return value<MaybeByte>("BatteryPercent"); }
    MaybeFlag BatteryCharging() const { return value<MaybeFlag>("BatteryCharging"); }
    MaybeText Volume() const { return value<MaybeText>("Volume"); }
    MaybeText Balance() const { return value<MaybeText>("Balance"); }
    MaybeText Sidetone() const { return value<MaybeText>("Sidetone"); }
    MaybeText Anc() const { return value<MaybeText>("Anc"); }
    MaybeText AmbientLevel() const { return value<MaybeText>("AmbientLevel"); }
    MaybeText VoiceFocus() const { return value<MaybeText>("VoiceFocus"); }
    MaybeText AutoPowerOff() const { return value<MaybeText>("AutoPowerOff"); }
    MaybeText Led() const { return value<MaybeText>("Led"); }
    MaybeText BtSound() const { return value<MaybeText>("BtSound"); }
    MaybeText BtStartup() const { return value<MaybeText>("BtStartup"); }
    MaybeText NcStartup() const { return value<MaybeText>("NcStartup"); }
    MaybeText Mic() const { return value<MaybeText>("Mic"); }
    MaybeText HeadsetBluetoothPower() const { return value<MaybeText>("HeadsetBluetoothPower"); }
    MaybeText HeadsetBluetoothLink() const { return value<MaybeText>("HeadsetBluetoothLink"); }
    bool ComputerBluetoothPaired() const { return value<bool>("ComputerBluetoothPaired"); }
    bool ComputerBluetoothConnected() const { return value<bool>("ComputerBluetoothConnected"); }
    MaybeText ComputerBluetoothName() const { return value<MaybeText>("ComputerBluetoothName"); }

public slots:
    // The ...Before methods carry the caller's deadline: the machine's monotonic clock
    // (CLOCK_MONOTONIC) in microseconds. The others take it to be unstatedDeadline from now.
    void Set(const QString& setting, const QString& value);
    void SetBefore(const QString& setting, const QString& value, qulonglong deadline);
    void Refresh();
    void ShowPanel();
    // `payload` names the answer, which goes out later.
    void RawGet(uchar item, QByteArray& payload);
    void RawGetBefore(uchar item, qulonglong deadline, QByteArray& payload);
    void RawSet(uchar item, const QByteArray& payload);
    void RawSetBefore(uchar item, const QByteArray& payload, qulonglong deadline);

private:
    template <class T>
    T value(const char* name) const {
        return service_->properties().value(QLatin1String(name)).value<T>();
    }
    // The deadline of the call in progress on the controller's clock, or nothing (and the
    // call answered with DeadlinePassed) when it has passed already.
    std::optional<DueTime> deadline(std::optional<qulonglong> stated) const;
    // Answers the call in progress later, when the returned function first runs with the
    // outcome; `release` gives its place back then.
    using Answer = std::function<void(const std::optional<HeadsetController::Failure>&, const QVariantList&)>;
    Answer laterReply(std::function<void()> release);
    // For a write that went through: answers it as done at the caller's deadline at the
    // latest, when reading the headset's state after it takes longer.
    std::function<void()> succeedBy(DueTime until, const Answer& reply) const;
    void set(const QString& setting, const QString& value, std::optional<qulonglong> stated);
    void rawGet(uchar item, std::optional<qulonglong> stated);
    void rawSet(uchar item, const QByteArray& payload, std::optional<qulonglong> stated);

    HeadsetService* service_;
};

}  // namespace avrane
