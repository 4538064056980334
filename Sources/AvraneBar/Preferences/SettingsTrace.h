#pragma once

#include <functional>
#include <string_view>

#include <QString>

#include "AvraneDefaults/UserDefaults.h"

namespace avrane {

// A setting the user chose that could not be saved (a full disk, a read-only config folder).
// The choice is then neither kept in memory nor announced, so what the program shows stays
// what the file holds; this line says why the control did not take:
// "<time>  SETTING NOT SAVED language=korean  (/home/me/.config/avrane/AvraneBar.conf)".
class SettingsTrace {
public:
    // Takes one whole line, line feed included.
    using Sink = std::function<void(std::string_view line)>;

    // To standard error, when AVRANE_BAR_LOG is exactly "1".
    SettingsTrace() = default;
    // Every line to `sink`.
    explicit SettingsTrace(Sink sink) : sink_(std::move(sink)) {}

    void notSaved(const UserDefaults& defaults, const QString& key, const QString& value) const;

private:
    Sink sink_;
};

}  // namespace avrane
