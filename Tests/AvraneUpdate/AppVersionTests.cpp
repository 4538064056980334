#include <gmock/gmock.h>

#include "AvraneUpdate/AppVersion.h"

namespace avrane {
namespace {

struct Comparison {
    const char* candidate;
    const char* reference;
    bool newer;
};

TEST(AppVersion, comparesReleaseVersions) {
    const Comparison rows[] = {
        {"1.10", "1.9", true},  // numbers, not text
        {"1.9", "1.10", false},
        {"V2.0", "2", false},  // leading v ignored, missing components are 0
        {"2.0.1", "V2", true},
        {"1.2.0-beta", "1.2.0", false},  // suffixes carry no weight
        {"1.2.0", "1.2.0-beta", false},
        {"1.3-beta", "1.2.9", true},
        {"1..2", "1.2", false},  // empty pieces dropped
        {"1..2", "1.1", true},
        {".1.2.", "1.1", true},
        {"rc1", "0", false},  // a piece without leading digits is 0
        {"0.0.1", "rc1", true},
        {"", "0.0.0", false},
        {"0.0.1", "", true},
        {"v", "", false},
        {" v1.5 V", "1.4", true},
        {"\t2", "1", false},  // only v, V and space are trimmed
        {"2\n", "1", true},
        {"1.2.3.4.5", "1.2.3.4", true},
        {"9223372036854775807", "9223372036854775806", true},
        {"99999999999999999999", "1", false},  // beyond 64 bits reads as 0
        {"\u0661.5", "0.4", true},               // an Arabic-Indic one is numeric but not a number here
        {"\u0661.5", "1.0", false},
        {"1\u00B2", "1", false},  // superscript two extends the run, which then does not read
        {"\U0001D7D9", "0.1", false},  // a numeral outside the BMP, likewise
    };
    for (const Comparison& row : rows) {
        SCOPED_TRACE(std::string(row.candidate) + " vs " + row.reference);
        EXPECT_EQ(AppVersion::isNewer(QString::fromUtf8(row.candidate), QString::fromUtf8(row.reference)),
                  row.newer);
    }
}

TEST(AppVersion, currentIsTheBuildVersionAndAnyRealReleaseComparesAgainstIt) {
    const QString current = AppVersion::current();
    EXPECT_FALSE(current.isEmpty());
    EXPECT_FALSE(AppVersion::isNewer(current, current));
    EXPECT_TRUE(AppVersion::isNewer(current + QStringLiteral(".1"), current));
}

}  // namespace
}  // namespace avrane
