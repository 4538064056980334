#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "AvraneSim/Simulator.h"

namespace avrane::sim {

// The line commands of avrane-sim: change the headset, inject faults, unplug. A table of
// named commands, so that further modes (a scripted scenario, say) add their own rows.
class CommandShell {
public:
    using Output = std::function<void(const std::string& line)>;
    using Arguments = std::vector<std::string>;

    struct Command {
        std::string name;
        std::string arguments;  // synopsis, e.g. "<0-100>"
        std::string summary;
        // Throws std::invalid_argument for arguments it cannot take; the shell prints the
        // message with the synopsis.
        std::function<void(const Arguments&)> run;
    };

    // `output` receives every line the shell prints; it may be called from the simulator's
    // thread (request tracing).
    CommandShell(Simulator& simulator, Output output);

    // Adds a command, replacing one of the same name.
    void add(Command command);

    // Runs one line; returns false when it asks to quit. Blank lines and lines starting with
    // '#' do nothing.
    bool execute(std::string_view line);

    // One line per command, in the order they were added.
    std::string helpText() const;

private:
    void addBuiltIns();
    void print(const std::string& line) const { output_(line); }

    Simulator& simulator_;
    Output output_;
    std::vector<Command> commands_;
    bool quitRequested_ = false;
};

}  // namespace avrane::sim
