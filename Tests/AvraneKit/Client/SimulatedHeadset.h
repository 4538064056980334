#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "AvraneKit/Client/HeadsetClient.h"
#include "AvraneSim/Simulator.h"

namespace avrane::testing {

// A client connected to a fresh simulated headset, as the controller connects one: a
// discovered dongle, on a port that leaves the pty's line settings alone.
class SimulatedHeadset : public ::testing::Test {
protected:
    void SetUp() override {
        sim.start();
        client = std::make_unique<HeadsetClient>(
            DiscoveredDongle{DongleModel::h9, sim.slavePath(), "SIM"},
            std::make_unique<SerialPort>(sim.slavePath(), false));
        client->open();
        client->replyTimeout = 2.0;  // generous: nothing here waits it out unless told to
        client->onNotification = [this](const Packet& p) { notifications.push_back(p); };
    }

    // Every request the client has sent so far. A round trip the headset answers goes
    // first (faults cleared), so everything written before it has reached the simulator.
    std::vector<sim::ReceivedRequest> allRequests() {
        sim.setFaults({});
        client->replyTimeout = 2.0;
        client->retryCount = 3;
        client->rawParam(EventID::modelInfo);
        auto log = sim.requests();
        log.pop_back();
        return log;
    }

    static std::vector<EventID> items(const std::vector<sim::ReceivedRequest>& log) {
        std::vector<EventID> result;
        for (const auto& r : log) result.push_back(r.packet.eventID);
        return result;
    }

    static std::vector<std::uint16_t> ids(const std::vector<sim::ReceivedRequest>& log) {
        std::vector<std::uint16_t> result;
        for (const auto& r : log) result.push_back(r.packet.transactionID);
        return result;
    }

    sim::Simulator sim;
    std::unique_ptr<HeadsetClient> client;
    // Touched only on the test's thread: the client calls back on the thread calling it.
    std::vector<Packet> notifications;
};

template <class Error, class F>
Error errorOf(F&& f) {
    try {
        f();
    } catch (const Error& error) {
        return error;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "other error: " << other.what();
        throw;
    }
    ADD_FAILURE() << "nothing thrown";
    throw std::logic_error("nothing thrown");
}

}  // namespace avrane::testing
