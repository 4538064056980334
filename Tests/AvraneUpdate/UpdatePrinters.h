#pragma once

#include <ostream>

#include "AvraneUpdate/UpdateChecker.h"
#include "QtSupport/QtTestSupport.h"

inline void PrintTo(const QUrl& url, std::ostream* out) {
    *out << url.toString().toStdString();
}

namespace avrane {

inline void PrintTo(const ReleaseInfo& info, std::ostream* out) {
    *out << "{" << info.version.toStdString() << ", " << info.packageURL.toString().toStdString()
         << ", sha256 " << info.sha256.value_or(QStringLiteral("none")).toStdString() << ", notes "
         << (info.notesURL ? info.notesURL->toString().toStdString() : "none") << "}";
}

inline void PrintTo(const UpdateChecker::State& state, std::ostream* out) {
    std::visit(
        [out](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, UpdateChecker::Idle>) *out << "idle";
            if constexpr (std::is_same_v<T, UpdateChecker::Checking>) *out << "checking";
            if constexpr (std::is_same_v<T, UpdateChecker::Downloading>) *out << "downloading";
            if constexpr (std::is_same_v<T, UpdateChecker::UpToDate>) {
                *out << "upToDate(" << value.checkedAt.time_since_epoch().count() << ")";
            }
            if constexpr (std::is_same_v<T, UpdateChecker::Available>) {
                *out << "available(";
                PrintTo(value.release, out);
                *out << ")";
            }
            if constexpr (std::is_same_v<T, UpdateChecker::ReadyToInstall>) {
                *out << "readyToInstall(" << value.file.toString().toStdString() << ")";
            }
            if constexpr (std::is_same_v<T, UpdateChecker::Failed>) {
                *out << "failed(" << value.message.toStdString() << ")";
            }
        },
        state);
}

}  // namespace avrane
