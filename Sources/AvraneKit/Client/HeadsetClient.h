#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AvraneKit/Client/HeadsetState.h"
#include "AvraneKit/Client/Interrupted.h"
#include "AvraneKit/Discovery/DeviceDiscovery.h"
#include "AvraneKit/Discovery/DiscoveredDongle.h"
#include "AvraneKit/Protocol/FrameReassembler.h"
#include "AvraneKit/Protocol/Packet.h"
#include "AvraneKit/Serial/SerialPort.h"
#include "AvraneKit/Settings/AllFunctionSettings.h"
#include "AvraneKit/Settings/AmbientSetting.h"
#include "AvraneKit/Settings/BatteryInfo.h"
#include "AvraneKit/Settings/BluetoothStatus.h"
#include "AvraneKit/Settings/ByteSettings.h"
#include "AvraneKit/Settings/FirmwareVersion.h"
#include "AvraneKit/Settings/GameChatBalance.h"
#include "AvraneKit/Settings/ModelInfo.h"
#include "AvraneKit/Settings/NCToggleSetting.h"
#include "AvraneKit/Settings/Payload.h"
#include "AvraneKit/Settings/VolumeSettings.h"

namespace avrane {

// The transaction layer over the dongle's serial channel, one per connection. Each request
// goes out with a fresh transaction id; the client waits for the reply with that id and the
// same event id, passing notifications that arrive meanwhile to `onNotification`, and
// retries a bounded number of times.
//
// Every public operation may be called from any thread: one lock, held across a whole
// request (all its attempts) and across each pump, serialises them. `onNotification` runs
// on the calling thread with that lock held, so it must not call back into the client.
class HeadsetClient {
public:
    class Failure;
    using NotificationHandler = std::function<void(const Packet&)>;

    struct AllSettings {
        AllFunctionSettingsPart1 part1;
        AllFunctionSettingsPart2 part2;
        AllFunctionSettingsPart3 part3;

        bool operator==(const AllSettings&) const = default;
    };

    // Names a serial device to use instead of discovery.
    static constexpr std::string_view portOverrideVariable = "AVRANE_PORT";

    // Opens a client on the device named by AVRANE_PORT when it is set and not empty (model
    // `virtualPort`, line settings left alone), otherwise on the first dongle in PC mode that
    // discovery finds (line speed forced). Throws Failure::noDongleFound, listing dongles in
    // other modes, or the port's open/configure failure.
    static std::unique_ptr<HeadsetClient> connect(const DeviceDiscovery::Roots& roots = {});
    // The same with the override given rather than read from the environment; empty means
    // none.
    static std::unique_ptr<HeadsetClient> connect(std::string_view portOverride,
                                                  const DeviceDiscovery::Roots& roots);

    // A discovered dongle: the port forces the line speed and raises DTR/RTS.
    explicit HeadsetClient(DiscoveredDongle dongle);
    // A device named from outside: model `virtualPort`, line settings left alone.
    explicit HeadsetClient(std::string portPath);
    // A dongle on a port made by the caller, for example one that leaves the line settings
    // alone because the device is a pseudo-terminal.
    HeadsetClient(DiscoveredDongle dongle, std::unique_ptr<SerialPort> port);

    // Carries one request to the headset by another way than a port of our own (the running
    // application, which holds the dongle's line) and returns the reply's payload. Throws
    // Failure::timeout when the headset did not answer, anything else otherwise.
    using Relay = std::function<Bytes(EventID eventID, EventType eventType, const Bytes& param)>;
    // A dongle reached through a relay: every typed operation works, the pump does not.
    HeadsetClient(DiscoveredDongle dongle, Relay relay);

    HeadsetClient(const HeadsetClient&) = delete;
    HeadsetClient& operator=(const HeadsetClient&) = delete;

    void open();
    void close() noexcept;

    const DiscoveredDongle& dongle() const { return dongle_; }
    SerialPort& port() { return *port_; }

    // Set by the owner before use; not locked.
    double replyTimeout = 1.5;  // seconds per attempt
    int retryCount = 3;         // attempts per request; at least one is always made
    NotificationHandler onNotification;
    // A descriptor whose becoming readable makes every request, and a pump without a wake
    // descriptor of its own, throw Interrupted at once, however long it was to wait. Only
    // watched, never read; -1 for none.
    int interruptFd = -1;
    // Asked before every attempt of a request, when set: false means no further frame may go
    // out (whoever asked for the request has stopped waiting for it). A request stopped before
    // its first frame throws Failure::notSent; one stopped after an unanswered attempt throws
    // what that attempt ended with.
    std::function<bool()> maySend;

    // Sends a request and returns the reply with its event id and the transaction id of one
    // of its attempts (a slow headset's answer to an earlier attempt is as good as one to the
    // latest). Throws Failure::timeout when no attempt got a reply and none hit a port error,
    // otherwise the most recent SerialPort::Failure; Interrupted as soon as `interruptFd` is
    // readable (then no further attempt is sent). `attempts` overrides `retryCount`.
    Packet exchange(EventID eventID, EventType eventType, Bytes param = {},
                    std::optional<int> attempts = std::nullopt);
    // Whether the last request was a `set` that put a frame on the line and never heard back.
    // When it ended in a port failure (the dongle pulled out while the headset answered), the
    // headset may well have taken the write: nobody can tell.
    bool lastSetUnanswered() const { return lastSetUnanswered_; }

    // One bounded read that only hands notifications to `onNotification`. Throws the
    // port's read failure (a hang-up included). A readable `wakeFd` ends the wait early,
    // without error (see SerialPort::read); without one, `interruptFd` is watched instead
    // and ends it with Interrupted.
    void pumpNotifications(double timeout, int wakeFd = -1);

    // Typed reads: a `get` decoded with the item's payload type; a payload that does not
    // decode throws Failure::malformedReply, without retrying.
    ModelInfo modelInfo();
    FirmwareVersion firmwareVersion();
    BatteryInfo batteryInfo();
    // The three bulk parts in order; stops at the first that fails.
    AllSettings allSettings();
    HeadphoneVolume headphoneVolume();
    GameChatBalance gameChatBalance();
    SidetoneVolume sidetoneVolume();
    MicrophoneVolume microphoneVolume();
    AmbientSetting ambientSetting();
    NCToggleSetting ncToggleSetting();
    NoiseCancellingStartupMode ncStartupMode();
    BluetoothStatus bluetoothStatus();
    BluetoothSoundMode bluetoothSoundMode();
    BluetoothStartupMode bluetoothStartupMode();
    AutoPowerOff autoPowerOff();
    LEDSetting ledSetting();
    RawByteSetting rawSetting(EventID eventID);
    // The reply payload as it came; never malformed.
    Bytes rawParam(EventID eventID);
    // A `set` of raw payload bytes, sent once whatever `retryCount` says: a write whose reply
    // was lost may well have been taken, and is not repeated blindly. Only what rawWriteRefusal
    // accepts goes out; anything else throws std::invalid_argument with its reason.
    void setRawParam(EventID eventID, ByteView param);

    // Typed writes: a `set` with the value's payload; any matching reply completes them,
    // whatever it carries.
    void setHeadphoneVolume(const HeadphoneVolume& value);
    void setGameChatBalance(const GameChatBalance& value);
    void setSidetoneVolume(const SidetoneVolume& value);
    void setAmbientSetting(const AmbientSetting& value);
    // Reads the ambient setting and writes it back with only the mode replaced: two
    // exchanges, each taking the lock by itself.
    void setNoiseCancellingMode(NoiseCancellingMode mode);
    void setNCToggleSetting(const NCToggleSetting& value);
    void setAutoPowerOff(AutoPowerOff value);
    void setLEDSetting(const LEDSetting& value);
    void setBluetoothSoundMode(BluetoothSoundMode value);
    void setBluetoothStartupMode(BluetoothStartupMode value);
    void setNCStartupMode(NoiseCancellingStartupMode value);

    // Everything in one pass: the three bulk parts, or when they fail one read per item, of
    // which only the battery is required. Throws only the battery read's failure.
    HeadsetState state();

private:
    template <class T>
    T readItem(EventID eventID);
    template <class T>
    void writeItem(EventID eventID, const T& value) {
        exchange(eventID, EventType::set, encodePayload(value));
    }

    std::uint16_t allocateTransactionID();
    // None when the deadline passed. `transactionIDs`: those of the request's attempts so far.
    // Called with the lock held.
    std::optional<Packet> awaitReply(EventID eventID, const std::vector<std::uint16_t>& transactionIDs);
    void deliver(const Packet& notification);

    const std::unique_ptr<SerialPort> port_;  // none for a relayed client
    const Relay relay_;
    FrameReassembler reassembler_;
    std::uint16_t nextTransactionID_ = 1;
    bool lastSetUnanswered_ = false;
    std::mutex lock_;
    const DiscoveredDongle dongle_;
};

// Why a request or a connection failed. Port errors are SerialPort::Failure instead.
class HeadsetClient::Failure : public std::exception {
public:
    enum class Kind { noDongleFound, timeout, malformedReply, notSent };

    // `otherModes`: dongles plugged in but in a mode without a serial control channel.
    static Failure noDongleFound(std::vector<DiscoveredDongle> otherModes);
    static Failure timeout(EventID eventID);
    static Failure malformedReply(EventID eventID, Bytes param);
    // `maySend` stopped the request before any of its frames went out.
    static Failure notSent(EventID eventID);

    Kind kind() const { return kind_; }
    // noDongleFound: the dongles in other modes (possibly none).
    const std::vector<DiscoveredDongle>& otherModes() const { return otherModes_; }
    // timeout, malformedReply, notSent: the item asked for.
    EventID eventID() const { return eventID_; }
    // malformedReply: the payload that did not decode.
    const Bytes& param() const { return param_; }

    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    Failure(Kind kind, std::vector<DiscoveredDongle> otherModes, EventID eventID, Bytes param);

    Kind kind_;
    std::vector<DiscoveredDongle> otherModes_;
    EventID eventID_;
    Bytes param_;
    std::string description_;
};

template <class T>
T HeadsetClient::readItem(EventID eventID) {
    const Packet reply = exchange(eventID, EventType::get);
    if (auto value = decodePayload<T>(reply.param)) return *std::move(value);
    throw Failure::malformedReply(eventID, reply.param);
}

}  // namespace avrane
