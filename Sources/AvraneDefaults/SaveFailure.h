#pragma once

#include <cstdint>
#include <string>

#include <QString>

namespace avrane {

// Why a small file of the user's (the settings, the autostart entry) could not be written,
// worked out afterwards by trying to create a file beside it: QSettings and QSaveFile report
// only that a write failed, not why.
struct SaveFailure {
    enum class Reason : std::uint8_t {
        readOnly,  // the folder may not be written (permissions, a read-only file system)
        noSpace,   // the disk or the user's quota is full
        other,     // `detail` says what the system said
    };

    Reason reason = Reason::other;
    QString folder;  // the folder the file lives in
    QString detail;  // the system's words for the error

    static SaveFailure diagnose(const QString& filePath);
    std::string description() const;

    bool operator==(const SaveFailure&) const = default;
};

}  // namespace avrane
