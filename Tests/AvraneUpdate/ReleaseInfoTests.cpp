#include <gmock/gmock.h>

#include <QDir>

#include "AvraneUpdate/UpdateChecker.h"
#include "UpdatePrinters.h"

namespace avrane {
namespace {

struct ManifestRow {
    const char* name;
    QByteArray body;
    std::optional<ReleaseInfo> expected;
};

ReleaseInfo release(const char* version, const char* package, std::optional<QString> sha = std::nullopt,
                    std::optional<QUrl> notes = std::nullopt) {
    return ReleaseInfo{QString::fromUtf8(version), QUrl(QString::fromUtf8(package)), std::move(sha), std::move(notes)};
}

TEST(ReleaseManifest, acceptsAndRefusesAsAWhole) {
    const char* package = "https://releases.example/avrane-1.4.0.deb";
    const ManifestRow rows[] = {
        {"complete",
         R"({"version":"1.4.0","package_url":"https://releases.example/avrane-1.4.0.deb",
             "sha256":"ABCdef","notes_url":"https://releases.example/notes/1.4.0","extra":[1,2]})",
         release("1.4.0", package, "ABCdef", QUrl("https://releases.example/notes/1.4.0"))},
        {"minimal", R"({"version":"1.4.0","package_url":"https://releases.example/avrane-1.4.0.deb"})",
         release("1.4.0", package)},
        {"version kept as is", R"({"version":"v1.4.0-rc+2","package_url":"https://releases.example/avrane-1.4.0.deb"})",
         release("v1.4.0-rc+2", package)},
        {"sha256 of another type", R"({"version":"1.4.0","package_url":"https://releases.example/avrane-1.4.0.deb","sha256":42})",
         release("1.4.0", package)},
        {"notes of another type or unreadable",
         R"({"version":"1.4.0","package_url":"https://releases.example/avrane-1.4.0.deb","notes_url":"https://exa mple"})",
         release("1.4.0", package)},
        {"http package", R"({"version":"1.4.0","package_url":"http://releases.example/avrane-1.4.0.deb"})", std::nullopt},
        {"scheme in capitals", R"({"version":"1.4.0","package_url":"HTTPS://releases.example/a.deb"})", std::nullopt},
        {"scheme-less package", R"({"version":"1.4.0","package_url":"releases.example/a.deb"})", std::nullopt},
        {"unparsable package", R"({"version":"1.4.0","package_url":"https://exa mple/a.deb"})", std::nullopt},
        {"package not a string", R"({"version":"1.4.0","package_url":7})", std::nullopt},
        {"no package", R"({"version":"1.4.0"})", std::nullopt},
        {"version a number", R"({"version":1.4,"package_url":"https://releases.example/a.deb"})", std::nullopt},
        {"no version", R"({"package_url":"https://releases.example/a.deb"})", std::nullopt},
        {"version leaving the folder", R"({"version":"../../home/x","package_url":"https://releases.example/a.deb"})",
         std::nullopt},
        {"version with a space", R"({"version":"1.4 beta","package_url":"https://releases.example/a.deb"})", std::nullopt},
        {"array", R"([{"version":"1.4.0","package_url":"https://releases.example/a.deb"}])", std::nullopt},
        {"not JSON", "version=1.4.0", std::nullopt},
        {"trailing garbage", R"({"version":"1.4.0","package_url":"https://releases.example/a.deb"} x)", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const ManifestRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(UpdateChecker::parse(row.body), row.expected);
    }
}

TEST(ReleaseManifest, bodiesOverOneMebibyteAreRefused) {
    const QByteArray manifest = R"({"version":"1.4.0","package_url":"https://releases.example/a.deb"})";
    QByteArray atLimit = manifest;
    atLimit.append(ReleaseInfo::maximumManifestSize - manifest.size(), ' ');
    EXPECT_TRUE(UpdateChecker::parse(atLimit).has_value());
    EXPECT_FALSE(UpdateChecker::parse(atLimit + " ").has_value());
}

TEST(ReleaseManifest, versionsUsableInAFileName) {
    for (const char* version : {"1.4.0", "v2.0.0-beta_3+build.7", "", ".."}) {
        SCOPED_TRACE(version);
        EXPECT_TRUE(ReleaseInfo::isUsableVersion(QString::fromUtf8(version)));
        const auto path = UpdateChecker::packagePath(QString::fromUtf8(version));
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(*path, QDir::tempPath() + "/avrane-linux-" + version + ".deb");
    }
    for (const char* version : {"../x", "1/2", "1\\2", "1.0 ", "1.0\n", "1.0\t", "\u00e9", "1:2", "~", "%2F"}) {
        SCOPED_TRACE(version);
        EXPECT_FALSE(ReleaseInfo::isUsableVersion(QString::fromUtf8(version)));
        EXPECT_EQ(UpdateChecker::packagePath(QString::fromUtf8(version)), std::nullopt);
    }
}

}  // namespace
}  // namespace avrane
