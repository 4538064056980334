#include "AvraneBar/Preferences/SettingsTrace.h"

#include <unistd.h>

#include <chrono>
#include <string>

#include "AvraneBar/Controller/Trace.h"

namespace avrane {

void SettingsTrace::notSaved(const UserDefaults& defaults, const QString& key, const QString& value) const {
    if (!sink_ && !Trace::isOnInEnvironment()) return;
    const std::string line = Trace::timestamp(std::chrono::system_clock::now()) + "  SETTING NOT SAVED " +
                             key.toStdString() + "=" + value.toStdString() + "  (" +
                             defaults.filePath().toStdString() + ")\n";
    if (sink_) {
        sink_(line);
        return;
    }
    // One write, as the controller's lines, so that lines never interleave.
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace avrane
