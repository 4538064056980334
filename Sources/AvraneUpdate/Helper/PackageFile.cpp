#include "PackageFile.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "AvraneUpdate/UpdateChecker.h"

namespace avrane::helper {

namespace {

const QLatin1String temporaryPrefix("avrane-download-");

// The temporary file's name for the signal handler, which may only call async-signal-safe
// functions: set before `pendingSet`, and unset before the file is renamed or removed.
std::array<char, 4096> pendingName{};
volatile std::sig_atomic_t pendingSet = 0;

extern "C" void removePendingAndEnd(int signal) {
    if (pendingSet) ::unlink(pendingName.data());
    ::_exit(128 + signal);
}

void setPending(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(pendingName.size())) return;
    std::memcpy(pendingName.data(), name.constData(), std::size_t(name.size()) + 1);
    pendingSet = 1;
}

}  // namespace

void PackageFile::removeOnSignals() {
    struct sigaction action {};
    action.sa_handler = removePendingAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

PackageFile::PackageFile(QString destination) : destination_(std::move(destination)) {}

PackageFile::~PackageFile() {
    pendingSet = 0;
}

std::optional<QString> PackageFile::open(std::chrono::milliseconds staleAfter) {
    const QDir folder = QFileInfo(destination_).dir();
    if (!folder.mkpath(QStringLiteral("."))) return UpdateChecker::noDownloadFolderMessage;
    const QDateTime staleBefore = QDateTime::currentDateTimeUtc().addMSecs(-staleAfter.count());
    for (const QFileInfo& leftover : folder.entryInfoList({temporaryPrefix + u'*'}, QDir::Files | QDir::Hidden)) {
        if (leftover.lastModified() < staleBefore) QFile::remove(leftover.filePath());
    }
    // Beside the destination, so that putting it there is a rename.
    file_ = std::make_unique<QTemporaryFile>(folder.filePath(temporaryPrefix + QStringLiteral("XXXXXX")));
    if (!file_->open()) return file_->errorString();
    setPending(file_->fileName());
    return std::nullopt;
}

std::optional<QString> PackageFile::append(QByteArrayView bytes) {
    hash_.addData(bytes);
    size_ += bytes.size();
    if (file_->write(bytes.data(), bytes.size()) != bytes.size()) return file_->errorString();
    return std::nullopt;
}

QString PackageFile::sha256() {
    return QString::fromLatin1(hash_.result().toHex());
}

std::optional<QString> PackageFile::commit() {
    // On disk before it has the name the installer is given.
    if (!file_->flush() || ::fsync(file_->handle()) != 0) return file_->errorString();
    const QString temporary = file_->fileName();
    file_->close();
    pendingSet = 0;
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(destination_).constData()) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    file_->setAutoRemove(false);

    const QFileInfo placed(destination_);
    const QString pattern =
        QLatin1String(UpdateChecker::packagePrefix) + u'*' + QLatin1String(UpdateChecker::packageSuffix);
    for (const QFileInfo& older : placed.dir().entryInfoList({pattern}, QDir::Files | QDir::Hidden)) {
        if (older.fileName() != placed.fileName()) QFile::remove(older.filePath());
    }
    return std::nullopt;
}

}  // namespace avrane::helper
