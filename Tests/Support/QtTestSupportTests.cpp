#include <gtest/gtest.h>

#include "Support/QtTestSupport.h"

namespace avrane::testing {
namespace {

// Nothing in this process announces the change: it is seen at the next look, long before
// the deadline.
TEST(WaitUntil, seesWhatNoEventAnnounces) {
    int looks = 0;
    EXPECT_TRUE(waitUntil([&] { return ++looks == 10; }, std::chrono::seconds(5)));
    EXPECT_FALSE(waitUntil([] { return false; }, std::chrono::milliseconds(50)));
}

}  // namespace
}  // namespace avrane::testing
