#include <gmock/gmock.h>

#include "AvraneUpdate/HelperReport.h"
#include "AvraneUpdate/HelperRequest.h"

namespace avrane::helper {

void PrintTo(const Report& report, std::ostream* out) { *out << encode(report).toStdString(); }

namespace {

using namespace std::chrono_literals;

TEST(HelperRequest, theCommandLineCarriesTheJobWhole) {
    Request check{CheckJob{QUrl("https://releases.example/bar/latest.json")}};
    Request download{DownloadJob{QUrl("https://releases.example/a%20b.deb"), "/home/u/.cache/avrane/avrane-linux--rf.deb", "ABCdef"}};
    download.idleTimeout = 1500ms;
    download.totalTimeout = 9000ms;
    download.maximumSize = 12345;
    download.caCertificates = "/tmp/ca.pem";
    for (const Request& request : {check, download}) {
        SCOPED_TRACE(request.arguments().join(' ').toStdString());
        EXPECT_EQ(Request::fromArguments(request.arguments()), request);
    }
    // Left out, the limits are the checker's own.
    const auto byHand = Request::fromArguments({"download", "--url=https://r.example/a.deb", "--file=/tmp/a.deb"});
    ASSERT_TRUE(byHand);
    EXPECT_EQ(byHand->idleTimeout, Request::transferIdleTimeout);
    EXPECT_EQ(byHand->maximumSize, Request::defaultMaximumPackageSize);
    EXPECT_EQ(std::get<DownloadJob>(byHand->job).sha256, std::nullopt);

    const QStringList refused[] = {
        {"install", "--url=https://r.example/a"},
        {"check"},
        {"check", "--url=releases.example/latest.json"},
        {"check", "--url=https://r.example/a", "--url=https://r.example/b"},
        {"check", "--url=https://r.example/a", "--file=/tmp/a.deb"},
        {"check", "--url", "https://r.example/a"},
        {"download", "--url=https://r.example/a.deb"},
        {"download", "--url=https://r.example/a.deb", "--file=a.deb"},
        {"download", "--url=https://r.example/a.deb", "--file=/tmp/../etc/a.deb"},
        {"download", "--url=https://r.example/a.deb", "--file=/tmp/a.deb", "--max-size=0"},
        {"check", "--url=https://r.example/a", "--idle-timeout=5s"},
        {"check", "--url=https://r.example/a", "--total-timeout=9999999999"},
    };
    for (const QStringList& arguments : refused) {
        QString error;
        EXPECT_EQ(Request::fromArguments(arguments, &error), std::nullopt) << arguments.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(HelperReport, onlyTheLineTheHelperWritesIsTaken) {
    const ReleaseInfo release{"1.4.0", QUrl("https://r.example/a.deb"), "9F86d0", QUrl("https://r.example/notes")};
    // A manifest's URLs read back on the application's side as the helper read them, whatever
    // they hold.
    const auto odd = ReleaseInfo::decode(
        R"({"version":"1","package_url":"https://r.example/a%7E.deb?x=%23","notes_url":"https://r.example/n#a#b"})");
    ASSERT_TRUE(odd);
    const Report reports[] = {ManifestRead{release}, ManifestRead{*odd},
                              ManifestRead{ReleaseInfo{"2", QUrl("https://r.example/b.deb"), std::nullopt, std::nullopt}},
                              PackageReady{"/home/u/.cache/avrane/avrane-linux-1.4.0.deb"},
                              Failure{"Host releases.example not found – 호스트 \"없음\""}};
    for (const Report& report : reports) {
        const QByteArray line = encode(report);
        ASSERT_TRUE(line.endsWith('\n'));
        EXPECT_EQ(decode(QByteArrayView(line).chopped(1)), report) << line.toStdString();
    }
    EXPECT_EQ(encode(Failure{"x"}), "{\"failed\":\"x\"}\n");

    const QByteArray refused[] = {
        "",
        "[\"failed\",\"x\"]",
        "{ \"failed\":\"x\"}",
        "{\"failed\":\"x\"} ",
        "{\"failed\":\"\\u0078\"}",
        "{\"failed\":\"x\",\"failed\":\"y\"}",
        "{\"failed\":\"\"}",
        "{\"failed\":\"two\\nlines\"}",
        "{\"failed\":1}",
        "{\"done\":\"x\"}",
        "{\"ready\":\"a.deb\"}",
        "{\"ready\":\"/tmp/../a.deb\"}",
        "{\"release\":{\"package_url\":\"http://r.example/a.deb\",\"version\":\"1\"}}",
        "{\"release\":{\"package_url\":\"https://r.example/a.deb\",\"version\":\"../1\"}}",
        "{\"release\":{\"package_url\":\"https://r.example/a.deb\",\"version\":\"1\",\"x\":1}}",
        "{\"release\":{\"notes_url\":\"\",\"package_url\":\"https://r.example/a.deb\",\"version\":\"1\"}}",
        "{\"release\":{\"package_url\":\"https://r.example/a.deb\",\"sha256\":7,\"version\":\"1\"}}",
        "{\"release\":{\"version\":\"1\",\"package_url\":\"https://r.example/a.deb\"}}",
        "{\"failed\":\"" + QByteArray(maximumReportLength, 'x') + "\"}",
    };
    for (const QByteArray& line : refused) EXPECT_EQ(decode(line), std::nullopt) << line.left(120).toStdString();
}

}  // namespace
}  // namespace avrane::helper
