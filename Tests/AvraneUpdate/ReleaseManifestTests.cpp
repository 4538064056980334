#include <gmock/gmock.h>

#include <QDir>

#include "AvraneUpdate/AppVersion.h"
#include "AvraneUpdate/UpdateChecker.h"
#include "Support/QtTestSupport.h"

namespace avrane {
namespace {

TEST(AppVersion, comparesReleaseVersions) {
    // candidate, reference, whether the candidate is newer
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"1.10", "1.9", true},          {"V2.0", "2", false},  {"1.2.0-beta", "1.2.0", false},
        {"1..2", "1.2", false},         {"rc1", "0", false},   {"", "0.0.0", false},
        {" v1.5 V", "1.4", true},
        {"9223372036854775807", "9223372036854775806", true},
        {"99999999999999999999", "1", false},  // beyond 64 bits: 0
        {"\u0661.5", "0.4", true},             // a numeral, but not ASCII: 0
        {"1\u00B2", "1", false},               // the superscript joins the run, which then reads as 0
    };
    for (const auto& [candidate, reference, newer] : rows) {
        SCOPED_TRACE(std::string(candidate) + " vs " + reference);
        EXPECT_EQ(AppVersion::isNewer(QString::fromUtf8(candidate), QString::fromUtf8(reference)), newer);
    }
}

QByteArray manifest(const char* version, const char* package, const char* rest = "") {
    return QStringLiteral(R"({"version":%1,"package_url":%2%3})").arg(version, package, rest).toUtf8();
}

TEST(ReleaseManifest, acceptedOrRefusedAsAWhole) {
    const char* https = R"("https://releases.example/a.deb")";
    const ReleaseInfo minimal{"1.4.0", QUrl("https://releases.example/a.deb"), {}, {}};
    ReleaseInfo complete = minimal;
    complete.sha256 = "ABCdef";
    complete.notesURL = QUrl("https://releases.example/notes");
    const std::tuple<const char*, QByteArray, std::optional<ReleaseInfo>> rows[] = {
        {"complete", manifest(R"("1.4.0")", https, R"(,"sha256":"ABCdef","notes_url":"https://releases.example/notes","x":1)"), complete},
        {"sha256 a number", manifest(R"("1.4.0")", https, R"(,"sha256":42)"), minimal},
        {"notes unreadable", manifest(R"("1.4.0")", https, R"(,"notes_url":"https://exa mple")"), minimal},
        {"http package", manifest(R"("1.4.0")", R"("http://releases.example/a.deb")"), std::nullopt},
        {"scheme in capitals", manifest(R"("1.4.0")", R"("HTTPS://releases.example/a.deb")"), std::nullopt},
        {"scheme-less package", manifest(R"("1.4.0")", R"("releases.example/a.deb")"), std::nullopt},
        {"unparsable package", manifest(R"("1.4.0")", R"("https://exa mple/a.deb")"), std::nullopt},
        {"package without a host", manifest(R"("1.4.0")", R"("https:/releases/a.deb")"), std::nullopt},
        {"package with a fragment", manifest(R"("1.4.0")", R"("https://releases.example/a.deb#x")"), std::nullopt},
        {"version a number", manifest("1.4", https), std::nullopt},
        {"version leaving the folder", manifest(R"("../../x")", https), std::nullopt},
        {"no version", R"({"package_url":"https://releases.example/a.deb"})", std::nullopt},
        {"array", "[" + manifest(R"("1.4.0")", https) + "]", std::nullopt},
        {"trailing garbage", manifest(R"("1.4.0")", https) + " x", std::nullopt},
    };
    for (const auto& [name, body, expected] : rows) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(UpdateChecker::parse(body) == expected);
    }
    QByteArray atLimit = manifest(R"("1.4.0")", https);
    atLimit.append(ReleaseInfo::maximumManifestSize - atLimit.size(), ' ');
    EXPECT_TRUE(UpdateChecker::parse(atLimit).has_value());
    EXPECT_FALSE(UpdateChecker::parse(atLimit + " ").has_value());
}

// In the user's own cache, where no other user can take the name first.
TEST(ReleaseManifest, packageFileNamesStayInTheUsersCacheFolder) {
    EXPECT_EQ(UpdateChecker::packagePath(u"v2.0.0-beta_3+build.7"),
              qEnvironmentVariable("XDG_CACHE_HOME") + "/avrane/avrane-linux-v2.0.0-beta_3+build.7.deb");
    for (const char* version : {"../x", "1/2", "1\\2", "1.0 ", "1.0\n", "\u00e9", "1:2", "%2F"}) {
        EXPECT_EQ(UpdateChecker::packagePath(QString::fromUtf8(version)), std::nullopt) << version;
    }
}

}  // namespace
}  // namespace avrane
