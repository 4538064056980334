#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include "UpdateCheckerFixture.h"

namespace avrane::testing {
namespace {

using namespace std::chrono_literals;
using Response = TestHttpServer::Response;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const UpdateChecker::Failed manifestUnreadable{UpdateChecker::manifestUnreadableMessage};

QByteArray padded(QByteArray body, qsizetype size) {
    body.append(size - body.size(), ' ');
    return body;
}

struct CheckRow {
    const char* name;
    Response response;
    bool userInitiated;
    State expected;
};

TEST_F(UpdateCheckerTest, manifestAnswersEndInTheirStates) {
    const QString current = AppVersion::current();
    const TimePoint at = now;
    const CheckRow rows[] = {
        {"newer", {200, manifest("99.0")}, true, UpdateChecker::Available{releaseOf("99.0")}},
        {"newer, automatic", {200, manifest("99.0")}, false, UpdateChecker::Available{releaseOf("99.0")}},
        {"same version", {200, manifest(current)}, true, UpdateChecker::UpToDate{at}},
        {"older, automatic", {200, manifest("0.0.1")}, false, UpdateChecker::UpToDate{at}},
        {"404", {404, "no"}, true, manifestUnreadable},
        {"404, automatic", {404, "no"}, false, UpdateChecker::Idle{}},
        {"500 with a manifest", {500, manifest("99.0")}, true, manifestUnreadable},
        {"203 with a manifest", {203, manifest("99.0")}, true, manifestUnreadable},
        {"refused manifest", {200, manifest("99.0", "http://releases.example/a.deb")}, true, manifestUnreadable},
        {"refused manifest, automatic", {200, "[]"}, false, UpdateChecker::Idle{}},
        {"empty body", {200, ""}, true, manifestUnreadable},
        {"over 1 MiB", {200, padded(manifest("99.0"), ReleaseInfo::maximumManifestSize + 1)}, true,
         manifestUnreadable},
        // Refused on the announced length, before the body (cut short here) arrives.
        {"announces over 1 MiB", {.status = 200, .body = manifest("99.0"), .announcedLength = 5 << 20}, true,
         manifestUnreadable},
        {"over 1 MiB, automatic", {200, padded(manifest("99.0"), 3 * ReleaseInfo::maximumManifestSize)}, false,
         UpdateChecker::Idle{}},
    };
    for (const CheckRow& row : rows) {
        SCOPED_TRACE(row.name);
        server.respond(manifestPath, row.response);
        changes.clear();
        defaults.remove(UpdateChecker::lastCheckKey);

        checker->check(row.userInitiated);
        ASSERT_TRUE(settle());
        EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Checking{}}, row.expected));
        EXPECT_EQ(defaults.date(UpdateChecker::lastCheckKey), storedNow());
    }
    EXPECT_FALSE(offMainThread);
}

TEST_F(UpdateCheckerTest, transferFailuresShowOnlyWhenTheUserAsked) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/latest.json").arg(closed.serverPort()));
    closed.close();
    auto o = options();
    o.manifestURL = refused;
    makeChecker(o);

    checker->check(true);
    ASSERT_TRUE(settle());
    ASSERT_EQ(changes.size(), 2u);
    const auto* failed = std::get_if<UpdateChecker::Failed>(&changes[1]);
    ASSERT_NE(failed, nullptr);
    EXPECT_FALSE(failed->message.isEmpty());
    EXPECT_NE(failed->message, UpdateChecker::manifestUnreadableMessage);
    EXPECT_EQ(defaults.date(UpdateChecker::lastCheckKey), storedNow());

    now += 10s;
    changes.clear();
    checker->check(false);
    ASSERT_TRUE(settle());
    EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Checking{}}, State{UpdateChecker::Idle{}}));
    EXPECT_EQ(defaults.date(UpdateChecker::lastCheckKey), storedNow());
}

TEST_F(UpdateCheckerTest, stalledTransfersTimeOut) {
    server.respond(manifestPath, {200, manifest("99.0"), true});
    server.respond("/package", {200, "bytes", true});
    struct Row {
        const char* name;
        std::chrono::milliseconds idle, total;
    };
    for (const Row& row : {Row{"without progress", 150ms, 60s}, Row{"in all", 60s, 150ms}}) {
        SCOPED_TRACE(row.name);
        auto o = options();
        o.manifestIdleTimeout = o.transferIdleTimeout = row.idle;
        o.totalTimeout = row.total;
        makeChecker(o);
        changes.clear();

        checker->check(true);
        ASSERT_TRUE(settle());
        EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Checking{}},
                                         State{UpdateChecker::Failed{UpdateChecker::timedOutMessage}}));

        checker->download(releaseOf("1.0", qPrintable(server.url("/package").toString())));
        ASSERT_TRUE(settle());
        EXPECT_EQ(changes.back(), State{UpdateChecker::Failed{UpdateChecker::timedOutMessage}});
    }
}

TEST_F(UpdateCheckerTest, equalVersionTwiceNotifiesEachTime) {
    server.respond(manifestPath, {200, manifest(AppVersion::current())});
    const TimePoint first = now;
    checker->check(true);
    ASSERT_TRUE(settle());
    now += 1min;
    checker->check(false);
    ASSERT_TRUE(settle());
    EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Checking{}}, State{UpdateChecker::UpToDate{first}},
                                     State{UpdateChecker::Checking{}}, State{UpdateChecker::UpToDate{now}}));
}

TEST_F(UpdateCheckerTest, checkWhileBusySendsNothing) {
    server.respond(manifestPath, {200, manifest("99.0"), true});
    checker->check(false);
    ASSERT_TRUE(waitUntil([&] { return server.requests(manifestPath) == 1; }));
    checker->check(true);
    checker->check(false);
    EXPECT_EQ(checker->state(), State{UpdateChecker::Checking{}});
    server.releaseHeld();
    ASSERT_TRUE(settle());
    EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Checking{}},
                                     State{UpdateChecker::Available{releaseOf("99.0")}}));

    server.respond("/package", {200, "bytes", true});
    checker->download(releaseOf("99.0", qPrintable(server.url("/package").toString())));
    ASSERT_TRUE(waitUntil([&] { return server.requests("/package") == 1; }));
    checker->check(true);
    EXPECT_EQ(checker->state(), State{UpdateChecker::Downloading{}});
    server.releaseHeld();
    ASSERT_TRUE(settle());
    EXPECT_EQ(server.requests(manifestPath), 1);
    EXPECT_TRUE(std::holds_alternative<UpdateChecker::ReadyToInstall>(checker->state()));
}

TEST_F(UpdateCheckerTest, destroyedWhileCheckingStaysSilent) {
    server.respond(manifestPath, {200, manifest("99.0"), true});
    checker->check(true);
    ASSERT_TRUE(waitUntil([&] { return server.requests(manifestPath) == 1 && !changes.empty(); }));
    checker.reset();
    server.releaseHeld();
    QCoreApplication::processEvents();
    EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Checking{}}));
}

QString hexDigest(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(5);
    for (char& byte : bytes) byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

bool leftoverDownloads() {
    return !QDir(QDir::tempPath()).entryList({QStringLiteral("avrane-download-*")}, QDir::Files).isEmpty();
}

struct DownloadRow {
    const char* name;
    Response response;
    std::optional<QString> sha256;
    bool installed;  // else failed with `message`
    QString message = {};
};

TEST_F(UpdateCheckerTest, downloadsAreVerifiedBeforeTheyAreOffered) {
    const QByteArray package = randomBytes(100'000);
    // Larger than one read of the hash, so the digest spans several chunks.
    const QByteArray large = randomBytes(3 * 1024 * 1024 + 12345);
    const DownloadRow rows[] = {
        {"checksum in capitals", {200, package}, hexDigest(package).toUpper(), true},
        {"several chunks", {200, large}, hexDigest(large), true},
        {"no checksum, not verified", {200, package}, std::nullopt, true},
        {"checksum differs", {200, package}, hexDigest(large), false, UpdateChecker::checksumMismatchMessage},
        {"404", {404, package}, hexDigest(package), false, UpdateChecker::downloadIncompleteMessage},
        {"206", {206, package}, std::nullopt, false, UpdateChecker::downloadIncompleteMessage},
    };
    const QString destination = *UpdateChecker::packagePath(QStringLiteral("1.4.0"));
    for (const DownloadRow& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(destination);
        server.respond("/package", row.response);
        ReleaseInfo release = releaseOf("1.4.0", qPrintable(server.url("/package").toString()));
        release.sha256 = row.sha256;
        changes.clear();

        checker->download(release);
        ASSERT_TRUE(settle());
        if (row.installed) {
            EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Downloading{}},
                                             State{UpdateChecker::ReadyToInstall{QUrl::fromLocalFile(destination)}}));
            EXPECT_EQ(readFile(destination), row.response.body);
        } else {
            EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Downloading{}}, State{UpdateChecker::Failed{row.message}}));
            EXPECT_FALSE(QFile::exists(destination));
        }
        EXPECT_TRUE(waitUntil([] { return !leftoverDownloads(); }));
    }
    EXPECT_FALSE(offMainThread);
}

TEST_F(UpdateCheckerTest, cutOffDownloadIsNotInstalled) {
    server.respond("/package", {.status = 200, .body = "partial", .announcedLength = 5000});
    const QString destination = *UpdateChecker::packagePath(QStringLiteral("1.4.0"));
    checker->download(releaseOf("1.4.0", qPrintable(server.url("/package").toString())));
    ASSERT_TRUE(settle());
    const auto* failed = std::get_if<UpdateChecker::Failed>(&checker->state());
    ASSERT_NE(failed, nullptr);
    EXPECT_NE(failed->message, UpdateChecker::downloadIncompleteMessage);
    EXPECT_FALSE(QFile::exists(destination));
    EXPECT_TRUE(waitUntil([] { return !leftoverDownloads(); }));
}

TEST_F(UpdateCheckerTest, secondDownloadOfAVersionReplacesTheFirst) {
    const QUrl url = server.url("/package");
    const QString destination = *UpdateChecker::packagePath(QStringLiteral("2.0"));
    for (const QByteArray& body : {QByteArray("first package, longer than the second"), QByteArray("second")}) {
        server.respond("/package", {200, body});
        ReleaseInfo release = releaseOf("2.0", qPrintable(url.toString()));
        release.sha256 = hexDigest(body);
        checker->download(release);
        ASSERT_TRUE(settle());
        EXPECT_EQ(checker->state(), State{UpdateChecker::ReadyToInstall{QUrl::fromLocalFile(destination)}});
        EXPECT_EQ(readFile(destination), body);
    }
}

TEST_F(UpdateCheckerTest, versionThatWouldLeaveTheTemporaryFolderIsRefused) {
    server.respond("/package", {200, "payload"});
    checker->download(releaseOf("../../outside", qPrintable(server.url("/package").toString())));
    ASSERT_TRUE(settle());
    EXPECT_THAT(changes, ElementsAre(State{UpdateChecker::Downloading{}}, State{manifestUnreadable}));
    EXPECT_EQ(server.requests("/package"), 0);
}

TEST(UpdateCheckerHash, digestOfAFileOrWhyNot) {
    const QString empty = freshFilePath(".bin");
    writeFile(empty, {});
    EXPECT_EQ(UpdateChecker::sha256(empty),
              QString("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));

    QString error;
    EXPECT_EQ(UpdateChecker::sha256(freshFilePath(".missing"), &error), std::nullopt);
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace avrane::testing
