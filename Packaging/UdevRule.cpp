// Prints the udev rule for the dongle, built from the identity table itself so that the two
// never disagree. Run at build time; the output is installed as 70-avrane.rules.
#include <cstdio>

#include "AvraneKit/Discovery/DongleModel.h"

int main() {
    using avrane::DongleModel;
    std::puts(
        "# The AVRANE headset dongle with its switch at PC. Generated at build time from the dongle\n"
        "# identity table of AvraneBar; edits here are lost on the next installation.\n"
        "#\n"
        "# TAG+=\"uaccess\": the user logged in at the seat may open its serial device, without\n"
        "# joining the dialout group. 73-seat-late.rules turns the tag into access, so this file\n"
        "# sorts before it.\n"
        "# ENV{ID_MM_DEVICE_IGNORE}=\"1\": ModemManager leaves it alone; otherwise it probes a new\n"
        "# ttyACM port as a modem for many seconds and holds it meanwhile.\n"
        "\n"
        "ACTION==\"remove\", GOTO=\"avrane_end\"\n");
    // Only the mode with the serial channel has a device to open; the others have no tty.
    for (const DongleModel& model : DongleModel::serialControlled) {
        std::printf("# %s\n", model.name.c_str());
        std::printf("SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04llx\", "
                    "ATTR{idProduct}==\"%04llx\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n",
                    static_cast<long long>(model.vendorID), static_cast<long long>(model.productID));
        std::printf("SUBSYSTEM==\"tty\", SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"%04llx\", "
                    "ATTRS{idProduct}==\"%04llx\", ENV{ID_MM_DEVICE_IGNORE}=\"1\", TAG+=\"uaccess\"\n",
                    static_cast<long long>(model.vendorID), static_cast<long long>(model.productID));
    }
    std::puts("\nLABEL=\"avrane_end\"");
    return 0;
}
