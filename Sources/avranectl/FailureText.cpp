#include "avranectl/FailureText.h"

#include <grp.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

namespace avrane::ctl {
namespace {

// The group that may use `path`, when its members may read and write it and it is not root's
// own: joining it is then the remedy (dialout for the dongle's device on Debian).
std::string groupThatMayUse(const std::string& path) {
    struct stat info {};
    constexpr mode_t readWrite = S_IRGRP | S_IWGRP;
    if (::stat(path.c_str(), &info) != 0 || info.st_gid == 0 || (info.st_mode & readWrite) != readWrite) {
        return {};
    }
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(4096);
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    return found->gr_name;
}

}  // namespace

std::string portFailureText(const SerialPort::Failure& failure) {
    if (failure.isInUse()) {
        return "the dongle is in use by another program (" + failure.description() + ")";
    }
    if (failure.isPermissionDenied()) {
        // The two remedies of the README: the udev rule, which needs no new login, or the
        // device's group.
        std::string text = failure.description() +
                           "; install the udev rule (or the AvraneBar package) and plug the dongle in again";
        const std::string group = groupThatMayUse(failure.path());
        if (!group.empty()) {
            text += ", or join the group " + group + ": sudo usermod -aG " + group +
                    " \"$USER\", then log out and in again";
        }
        return text;
    }
    if (failure.isDeviceGone()) {
        return "the dongle at " + failure.path() + " went away (unplugged or hung up): " +
               std::strerror(failure.errorNumber());
    }
    return failure.description();
}

}  // namespace avrane::ctl
