#include <set>
#include <string>

#include <gmock/gmock.h>

#include "AvraneBar/Localization/Str.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

TEST(Str, everyKeyHasBothTexts) {
    std::set<std::string_view> names;
    for (const Str key : allStrs()) {
        EXPECT_TRUE(names.insert(caseName(key)).second) << caseName(key);
        EXPECT_FALSE(en(key).trimmed().isEmpty() || ko(key).trimmed().isEmpty()) << caseName(key);
    }
}

}  // namespace
}  // namespace avrane
