#include <gmock/gmock.h>

#include "AvraneBar/Notifications/NotificationCenter.h"

namespace avrane {
namespace {

TEST(NotificationCenter, observersHearTheirNameUntilTheirContextGoes) {
    auto& center = NotificationCenter::defaultCenter();
    int heard = 0;
    auto observer = std::make_unique<QObject>();
    center.observe("avrane.localization.didChange", observer.get(), [&] { ++heard; });
    center.post("avrane.localization.didChange");
    center.post("avrane.menubar.preferencesDidChange");
    EXPECT_EQ(heard, 1);  // at once, on the posting thread
    observer.reset();
    center.post("avrane.localization.didChange");
    EXPECT_EQ(heard, 1);
}

}  // namespace
}  // namespace avrane
