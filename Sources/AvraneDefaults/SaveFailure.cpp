#include "AvraneDefaults/SaveFailure.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <QFile>
#include <QFileInfo>

namespace avrane {
namespace {

SaveFailure fromErrno(int error, const QString& folder) {
    SaveFailure failure;
    failure.folder = folder;
    failure.detail = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: failure.reason = SaveFailure::Reason::readOnly; break;
    case ENOSPC:
    case EDQUOT: failure.reason = SaveFailure::Reason::noSpace; break;
    default: failure.reason = SaveFailure::Reason::other; break;
    }
    return failure;
}

// The error of creating, in `folder` or the nearest folder above it that exists, what the
// save would have created there; 0 when that works.
int creationError(const QString& folder) {
    if (!QFileInfo::exists(folder)) {
        // The first folder of the path that is missing.
        QString missing = folder;
        for (QString parent = QFileInfo(missing).absolutePath(); !QFileInfo::exists(parent) && parent != missing;
             parent = QFileInfo(parent).absolutePath()) {
            missing = parent;
        }
        const QByteArray path = QFile::encodeName(missing);
        if (::mkdir(path.constData(), 0700) != 0) return errno;
        ::rmdir(path.constData());
        return 0;
    }
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/.avrane-save-XXXXXX"));
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) return errno;
    int error = 0;
    if (::write(descriptor, "\n", 1) != 1 || ::fsync(descriptor) != 0) error = errno;
    ::close(descriptor);
    ::unlink(pattern.constData());
    return error;
}

}  // namespace

SaveFailure SaveFailure::diagnose(const QString& filePath) {
    const QString folder = QFileInfo(filePath).absolutePath();
    if (const int error = creationError(folder); error != 0) return fromErrno(error, folder);
    // The folder takes new files: something about the file itself (a folder in its place).
    SaveFailure failure;
    failure.folder = folder;
    failure.detail = QStringLiteral("%1 could not be replaced").arg(QFileInfo(filePath).fileName());
    return failure;
}

std::string SaveFailure::description() const {
    return (folder + QStringLiteral(": ") + detail).toStdString();
}

}  // namespace avrane
