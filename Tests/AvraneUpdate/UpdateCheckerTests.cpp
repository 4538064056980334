#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QThread>

#include <cerrno>
#include <cstring>

#include "AvraneUpdate/AppVersion.h"
#include "AvraneUpdate/UpdateChecker.h"
#include "Support/QtTestSupport.h"
#include "Support/TestHttpServer.h"

namespace avrane {

// Enough to tell states apart in a failure message.
void PrintTo(const UpdateChecker::State& state, std::ostream* out) {
    *out << "state #" << state.index();
    if (const auto* failed = std::get_if<UpdateChecker::Failed>(&state)) *out << " " << failed->message.toStdString();
}

namespace testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using State = UpdateChecker::State;
using Response = TestHttpServer::Response;
const State checking = UpdateChecker::Checking{}, idle = UpdateChecker::Idle{}, downloading = UpdateChecker::Downloading{};
const State unreadable = UpdateChecker::Failed{UpdateChecker::manifestUnreadableMessage};
const State incomplete = UpdateChecker::Failed{UpdateChecker::downloadIncompleteMessage};
const State mismatch = UpdateChecker::Failed{UpdateChecker::checksumMismatchMessage};
const State timedOut = UpdateChecker::Failed{UpdateChecker::timedOutMessage};
const QString manifestPath = "/bar/latest.json";

QByteArray manifest(const QString& version, const QString& package = "https://releases.example/a.deb") {
    return QStringLiteral(R"({"version":"%1","package_url":"%2"})").arg(version, package).toUtf8();
}
QString sha(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}
bool isBusy(const State& s) {
    return std::holds_alternative<UpdateChecker::Checking>(s) || std::holds_alternative<UpdateChecker::Downloading>(s);
}

// A checker talking to the scripted server, with its own settings file and a clock the test
// steps; every notification is recorded.
class UpdateCheckerTest : public ::testing::Test {
protected:
    UpdateCheckerTest() { make(options()); }

    UpdateChecker::Options options() {
        UpdateChecker::Options o;
        o.manifestURL = server.url(manifestPath);
        o.defaults = defaults;
        o.clock = [this] { return now; };
        return o;
    }
    void make(UpdateChecker::Options o) {
        checker = std::make_unique<UpdateChecker>(std::move(o));
        checker->setOnChange([this](const State& s) {
            changes.push_back(s);
            offMainThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        });
        changes.clear();
    }
    // Until no transfer runs and every change has been delivered.
    bool settle() {
        return waitUntil([this] { return !isBusy(checker->state()) && !changes.empty() && changes.back() == checker->state(); });
    }
    ReleaseInfo package(const QString& version, std::optional<QString> sha256 = std::nullopt) {
        return ReleaseInfo{version, server.url("/package"), std::move(sha256), std::nullopt};
    }
    std::optional<UpdateChecker::TimePoint> lastCheck() const { return defaults.date(UpdateChecker::lastCheckKey); }
    // The settings file keeps milliseconds.
    UpdateChecker::TimePoint storedNow() const { return std::chrono::time_point_cast<std::chrono::milliseconds>(now); }

    TestHttpServer server;
    UserDefaults defaults{freshFilePath()};
    UpdateChecker::TimePoint now{1'700'000'000'123'456'789ns};
    std::vector<State> changes;
    bool offMainThread = false;
    std::unique_ptr<UpdateChecker> checker;
};

TEST_F(UpdateCheckerTest, manifestAnswersEndInTheirStates) {
    const QByteArray newer = manifest("99.0");
    const State available = UpdateChecker::Available{*UpdateChecker::parse(newer)};
    const State upToDate = UpdateChecker::UpToDate{now};
    const QByteArray huge = newer + QByteArray(ReleaseInfo::maximumManifestSize, ' ');
    // name, answer, user-initiated, resulting state
    const std::tuple<const char*, Response, bool, State> rows[] = {
        {"newer", {200, newer}, false, available},
        {"same version", {200, manifest(AppVersion::current())}, true, upToDate},
        {"older", {200, manifest("0.0.1")}, false, upToDate},
        {"404", {404, "no"}, true, unreadable},
        {"404, automatic", {404, "no"}, false, idle},
        {"503", {503, "busy"}, true, unreadable},
        {"500, automatic", {500, ""}, false, idle},
        {"203 with a manifest", {203, newer}, true, unreadable},
        {"refused manifest", {200, manifest("99.0", "http://releases.example/a.deb")}, true, unreadable},
        {"refused manifest, automatic", {200, "[]"}, false, idle},
        {"over 1 MiB", {200, huge}, true, unreadable},
        // Refused on the announced length, before the (cut-off) body arrives.
        {"announcing over 1 MiB", {.status = 200, .body = newer, .announcedLength = 5 << 20}, true, unreadable},
    };
    for (const auto& [name, response, userInitiated, expected] : rows) {
        SCOPED_TRACE(name);
        server.respond(manifestPath, response);
        changes.clear();
        defaults.remove(UpdateChecker::lastCheckKey);
        checker->check(userInitiated);
        ASSERT_TRUE(settle());
        EXPECT_THAT(changes, ElementsAre(checking, expected));
        EXPECT_EQ(lastCheck(), storedNow());
    }
    EXPECT_FALSE(offMainThread);
}

TEST_F(UpdateCheckerTest, stalledTransfersTimeOut) {
    server.respond(manifestPath, {200, manifest("99.0"), true});
    server.respond("/package", {200, "bytes", true});
    auto o = options();
    o.manifestIdleTimeout = 100ms;  // without progress
    make(o);
    checker->check(true);
    ASSERT_TRUE(settle());
    EXPECT_EQ(changes.back(), timedOut);

    o.totalTimeout = 100ms;  // in all, however it progresses
    o.manifestIdleTimeout = o.transferIdleTimeout = 60s;
    make(o);
    checker->download(package("1.0"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(changes.back(), timedOut);
}

// Nothing listens on the port: a check the user asked for fails in the system's words, an
// automatic one goes back to idle.
TEST_F(UpdateCheckerTest, refusedConnectionFailsOnlyWhenTheUserAsked) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    auto o = options();
    o.manifestURL = QUrl(QStringLiteral("http://127.0.0.1:%1/bar/latest.json").arg(closedPort));
    make(o);
    checker->check(true);
    ASSERT_TRUE(settle());
    EXPECT_EQ(changes.back(), State{UpdateChecker::Failed{QString::fromLocal8Bit(std::strerror(ECONNREFUSED))}});
    checker->check(false);
    ASSERT_TRUE(settle());
    EXPECT_EQ(changes.back(), idle);
    EXPECT_EQ(lastCheck(), storedNow());
}

// A manifest or a package on https that redirects to plain http is not followed there.
TEST_F(UpdateCheckerTest, redirectFromHttpsToHttpIsRefused) {
    trustTestCertificate();
    TestHttpServer secure(TestHttpServer::Scheme::https);
    const QUrl plain = server.url("/elsewhere");
    server.respond("/elsewhere", {200, manifest("99.0")});
    secure.respond(manifestPath, {.status = 302, .body = {}, .location = plain.toEncoded()});
    secure.respond("/package", {.status = 302, .body = {}, .location = plain.toEncoded()});
    secure.respond("/good", {.status = 302, .body = {}, .location = secure.url(manifestPath + ".2").toEncoded()});
    secure.respond(manifestPath + ".2", {200, manifest("99.0")});

    auto o = options();
    o.manifestURL = secure.url("/good");  // https to https is followed
    make(o);
    checker->check(true);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(std::holds_alternative<UpdateChecker::Available>(changes.back())) << ::testing::PrintToString(changes.back());

    const auto refusedRedirect = [&] {
        const auto* failed = std::get_if<UpdateChecker::Failed>(&changes.back());
        return failed && failed->message.contains("redirect", Qt::CaseInsensitive);
    };
    o.manifestURL = secure.url(manifestPath);
    make(o);
    checker->check(true);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(refusedRedirect()) << ::testing::PrintToString(changes.back());
    checker->download(ReleaseInfo{"3.0", secure.url("/package"), std::nullopt, std::nullopt});
    ASSERT_TRUE(settle());
    EXPECT_TRUE(refusedRedirect()) << ::testing::PrintToString(changes.back());
    EXPECT_EQ(server.requests("/elsewhere"), 0);
    EXPECT_EQ(secure.requests("/package"), 1);
}

TEST_F(UpdateCheckerTest, equalVersionTwiceNotifiesEachTime) {
    server.respond(manifestPath, {200, manifest(AppVersion::current())});
    const auto first = now;
    checker->check(true);
    ASSERT_TRUE(settle());
    now += 1min;
    checker->check(false);
    ASSERT_TRUE(settle());
    EXPECT_THAT(changes, ElementsAre(checking, State{UpdateChecker::UpToDate{first}}, checking,
                                     State{UpdateChecker::UpToDate{now}}));
}

TEST_F(UpdateCheckerTest, checkWhileBusySendsNothing) {
    server.respond(manifestPath, {200, manifest("99.0"), true});
    server.respond("/package", {200, "bytes", true});
    checker->check(false);
    ASSERT_TRUE(waitUntil([&] { return server.requests(manifestPath) == 1; }));
    checker->check(true);
    EXPECT_EQ(checker->state(), checking);
    server.releaseHeld();
    ASSERT_TRUE(settle());

    checker->download(package("99.0"));
    ASSERT_TRUE(waitUntil([&] { return server.requests("/package") == 1; }));
    checker->check(true);
    EXPECT_EQ(checker->state(), downloading);
    server.releaseHeld();
    ASSERT_TRUE(settle());
    EXPECT_EQ(server.requests(manifestPath), 1);
    EXPECT_EQ(changes.size(), 4u);
}

TEST_F(UpdateCheckerTest, downloadsAreVerifiedBeforeTheyAreOffered) {
    QByteArray small(100'000, 'a'), large(3 * 1024 * 1024 + 12345, 'b');  // large: several hash reads
    const QString destination = *UpdateChecker::packagePath(u"1.4.0");
    const State ready = UpdateChecker::ReadyToInstall{QUrl::fromLocalFile(destination)};
    // name, answer, checksum in the manifest, resulting state (none: a transfer error)
    const std::tuple<const char*, Response, std::optional<QString>, std::optional<State>> rows[] = {
        {"checksum in capitals", {200, small}, sha(small).toUpper(), ready},
        {"several chunks", {200, large}, sha(large), ready},
        {"no checksum, not verified", {200, small}, std::nullopt, ready},
        {"checksum differs", {200, small}, sha(large), mismatch},
        {"404", {404, small}, sha(small), incomplete},
        {"cut off", {.status = 200, .body = small, .announcedLength = 200'000}, std::nullopt, std::nullopt},
    };
    for (const auto& [name, response, checksum, expected] : rows) {
        SCOPED_TRACE(name);
        server.respond("/package", response);
        changes.clear();
        checker->download(package("1.4.0", checksum));
        ASSERT_TRUE(settle());
        if (expected) {
            EXPECT_THAT(changes, ElementsAre(downloading, *expected));
        } else {  // in the platform's words, or ours when the close raced the last bytes
            EXPECT_TRUE(std::holds_alternative<UpdateChecker::Failed>(changes.back()));
        }
        EXPECT_EQ(readFile(destination), expected == ready ? response.body : QByteArray());
        EXPECT_TRUE(waitUntil([&] { return QFileInfo(destination).dir().entryList({"avrane-download-*"}).isEmpty(); }));
        QFile::remove(destination);
    }
    EXPECT_FALSE(offMainThread);
}

TEST_F(UpdateCheckerTest, secondDownloadOfAVersionReplacesTheFirst) {
    for (const QByteArray& body : {QByteArray("first package, the longer one"), QByteArray("second")}) {
        server.respond("/package", {200, body});
        checker->download(package("2.0", sha(body)));
        ASSERT_TRUE(settle());
        EXPECT_TRUE(std::holds_alternative<UpdateChecker::ReadyToInstall>(checker->state()));
        EXPECT_EQ(readFile(*UpdateChecker::packagePath(u"2.0")), body);
    }
}

TEST_F(UpdateCheckerTest, versionThatWouldLeaveTheTemporaryFolderIsRefused) {
    checker->download(package("../../outside"));
    ASSERT_TRUE(settle());
    EXPECT_THAT(changes, ElementsAre(downloading, unreadable));
    EXPECT_EQ(server.requests("/package"), 0);
}

TEST_F(UpdateCheckerTest, checkIfDueFollowsTheStoredSchedule) {
    server.respond(manifestPath, {200, manifest(AppVersion::current())});
    // name, stored interval, time since the last check (negative: in the future), whether it checks
    const std::tuple<const char*, const char*, std::optional<std::chrono::seconds>, bool> rows[] = {
        {"first launch", nullptr, std::nullopt, true},
        {"hourly, 30 min", "hourly", 30min, false},
        {"first launch, never", "never", std::nullopt, false},
        {"never, long ago", "never", 3650 * 24h, false},
        {"hourly, 60 min", "hourly", 60min, true},
        {"weekly, 6 days", "weekly", 6 * 24h, false},
        {"daily when unset, 23 h", nullptr, 23h, false},
        {"daily when unset, 24 h", nullptr, 24h, true},
        {"unknown reads daily, 23 h", "Hourly", 23h, false},
        {"unknown reads daily, 24 h", "fortnightly", 24h, true},
        {"date in the future", "hourly", -2h, false},
    };
    for (const auto& [name, interval, ago, checks] : rows) {
        SCOPED_TRACE(name);
        defaults.remove(UpdateChecker::intervalKey);
        defaults.remove(UpdateChecker::lastCheckKey);
        if (interval) defaults.setText(UpdateChecker::intervalKey, interval);
        if (ago) defaults.setDate(UpdateChecker::lastCheckKey, now - *ago);
        checker->checkIfDue();
        EXPECT_EQ(isBusy(checker->state()), checks);
        if (checks) {
            ASSERT_TRUE(settle());
        }
    }
    EXPECT_EQ(server.requests(manifestPath), 4);
}

}  // namespace
}  // namespace testing
}  // namespace avrane
