#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include "SimulatedHeadset.h"

namespace avrane {
namespace {

using testing::errorOf;
using Kind = HeadsetClient::Failure::Kind;
using Clock = std::chrono::steady_clock;

class HeadsetClientTests : public testing::SimulatedHeadset {};

TEST_F(HeadsetClientTests, TransactionIdsCountFromOneAndWrapPastZero) {
    for (int i = 0; i < 3; ++i) client->batteryInfo();
    EXPECT_EQ(ids(sim.requests()), (std::vector<std::uint16_t>{1, 2, 3}));

    // One request whose attempts run through the rest of the id space: with no time to wait
    // for replies each attempt only writes its frame.
    sim.clearRequests();
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::micVolume}; });
    client->replyTimeout = 0;
    client->retryCount = 65533;  // ids 4 ... 65535, then 1
    EXPECT_THROW(client->microphoneVolume(), HeadsetClient::Failure);
    client->replyTimeout = 2.0;
    client->batteryInfo();

    const auto sent = ids(allRequests());
    ASSERT_EQ(sent.size(), 65534u);
    EXPECT_EQ(sent[65531], 65535);
    EXPECT_EQ(sent[65532], 1);
    EXPECT_EQ(sent[65533], 2);  // the next request goes on from there
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 0), 0);
}

// Each attempt of a request the headset ignores waits out the reply timeout. Input that
// arrives after an attempt gave up is discarded before the next one, except after the last.
TEST_F(HeadsetClientTests, SilentHeadsetGetsEveryAttemptWithAFreshIdAndFlushesBetween) {
    client->replyTimeout = 0.1;
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::batteryInfo}; });
    // During attempts 1 and 3 the headset announces its volume; the client's callback, slow
    // on purpose, lets a light notification arrive and the attempt's deadline pass.
    sim.setRequestObserver([this](const sim::ReceivedRequest& r) {
        if (r.packet.transactionID != 2) sim.announce(EventID::headphoneVolume);
    });
    client->onNotification = [this](const Packet& p) {
        notifications.push_back(p);
        if (p.eventID != EventID::headphoneVolume) return;
        sim.announce(EventID::ledSetting);
        sim.waitUntilSent();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the slow consumer
    };

    const auto start = Clock::now();
    const auto failure = errorOf<HeadsetClient::Failure>([&] { client->batteryInfo(); });
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(failure.kind(), Kind::timeout);
    EXPECT_EQ(failure.description(),
              "no reply to batteryInfo (the headset may be off or out of range)");
    EXPECT_EQ(ids(sim.requests()), (std::vector<std::uint16_t>{1, 2, 3}));

    sim.setRequestObserver(nullptr);
    ASSERT_EQ(notifications.size(), 2u);  // the light after attempt 1 was flushed away
    client->pumpNotifications(2.0);       // the one after attempt 3 was kept
    ASSERT_EQ(notifications.size(), 3u);
    EXPECT_EQ(notifications[2].eventID, EventID::ledSetting);
}

// No retries left or no reply time left: one attempt each, none of them waiting.
TEST_F(HeadsetClientTests, OneAttemptIsMadeWhateverTheRetryCountOrTimeout) {
    sim.updateFaults([](sim::Faults& f) { f.silentItems = {EventID::batteryInfo}; });
    client->replyTimeout = 0.05;
    for (const int retries : {0, -5, INT_MIN}) {
        client->retryCount = retries;
        EXPECT_THROW(client->batteryInfo(), HeadsetClient::Failure);
    }
    client->retryCount = 1;
    client->replyTimeout = -1.0;
    EXPECT_EQ(errorOf<HeadsetClient::Failure>([&] { client->batteryInfo(); }).kind(), Kind::timeout);
    EXPECT_EQ(allRequests().size(), 4u);
}

// A headset slower than the reply timeout answers the first attempt while the second waits:
// that answer completes the request.
TEST_F(HeadsetClientTests, AnAnswerToAnEarlierAttemptCompletesTheRequest) {
    client->replyTimeout = 0.2;
    sim.updateFaults([](sim::Faults& f) { f.replyDelay = 0.3; });
    EXPECT_EQ(client->batteryInfo(), sim.model().battery);
    EXPECT_EQ(ids(sim.requests()), (std::vector<std::uint16_t>{1, 2}));
}

// Whoever asked stopped waiting: no further frame goes out. Stopped before the first one, the
// request says it was not sent; after an unanswered one, how that one ended.
TEST_F(HeadsetClientTests, ARequestNoLongerAwaitedSendsNothingMore) {
    client->maySend = [] { return false; };
    const auto unsent = errorOf<HeadsetClient::Failure>([&] { client->setLEDSetting(LEDSetting{false}); });
    EXPECT_EQ(unsent.kind(), Kind::notSent);
    EXPECT_EQ(unsent.description(), "request for ledSetting not sent: it was no longer awaited");

    client->replyTimeout = 0.05;
    sim.updateFaults([](sim::Faults& f) { f.headsetOff = true; });
    int asked = 0;
    client->maySend = [&] { return ++asked == 1; };
    EXPECT_EQ(errorOf<HeadsetClient::Failure>([&] { client->batteryInfo(); }).kind(), Kind::timeout);
    client->maySend = nullptr;
    EXPECT_EQ(items(allRequests()), std::vector<EventID>{EventID::batteryInfo});
    EXPECT_TRUE(sim.model().led.isOn);
}

// A raw write goes out once, answered or not, and only to a setting, with its record's length.
TEST_F(HeadsetClientTests, RawWritesAreSentOnceAndOnlyToSettings) {
    client->replyTimeout = 0.05;
    sim.updateFaults([](sim::Faults& f) { f.headsetOff = true; });
    EXPECT_EQ(errorOf<HeadsetClient::Failure>([&] { client->setRawParam(EventID::ledSetting, Bytes{0}); }).kind(),
              Kind::timeout);
    EXPECT_THROW(client->setRawParam(EventID::updateFirmware, Bytes{1}), std::invalid_argument);
    EXPECT_THROW(client->setRawParam(EventID::headphoneVolume, Bytes{}), std::invalid_argument);
    EXPECT_EQ(items(allRequests()), std::vector<EventID>{EventID::ledSetting});
}

// Line and reply quirks the client must see through; each read still gives the model's value.
TEST_F(HeadsetClientTests, RepliesComeThroughLineFaults) {
    struct Case {
        const char* name;
        std::function<void(sim::Faults&)> fault;
    };
    const Case cases[] = {
        {"noise before frames", [](auto& f) { f.noise = {0x00, 0x55, 0xAA, 0xFF, 0x96, 0xC3}; }},
        {"one byte at a time", [](auto& f) { f.byteAtATime = true, f.byteGap = 0.001; }},
        {"late reply to an older transaction", [](auto& f) { f.lateReplyFirst = true; }},
        {"ntfyActive with the awaited ids", [](auto& f) { f.ntfyActiveFirst = true; }},
        {"reply as ntfy", [](auto& f) { f.replyAsNtfy = true; }},
        {"reply delay", [](auto& f) { f.replyDelay = 0.05; }},
    };
    const auto model = sim.model();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Faults faults;
        c.fault(faults);
        sim.setFaults(faults);
        notifications.clear();
        EXPECT_EQ(client->batteryInfo(), model.battery);
        EXPECT_EQ(client->headphoneVolume(), model.headphoneVolume);
        if (faults.ntfyActiveFirst) {
            // Handed on as a notification, not taken for the reply.
            ASSERT_EQ(notifications.size(), 2u);
            EXPECT_EQ(notifications[0].eventType, EventType::ntfyActive);
            EXPECT_EQ(notifications[0].eventID, EventID::batteryInfo);
        } else {
            EXPECT_TRUE(notifications.empty());
        }
    }
}

TEST_F(HeadsetClientTests, NotificationsAroundTheReplyAreDelivered) {
    // One ahead of the reply, from the headset's own controls.
    sim.setRequestObserver([this](const sim::ReceivedRequest&) {
        sim.change(EventID::micVolume, [](sim::HeadsetModel& m) { m.microphoneVolume.isMuted = true; });
    });
    EXPECT_EQ(client->batteryInfo().percent, 80);
    sim.setRequestObserver(nullptr);
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].eventID, EventID::micVolume);
    EXPECT_EQ(notifications[0].param, (Bytes{1, 10, 66}));

    // One right behind it, read in the same batch: the headset's echo of a write.
    notifications.clear();
    client->setLEDSetting(LEDSetting{false});
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].eventID, EventID::ledSetting);
    EXPECT_EQ(notifications[0].eventType, EventType::ntfy);
    EXPECT_EQ(notifications[0].param, Bytes{0});
}

TEST_F(HeadsetClientTests, ReplyThatDoesNotDecodeIsMalformedAndNotRetried) {
    sim.updateFaults([](sim::Faults& f) {
        f.malformedReplies = {{EventID::batteryInfo, {0x01}},
                              {EventID::ambSetting, {0x03, 0x0A, 0x32, 0x00}},
                              {EventID::ledSetting, {0x02}}};
    });
    const auto failure = errorOf<HeadsetClient::Failure>([&] { client->batteryInfo(); });
    EXPECT_EQ(failure.param(), Bytes{0x01});
    EXPECT_EQ(failure.description(), "unexpected reply payload for batteryInfo: [01]");
    // The read half of a mode change fails the same way; the write is never sent.
    EXPECT_THROW(client->setNoiseCancellingMode(NoiseCancellingMode::off), HeadsetClient::Failure);
    EXPECT_TRUE(client->ledSetting().isOn);  // any non-zero byte is on
    client->setAmbientSetting(AmbientSetting{});  // writes take any matching reply
    EXPECT_EQ(items(allRequests()), (std::vector<EventID>{EventID::batteryInfo, EventID::ambSetting,
                                                          EventID::ledSetting, EventID::ambSetting}));
}

TEST_F(HeadsetClientTests, PumpHandsOnNotificationsOnly) {
    sim.send(Packet{.type = PacketType::event, .source = Address::receiver, .destination = Address::pc,
                    .eventID = EventID::batteryInfo, .eventType = EventType::ret,
                    .transactionID = 9, .param = {0, 50}});
    sim.sendRaw({0x04, 0xFF, 0x09, 0x00, 0x96, 0xC3, 0x14, 0x04, 0x20, 0x00, 0x00, 0x00});  // bad sum
    sim.announce(EventID::batteryInfo);
    sim.updateFaults([](sim::Faults& f) { f.announceAsNtfyActive = true; });
    sim.announce(EventID::ambSetting);

    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (notifications.size() < 2 && Clock::now() < deadline) client->pumpNotifications(0.25);
    ASSERT_EQ(notifications.size(), 2u);
    EXPECT_EQ(notifications[0].eventType, EventType::ntfy);
    EXPECT_EQ(notifications[0].param, (Bytes{0, 80}));
    EXPECT_EQ(notifications[1].eventType, EventType::ntfyActive);
    EXPECT_EQ(notifications[1].eventID, EventID::ambSetting);
}

// A request that would wait out three long attempts, and a pump with a long wait, both end
// as soon as the interrupt descriptor is readable, and nothing more is sent.
TEST_F(HeadsetClientTests, InterruptAbandonsTheWaitAtOnce) {
    int interrupt[2];
    ASSERT_EQ(::pipe(interrupt), 0);
    client->interruptFd = interrupt[0];
    client->replyTimeout = 30;
    sim.updateFaults([](sim::Faults& f) { f.headsetOff = true; });
    // The simulator's thread writes the interrupt; the pipe is closed only after it has.
    std::atomic<bool> written = false;
    sim.setRequestObserver([&](const sim::ReceivedRequest&) {
        [[maybe_unused]] const auto n = ::write(interrupt[1], "!", 1);
        written = true;  // its last touch of the test's locals
    });
    const auto start = Clock::now();
    EXPECT_THROW(client->batteryInfo(), Interrupted);
    EXPECT_THROW(client->pumpNotifications(30), Interrupted);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    sim.setRequestObserver(nullptr);
    EXPECT_THROW(client->ledSetting(), Interrupted);
    EXPECT_EQ(sim.requestCount(), 1u);
    while (!written) std::this_thread::yield();  // a moment at most: the pipe was readable
    ::close(interrupt[0]);
    ::close(interrupt[1]);
}

TEST_F(HeadsetClientTests, LostLineFailsWithThePortsError) {
    sim.hangUp();
    const auto pumped = errorOf<SerialPort::Failure>([&] { client->pumpNotifications(5.0); });
    EXPECT_EQ(pumped.description(), "read failed: Input/output error");
    EXPECT_EQ(errorOf<SerialPort::Failure>([&] { client->batteryInfo(); }).kind(),
              SerialPort::Failure::Kind::write);

    client->close();
    EXPECT_EQ(errorOf<SerialPort::Failure>([&] { client->batteryInfo(); }).description(),
              "port is closed");
}

}  // namespace
}  // namespace avrane
