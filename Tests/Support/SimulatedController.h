#pragma once

#include <QCoreApplication>

#include "AvraneBar/Controller/HeadsetController.h"
#include "AvraneSim/Simulator.h"

namespace avrane::testing {

// The application's controller as it runs in the application, on the simulated headset: it
// delivers to Qt's main thread, connects to the simulator's pty as to a dongle found on USB
// (without the dongle's line settings, which a pty refuses), and sees no Bluetooth pairing.
inline HeadsetController::Options simulatedControllerOptions(const sim::Simulator& sim) {
    const DiscoveredDongle dongle{DongleModel::h9, sim.slavePath(), "SIM"};
    HeadsetController::Options options;
    options.runOnMainThread = [](std::function<void()> work) {
        QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
    };
    options.connect = [dongle] {
        auto client = std::make_unique<HeadsetClient>(dongle, std::make_unique<SerialPort>(dongle.devicePath, false));
        client->open();
        return client;
    };
    options.findDongles = [dongle] { return std::vector{dongle}; };
    options.bluetoothLink = [] { return MacBluetoothLink{}; };
    return options;
}

}  // namespace avrane::testing
