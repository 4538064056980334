#include "AvraneKit/Client/HeadsetClient.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace avrane {
namespace {

using Clock = std::chrono::steady_clock;

// Each read of a reply wait lasts at least this long, so that a deadline a hair away does
// not turn into a burst of zero-length waits.
constexpr double shortestReadWait = 0.05;
// The least a write may take, whatever the reply timeout: no reply wait is not no write.
constexpr double shortestWriteWait = 0.1;
// Caps a reply timeout so that the deadline arithmetic cannot overflow.
constexpr double longestReplyTimeout = 86400.0;

bool isNotification(EventType type) {
    return type == EventType::ntfy || type == EventType::ntfyActive;
}

}  // namespace

std::unique_ptr<HeadsetClient> HeadsetClient::connect(const DeviceDiscovery::Roots& roots) {
    const char* value = std::getenv(std::string(portOverrideVariable).c_str());
    return connect(value ? std::string_view(value) : std::string_view(), roots);
}

std::unique_ptr<HeadsetClient> HeadsetClient::connect(std::string_view portOverride,
                                                      const DeviceDiscovery::Roots& roots) {
    std::unique_ptr<HeadsetClient> client;
    if (!portOverride.empty()) {
        client = std::make_unique<HeadsetClient>(std::string(portOverride));
    } else {
        const auto dongles = DeviceDiscovery::findDongles(DongleModel::serialControlled, roots);
        if (dongles.empty()) {
            throw Failure::noDongleFound(DeviceDiscovery::findUncontrollableDongles(roots));
        }
        client = std::make_unique<HeadsetClient>(dongles.front());
    }
    client->open();
    return client;
}

HeadsetClient::HeadsetClient(DiscoveredDongle dongle)
    : port_(std::make_unique<SerialPort>(dongle.devicePath, true)), dongle_(std::move(dongle)) {}

HeadsetClient::HeadsetClient(std::string portPath)
    : port_(std::make_unique<SerialPort>(portPath, false)),
      dongle_{DongleModel::virtualPort, std::move(portPath), std::nullopt} {}

HeadsetClient::HeadsetClient(DiscoveredDongle dongle, std::unique_ptr<SerialPort> port)
    : port_(std::move(port)), dongle_(std::move(dongle)) {}

HeadsetClient::HeadsetClient(DiscoveredDongle dongle, Relay relay)
    : relay_(std::move(relay)), dongle_(std::move(dongle)) {}

void HeadsetClient::open() {
    if (port_) port_->open();
}

void HeadsetClient::close() noexcept {
    if (port_) port_->close();
}

std::uint16_t HeadsetClient::allocateTransactionID() {
    const std::uint16_t id = nextTransactionID_;
    nextTransactionID_ = id == 0xFFFF ? 1 : static_cast<std::uint16_t>(id + 1);
    return id;
}

Packet HeadsetClient::exchange(EventID eventID, EventType eventType, Bytes param, std::optional<int> attempts) {
    const std::lock_guard guard(lock_);
    lastSetUnanswered_ = false;
    if (relay_) {
        throwIfInterrupted(interruptFd);
        Packet reply = Packet::command(eventID, EventType::ret, 0);
        reply.param = relay_(eventID, eventType, param);
        return reply;
    }
    std::exception_ptr lastError = std::make_exception_ptr(Failure::timeout(eventID));
    const int tries = std::max(attempts.value_or(retryCount), 1);
    std::vector<std::uint16_t> sent;
    for (int attempt = 0; attempt < tries; ++attempt) {
        throwIfInterrupted(interruptFd);
        if (maySend && !maySend()) {
            if (sent.empty()) throw Failure::notSent(eventID);
            break;
        }
        sent.push_back(allocateTransactionID());
        const Bytes frame = Packet::command(eventID, eventType, sent.back(), param).encoded();
        try {
            // A dongle that stops taking bytes must not hold the line longer than a silent one.
            port_->write(frame, std::max(replyTimeout, shortestWriteWait));
            lastSetUnanswered_ = lastSetUnanswered_ || eventType == EventType::set;
            if (auto reply = awaitReply(eventID, sent)) {
                lastSetUnanswered_ = false;
                return *std::move(reply);
            }
        } catch (const SerialPort::Failure&) {
            lastError = std::current_exception();
        }
        // What arrived after the attempt gave up is noise to the next one; the last attempt
        // leaves the input alone, for the pump to read.
        if (attempt + 1 < tries && port_->isOpen()) port_->flushInput();
    }
    std::rethrow_exception(lastError);
}

std::optional<Packet> HeadsetClient::awaitReply(EventID eventID, const std::vector<std::uint16_t>& transactionIDs) {
    const double timeout = std::min(replyTimeout, longestReplyTimeout);
    const auto start = Clock::now();
    const auto deadline =
        timeout > 0 ? start + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(timeout))
                    : start;
    for (auto now = start; now < deadline; now = Clock::now()) {
        const double left = std::chrono::duration<double>(deadline - now).count();
        const Bytes bytes = port_->read(std::max(left, shortestReadWait), interruptFd);
        // Also after input: a line that keeps talking must not hold off the interruption.
        throwIfInterrupted(interruptFd);
        if (bytes.empty()) continue;

        std::optional<Packet> reply;
        for (const Bytes& frame : reassembler_.append(bytes)) {
            auto decoded = Packet::decode(frame);
            if (!decoded) continue;
            Packet packet = std::move(decoded).value();
            // Any attempt of this request: a headset slower than the reply timeout answers
            // the first attempt while the second waits. Replies to other requests are stale.
            const bool matches = packet.eventID == eventID &&
                                 std::find(transactionIDs.begin(), transactionIDs.end(), packet.transactionID) !=
                                     transactionIDs.end();
            if (!reply && matches &&
                (packet.eventType == EventType::ret || packet.eventType == EventType::ntfy)) {
                reply = std::move(packet);
            } else if (isNotification(packet.eventType)) {
                // Including notifications read in the same batch after the reply: the
                // reassembler has already consumed them, so dropping them would lose them.
                deliver(packet);
            }
        }
        if (reply) return reply;
    }
    return std::nullopt;
}

void HeadsetClient::pumpNotifications(double timeout, int wakeFd) {
    const std::lock_guard guard(lock_);
    if (!port_) throw std::logic_error("a relayed client has no line to read notifications from");
    const Bytes bytes = port_->read(timeout, wakeFd >= 0 ? wakeFd : interruptFd);
    if (bytes.empty()) {
        if (wakeFd < 0) throwIfInterrupted(interruptFd);
        return;
    }
    for (const Bytes& frame : reassembler_.append(bytes)) {
        const auto decoded = Packet::decode(frame);
        if (decoded && isNotification(decoded->eventType)) deliver(*decoded);
    }
}

void HeadsetClient::deliver(const Packet& notification) {
    if (onNotification) onNotification(notification);
}

HeadsetClient::Failure::Failure(Kind kind, std::vector<DiscoveredDongle> otherModes,
                                EventID eventID, Bytes param)
    : kind_(kind), otherModes_(std::move(otherModes)), eventID_(eventID), param_(std::move(param)) {
    switch (kind_) {
        case Kind::noDongleFound:
            if (otherModes_.empty()) {
                description_ = "no AVRANE dongle found (is the USB transceiver plugged in?)";
            } else {
                description_ = "found an AVRANE dongle in a mode without a serial control channel (";
                for (std::size_t i = 0; i < otherModes_.size(); ++i) {
                    if (i != 0) description_ += ", ";
                    description_ += otherModes_[i].model.name;
                }
                description_ += "). Switch the transceiver's slide switch to PC.";
            }
            break;
        case Kind::timeout:
            description_ = "no reply to " + std::string(caseName(eventID_)) +
                           " (the headset may be off or out of range)";
            break;
        case Kind::malformedReply:
            description_ = "unexpected reply payload for " + std::string(caseName(eventID_)) +
                           ": [" + hexDump(param_) + "]";
            break;
        case Kind::notSent:
            description_ = "request for " + std::string(caseName(eventID_)) +
                           " not sent: it was no longer awaited";
            break;
    }
}

HeadsetClient::Failure HeadsetClient::Failure::noDongleFound(
    std::vector<DiscoveredDongle> otherModes) {
    return Failure(Kind::noDongleFound, std::move(otherModes), EventID::connectStatus2GHz, {});
}

HeadsetClient::Failure HeadsetClient::Failure::timeout(EventID eventID) {
    return Failure(Kind::timeout, {}, eventID, {});
}

HeadsetClient::Failure HeadsetClient::Failure::malformedReply(EventID eventID, Bytes param) {
    return Failure(Kind::malformedReply, {}, eventID, std::move(param));
}

HeadsetClient::Failure HeadsetClient::Failure::notSent(EventID eventID) {
    return Failure(Kind::notSent, {}, eventID, {});
}

}  // namespace avrane
