#include "avranectl/DongleList.h"

#include <algorithm>

#include "avranectl/StatusReport.h"

namespace avrane::ctl {

DongleList findAllDongles(const DeviceDiscovery::Roots& roots) {
    return {DeviceDiscovery::findDongles(DongleModel::serialControlled, roots),
            DeviceDiscovery::findUncontrollableDongles(roots)};
}

std::string dongleListText(const DongleList& list) {
    if (list.controllable.empty() && list.otherModes.empty()) {
        return "no AVRANE dongle found\n";
    }
    std::vector<StatusRow> rows;
    const auto add = [&](const DiscoveredDongle& d, std::string_view remark) {
        rows.emplace_back(d.devicePath, d.model.name + ", serial " +
                                            d.serialNumber.value_or("not reported") +
                                            std::string(remark));
    };
    for (const auto& d : list.controllable) add(d, "");
    for (const auto& d : list.otherModes) add(d, " (switch it to PC to use it)");
    return formatRows(rows);
}

Json dongleListJson(const DongleList& list) {
    Json dongles = Json::array();
    const auto add = [&](const DiscoveredDongle& d, bool controllable) {
        dongles.push(Json::object()
                         .set("model", Json::object()
                                           .set("name", d.model.name)
                                           .set("vendorID", d.model.vendorID)
                                           .set("productID", d.model.productID))
                         .set("devicePath", d.devicePath)
                         .set("serialNumber", d.serialNumber)
                         .set("serialControl", controllable));
    };
    for (const auto& d : list.controllable) add(d, true);
    for (const auto& d : list.otherModes) add(d, false);
    return Json::object().set("dongles", std::move(dongles));
}

}  // namespace avrane::ctl
