#include "AvraneBar/Bluetooth/MacBluetoothLink.h"

#include <QString>

namespace avrane {

bool MacBluetoothLink::isHeadsetName(std::string_view name) {
    // Qt's case-insensitive comparison folds case the Unicode way, as for text shown to
    // people, not only ASCII.
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
        .contains(QString::fromUtf8(headsetWord.data(), static_cast<qsizetype>(headsetWord.size())),
                  Qt::CaseInsensitive);
}

MacBluetoothLink MacBluetoothLink::choose(const std::vector<Device>& pairedDevices) {
    const Device* chosen = nullptr;
    for (const Device& device : pairedDevices) {
        if (!device.name || !isHeadsetName(*device.name)) continue;
        if (!chosen) chosen = &device;
        if (device.isConnected) {
            chosen = &device;
            break;
        }
    }
    if (!chosen) return {};
    return MacBluetoothLink{.isPaired = true, .isConnected = chosen->isConnected,
                            .name = chosen->name};
}

}  // namespace avrane
