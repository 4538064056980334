#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include <QByteArrayView>
#include <QCryptographicHash>
#include <QString>
#include <QTemporaryFile>

namespace avrane::helper {

// A package as it arrives: written to a temporary file beside its destination and hashed on
// the way. It takes the destination's name only when `commit` is called, which the helper does
// once its integrity is established; otherwise the temporary file is removed, also when the
// helper is ended by SIGTERM, SIGINT or SIGHUP.
class PackageFile {
public:
    explicit PackageFile(QString destination);
    ~PackageFile();
    PackageFile(const PackageFile&) = delete;
    PackageFile& operator=(const PackageFile&) = delete;

    // Makes the folder and the temporary file, removing temporary files of earlier helpers
    // untouched for longer than `staleAfter` (a helper that was killed cannot remove its own).
    // The reason when it cannot.
    std::optional<QString> open(std::chrono::milliseconds staleAfter);
    // The reason when the bytes cannot be written.
    std::optional<QString> append(QByteArrayView bytes);
    qint64 size() const { return size_; }
    // Lower-case hex SHA-256 of everything appended; call once, at the end.
    QString sha256();
    // Saved to disk and renamed to the destination, replacing what had that name; then the
    // other packages in the folder are removed. The reason when it cannot be put in place.
    std::optional<QString> commit();

    // Sets SIGTERM, SIGINT and SIGHUP to remove the temporary file of the open package and end
    // the program.
    static void removeOnSignals();

private:
    QString destination_;
    std::unique_ptr<QTemporaryFile> file_;
    QCryptographicHash hash_{QCryptographicHash::Sha256};
    qint64 size_ = 0;
};

}  // namespace avrane::helper
