#pragma once

#include <exception>
#include <string>

namespace avrane {

// The owner asked the client to stop (its interrupt descriptor became readable) while it was
// waiting on the headset; the request in progress is abandoned. Not a link failure: nothing
// is wrong with the dongle or the headset.
class Interrupted : public std::exception {
public:
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::string description_ = "interrupted";
};

}  // namespace avrane
