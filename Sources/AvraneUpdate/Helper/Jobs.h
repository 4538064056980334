#pragma once

#include "AvraneUpdate/HelperReport.h"
#include "AvraneUpdate/HelperRequest.h"

namespace avrane::helper {

// The request's job done, and its report: the release of an accepted manifest, or the
// package in place once its integrity is established (its SHA-256 matches the manifest's;
// without one, its length matches the length the server announced), or why not.
Report run(const Request& request);

}  // namespace avrane::helper
