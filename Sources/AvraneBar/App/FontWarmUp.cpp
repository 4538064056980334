#include "AvraneBar/App/FontWarmUp.h"

#if AVRANE_HAS_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace avrane {

FontWarmUp::FontWarmUp() {
#if AVRANE_HAS_FONTCONFIG
    // Safe beside Qt's own FcInit: fontconfig publishes one configuration atomically, and a
    // thread that loses the race drops its copy.
    thread_ = std::jthread([] { FcInit(); });
#endif
}

}  // namespace avrane
