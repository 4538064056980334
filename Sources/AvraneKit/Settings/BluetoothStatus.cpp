#include "AvraneKit/Settings/BluetoothStatus.h"

namespace avrane {

std::optional<BluetoothStatus> BluetoothStatus::decode(ByteView param) {
    if (param.size() < 2) return std::nullopt;
    return BluetoothStatus{fromRaw<Power>(param[0]), fromRaw<Link>(param[1])};
}

}  // namespace avrane
