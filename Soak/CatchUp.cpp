#include "Soak/CatchUp.h"

namespace avrane::soak {

void CatchUp::faultsEnded(Clock::time_point now) {
    measuring_ = true;
    faultsEnded_ = now;
    caughtUp_.reset();
    // Until the first comparison says otherwise, they differ.
    differingSince_ = now;
    difference_.clear();
    lastDifference_.clear();
}

void CatchUp::observe(Clock::time_point now, const std::string& difference) {
    if (!measuring_) return;
    if (difference.empty()) {
        if (!differingSince_) return;
        // The first difference after the faults counts however short; later ones only when
        // they are more than a change in transit.
        if (!caughtUp_ || now - *differingSince_ >= inTransit) {
            caughtUp_ = now - faultsEnded_;
            lastDifference_ = difference_;
        }
        differingSince_.reset();
        difference_.clear();
        return;
    }
    if (!differingSince_) differingSince_ = now;
    if (difference_.empty()) difference_ = difference;
}

std::optional<CatchUp::Clock::duration> CatchUp::caughtUp(Clock::time_point now) const {
    if (differingSince_ && (!caughtUp_ || now - *differingSince_ >= inTransit)) return std::nullopt;
    return caughtUp_;
}

}  // namespace avrane::soak
