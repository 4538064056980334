#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "AvraneUpdate/AppVersion.h"
#include "AvraneUpdate/HelperProcess.h"
#include "AvraneUpdate/UpdateChecker.h"
#include "Support/QtTestSupport.h"
#include "Support/TestHttpServer.h"

namespace avrane {

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
const State unverifiable = UpdateChecker::Failed{UpdateChecker::unverifiableMessage};
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
// Gone, or a zombie nobody has reaped yet (a container's first process may never do it).
bool hasEnded(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray fields = stat.readAll();
    return fields.mid(fields.lastIndexOf(')') + 2, 1) == "Z";
}
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A checker running the real helper against the scripted server, with its own settings file
// and a clock the test steps; every notification is recorded.
class UpdateCheckerTest : public ::testing::Test {
protected:
    UpdateCheckerTest() { make(options()); }
    ~UpdateCheckerTest() override { QDir(UpdateChecker::downloadFolder()).removeRecursively(); }

    UpdateChecker::Options options() {
        UpdateChecker::Options o;
        o.manifestURL = server.url(manifestPath);
        o.helperPath = AVRANE_UPDATE_HELPER;
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
    // Until no helper runs and every change has been delivered.
    bool settle() {
        return waitUntil([this] { return !isBusy(checker->state()) && !changes.empty() && changes.back() == checker->state(); });
    }
    ReleaseInfo package(const QString& version, std::optional<QString> sha256 = std::nullopt) {
        return ReleaseInfo{version, server.url("/package"), std::move(sha256), std::nullopt};
    }
    std::optional<UpdateChecker::TimePoint> lastCheck() const { return defaults.date(UpdateChecker::lastCheckKey); }
    // The settings file keeps milliseconds.
    UpdateChecker::TimePoint storedNow() const { return std::chrono::time_point_cast<std::chrono::milliseconds>(now); }
    // A stand-in for the helper: a shell script.
    QString script(const QString& name, const QByteArray& body) {
        const QString path = QDir::temp().filePath(name);
        writeFile(path, "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

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
        {"503", {503, "busy"}, true, unreadable},
        {"500, automatic", {500, ""}, false, idle},
        {"203 with a manifest", {203, newer}, true, unreadable},
        {"refused manifest", {200, manifest("99.0", "http://releases.example/a.deb")}, true, unreadable},
        {"refused manifest, automatic", {200, "[]"}, false, idle},
        {"over 1 MiB", {200, huge}, true, unreadable},
        {"over 1 MiB, without a length", {.status = 200, .body = huge, .withoutLength = true}, true, unreadable},
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

// The server's certificate is verified; a manifest or a package on https that redirects to
// plain http is not followed there.
TEST_F(UpdateCheckerTest, httpsIsVerifiedAndNeverLeftForHttp) {
    TestHttpServer secure(TestHttpServer::Scheme::https);
    auto o = options();
    o.manifestURL = secure.url(manifestPath);
    make(o);
    checker->check(true);
    ASSERT_TRUE(settle());
    const auto* untrusted = std::get_if<UpdateChecker::Failed>(&changes.back());
    EXPECT_TRUE(untrusted && untrusted->message.contains("certificate")) << ::testing::PrintToString(changes.back());

    // Trusted from here on.
    o.caCertificates = freshFilePath(".pem");
    writeFile(o.caCertificates, testCertificatePem);
    const QUrl plain = server.url("/elsewhere");
    server.respond("/elsewhere", {200, manifest("99.0")});
    secure.respond(manifestPath, {.status = 302, .body = {}, .location = plain.toEncoded()});
    secure.respond("/package", {.status = 302, .body = {}, .location = plain.toEncoded()});
    secure.respond("/good", {.status = 302, .body = {}, .location = secure.url(manifestPath + ".2").toEncoded()});
    secure.respond(manifestPath + ".2", {200, manifest("99.0")});

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

// One helper at a time: a check while one runs starts none; a download ends a running check
// (which then records no check); cancelling ends the helper and goes back where it was.
TEST_F(UpdateCheckerTest, oneHelperAtATime) {
    server.respond(manifestPath, {200, manifest("99.0"), true});
    server.respond("/package", {200, "bytes", true});
    checker->check(false);
    ASSERT_TRUE(waitUntil([&] { return server.requests(manifestPath) == 1; }));
    const qint64 checkHelper = checker->helperProcessId().value_or(0);
    checker->check(true);
    EXPECT_EQ(checker->state(), checking);
    EXPECT_EQ(checker->helperProcessId(), checkHelper);

    const ReleaseInfo release = package("99.0");
    checker->download(release);
    EXPECT_TRUE(hasEnded(checkHelper));
    ASSERT_TRUE(waitUntil([&] { return server.requests("/package") == 1; }));
    checker->check(true);
    EXPECT_EQ(checker->state(), downloading);
    const qint64 downloadHelper = checker->helperProcessId().value_or(0);
    checker->cancel();
    EXPECT_TRUE(hasEnded(downloadHelper));
    ASSERT_TRUE(settle());
    EXPECT_THAT(changes, ElementsAre(checking, downloading, State{UpdateChecker::Available{release}}));
    EXPECT_EQ(server.requests(manifestPath), 1);
    EXPECT_EQ(lastCheck(), std::nullopt);
    // The helper took its partial package away when it was ended.
    EXPECT_THAT(filesIn(UpdateChecker::downloadFolder()), ::testing::IsEmpty());
    server.releaseHeld();
}

TEST_F(UpdateCheckerTest, onlyAPackageOfEstablishedIntegrityIsOffered) {
    auto o = options();
    o.maximumPackageSize = 4 << 20;
    make(o);
    QByteArray small(100'000, 'a'), large(3 * 1024 * 1024 + 12345, 'b'), tooLarge(o.maximumPackageSize + 1, 'c');
    const QString destination = *UpdateChecker::packagePath(u"1.4.0");
    const State ready = UpdateChecker::ReadyToInstall{QUrl::fromLocalFile(destination)};
    const State overTheLimit = UpdateChecker::Failed{UpdateChecker::tooLargeMessage(o.maximumPackageSize)};
    // name, answer, checksum in the manifest, resulting state (none: a transfer error)
    const std::tuple<const char*, Response, std::optional<QString>, std::optional<State>> rows[] = {
        {"checksum in capitals", {200, small}, sha(small).toUpper(), ready},
        {"many parts", {200, large}, sha(large), ready},
        {"checksum, without a length", {.status = 200, .body = small, .withoutLength = true}, sha(small), ready},
        {"no checksum: the announced length vouches", {200, small}, std::nullopt, ready},
        {"checksum differs", {200, small}, sha(large), mismatch},
        {"checksum not hex", {200, small}, "zz", mismatch},
        {"404", {404, small}, sha(small), incomplete},
        {"cut off", {.status = 200, .body = small, .announcedLength = 200'000}, std::nullopt, std::nullopt},
        {"no checksum, without a length", {.status = 200, .body = small, .withoutLength = true}, std::nullopt, unverifiable},
        {"announcing over the limit", {.status = 200, .body = small, .announcedLength = 1ll << 40}, sha(small), overTheLimit},
        {"over the limit, without a length", {.status = 200, .body = tooLarge, .withoutLength = true}, sha(tooLarge), overTheLimit},
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
        // Nothing else: a package that failed never had a name, not even a temporary one.
        EXPECT_EQ(filesIn(UpdateChecker::downloadFolder()), expected == ready ? QStringList{"avrane-linux-1.4.0.deb"} : QStringList{});
        QFile::remove(destination);
    }
    EXPECT_FALSE(offMainThread);
}

// A new package replaces the one of the same version and removes the older ones, with what a
// killed helper left behind; a failed download leaves them all.
TEST_F(UpdateCheckerTest, theCacheFolderKeepsOnlyTheNewestPackage) {
    const QString folder = UpdateChecker::downloadFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    writeFile(folder + "/avrane-linux-1.9.deb", "older");
    writeFile(folder + "/avrane-download-Ab12Cd", "left by a killed helper");
    writeFile(folder + "/notes.txt", "not ours");
    QFile leftover(folder + "/avrane-download-Ab12Cd");
    ASSERT_TRUE(leftover.open(QIODevice::ReadWrite) &&
                leftover.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    leftover.close();
    server.respond("/package", {404, ""});
    checker->download(package("2.0"));
    ASSERT_TRUE(settle());
    EXPECT_THAT(filesIn(folder), ElementsAre("avrane-linux-1.9.deb", "notes.txt"));

    for (const QByteArray& body : {QByteArray("first package, the longer one"), QByteArray("second")}) {
        server.respond("/package", {200, body});
        checker->download(package("2.0", sha(body)));
        ASSERT_TRUE(settle());
        EXPECT_TRUE(std::holds_alternative<UpdateChecker::ReadyToInstall>(checker->state()));
        EXPECT_EQ(readFile(*UpdateChecker::packagePath(u"2.0")), body);
    }
    EXPECT_THAT(filesIn(folder), ElementsAre("avrane-linux-2.0.deb", "notes.txt"));
}

// The helper's output is taken only as the one report line it must be. Whatever else goes
// wrong with the helper fails a check the user asked for with a clear message, and leaves
// no helper behind.
TEST_F(UpdateCheckerTest, aHelperThatMisbehavesFailsTheCheck) {
    const QString missing = QDir::temp().filePath("no-such-helper");
    const QString nonsense = HelperProcess::nonsenseMessage, noAnswer = HelperProcess::noAnswerMessage;
    const QByteArray report = R"({"release":{"package_url":"https://r.example/a.deb","version":"99.0"}})";
    // name, the helper (a script's body, or a path), the message of the failed check
    const std::tuple<const char*, QByteArray, QString> rows[] = {
        {"missing", {}, HelperProcess::notStartedMessage(missing, "")},
        {"is killed", "kill -KILL $$\n", noAnswer},
        {"ends silently with status 3", "exit 3\n", noAnswer},
        {"reports, then fails", "echo '" + report + "'\nexit 1\n", noAnswer},
        {"writes nonsense", "echo 'Checking for updates...'\n", nonsense},
        {"spaces its JSON", "echo '{\"failed\": \"x\"}'\n", nonsense},
        {"reports twice at once", "printf '%s\\n%s\\n' '" + report + "' '" + report + "'\n", nonsense},
        {"reports again later", "echo '" + report + "'\nsleep 0.2\necho '" + report + "'\n", nonsense},
        {"ends in the middle of a line", "printf '%s' '" + report + "'\n", nonsense},
        {"reports a download to a check", "echo '{\"ready\":\"/tmp/a.deb\"}'\n", nonsense},
        {"writes without end", "while :; do echo -n xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx; done\n", nonsense},
        {"hangs", "exec sleep 60\n", HelperProcess::hungMessage},
    };
    auto o = options();
    o.totalTimeout = 300ms;
    o.helperGrace = 200ms;
    for (const auto& [name, helper, message] : rows) {
        SCOPED_TRACE(name);
        o.helperPath = helper.isEmpty() ? missing : script("helper.sh", helper);
        make(o);
        checker->check(true);
        const qint64 pid = checker->helperProcessId().value_or(0);
        ASSERT_TRUE(settle());
        const auto* failed = std::get_if<UpdateChecker::Failed>(&changes.back());
        ASSERT_TRUE(failed);
        EXPECT_TRUE(failed->message.startsWith(message)) << failed->message.toStdString();
        EXPECT_TRUE(pid == 0 || hasEnded(pid));
        checker->check(false);
        ASSERT_TRUE(settle());
        EXPECT_EQ(changes.back(), idle);
    }
    // A package is opened only where the checker asked the helper to put it.
    o.helperPath = script("helper.sh", "echo '{\"ready\":\"/tmp/avrane-linux-2.0.deb\"}'\n");
    make(o);
    checker->download(package("2.0"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(changes.back(), State{UpdateChecker::Failed{nonsense}});
}

// The helper ends with the checker, and with the program that made it however that ends:
// killed, it takes its partial package with it.
TEST_F(UpdateCheckerTest, theHelperEndsWithItsProgram) {
    server.respond("/package", {200, "bytes", true});
    checker->download(package("1.0"));
    ASSERT_TRUE(waitUntil([&] { return server.requests("/package") == 1; }));
    const qint64 helper = checker->helperProcessId().value_or(0);
    checker.reset();
    EXPECT_TRUE(hasEnded(helper));

    QProcess host;
    host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    host.start(UPDATE_CHECKER_HOST, {AVRANE_UPDATE_HELPER, server.url("/package").toString()});
    ASSERT_TRUE(host.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return host.canReadLine(); }));
    const qint64 orphan = host.readLine().trimmed().toLongLong();
    ASSERT_GT(orphan, 0);
    ASSERT_TRUE(waitUntil([&] { return server.requests("/package") == 2; }));
    ::kill(pid_t(host.processId()), SIGKILL);
    // Long before its own time limits would end it.
    EXPECT_TRUE(waitUntil([&] { return hasEnded(orphan); }, 5s));
    EXPECT_THAT(filesIn(UpdateChecker::downloadFolder()), ::testing::IsEmpty());
    server.releaseHeld();
}

TEST_F(UpdateCheckerTest, checkIfDueFollowsTheStoredSchedule) {
    server.respond(manifestPath, {200, manifest(AppVersion::current())});
    // name, stored interval, time since the last check (negative: in the future), whether it checks
    const std::tuple<const char*, const char*, std::optional<std::chrono::seconds>, bool> rows[] = {
        {"first launch", nullptr, std::nullopt, true},
        {"hourly, 30 min", "hourly", 30min, false},
        {"never, long ago", "never", 3650 * 24h, false},
        {"hourly, 60 min", "hourly", 60min, true},
        {"daily when unset, 23 h", nullptr, 23h, false},
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
    EXPECT_EQ(server.requests(manifestPath), 3);
}

}  // namespace
}  // namespace testing
}  // namespace avrane
