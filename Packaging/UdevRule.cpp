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
        "# TAG+=\"uaccess\": the user logged in at the seat may open its serial control channel (the\n"
        "# CDC ACM port, as 60-serial.rules's usb_id reports its driver), without joining the\n"
        "# dialout group; no other tty of the device. 73-seat-late.rules turns the tag into access,\n"
        "# so this file sorts before it.\n"
        "# ENV{ID_MM_DEVICE_IGNORE}=\"1\": ModemManager leaves it alone; otherwise it probes a new\n"
        "# ttyACM port as a modem for many seconds and holds it meanwhile.\n"
        "# ENV{AVRANE_DONGLE}=\"1\": what the package's maintainer scripts look for, to make udev\n"
        "# apply the rules again to the dongle alone; the \"# usb\" lines name its identities for them.\n"
        "\n"
        "ACTION==\"remove\", GOTO=\"avrane_end\"\n");
    // Only the mode with the serial channel has a device to open; the others have no tty.
    for (const DongleModel& model : DongleModel::serialControlled) {
        const auto vendor = static_cast<long long>(model.vendorID);
        const auto product = static_cast<long long>(model.productID);
        std::printf("# %s\n", model.name.c_str());
        std::printf("# usb %04llx:%04llx\n", vendor, product);
        std::printf("SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04llx\", "
                    "ATTR{idProduct}==\"%04llx\", ENV{ID_MM_DEVICE_IGNORE}=\"1\", ENV{AVRANE_DONGLE}=\"1\"\n",
                    vendor, product);
        std::printf("SUBSYSTEM==\"tty\", KERNEL==\"ttyACM[0-9]*\", ENV{ID_USB_DRIVER}==\"cdc_acm\", "
                    "SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"%04llx\", ATTRS{idProduct}==\"%04llx\", "
                    "ENV{ID_MM_DEVICE_IGNORE}=\"1\", ENV{AVRANE_DONGLE}=\"1\", TAG+=\"uaccess\"\n",
                    vendor, product);
    }
    std::puts("\nLABEL=\"avrane_end\"");
    return 0;
}
