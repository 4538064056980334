// avrane-soak: avrane-bar for minutes on Xvfb with trayer and a private session bus, on the
// simulated dongle with a headset that lives by itself, while faults come and go and callers
// read and write through it; then its figures. scripts/soak builds and runs it.
//
// What it does, and how it counts:
//
// Faults. Episodes of one or two faults, each on for 2 to 6 seconds: the dongle unplugged and
// plugged in again, the headset off, silent items, malformed replies, noise between frames,
// late replies, replies delayed up to a second, bulk reads unsupported, bytes one at a time.
// After each, a calm of 5 to 9 seconds. The seed makes the sequence reproducible.
//
// Callers, all the time: two writers, each making one `avranectl set` after another with a
// valid random value (the first owns volume, balance, auto-power-off and bt-sound, the second
// the noise-cancelling record's anc, ambient-level and voice-focus, bt-startup and nc-startup);
// a reader making `get`, `status` and `--json status`; `avranectl --json watch --follow` and
// `avranectl status --waybar --follow` throughout, each line of theirs checked to be JSON (and
// the status bar's last battery against the application's); Refresh over the bus every few
// seconds; and a hand on the desktop that opens the panel from the tray icon, moves the
// sidetone slider and flips the light's switch with real pointer and keyboard events
// (xdotool) at the places the layout dump gives (AVRANE_BAR_OPEN=1), and closes it again with
// a click on the icon or Escape. It moves the controls only in the calms, while the headset
// shows: without it the panel holds other rows there, the user's preferences among them.
//
// Writes. A write confirmed to its caller must be on the headset afterwards, one reported
// failed must not be, and anything else is lost. The headset changes its own volume and noise
// cancelling, so its state says little; its request log says what it stored, and when. Each
// writer owns its items, makes one call at a time, and never picks a value that a write of
// its own still on its way could carry (WriteLedger::mayWrite). Then every stored write of an
// owned item falls inside the one call that asked for it, or it is a late write of an earlier
// call, found by its value. A confirmed call without its write stored during the call, a
// failed call whose write was stored during it or later, and a call that never ended are the
// lost ones, but for one case shown apart: a failed call whose write the headset stored just
// before the dongle was pulled out, while the caller waited; the answer could not come, and
// the caller was told the line failed. Writes that land after the run's end are not seen; the
// run waits a little for them.
//
// Catching up. The application's published state (its service's properties, followed through
// PropertiesChanged) is compared with the simulator's model, for every property both have,
// every 10 ms and at every change. An episode's catch-up time runs from the end of its last
// fault until the two are equal and stay so for the rest of the calm, but for differences
// shorter than half a second after the first equality (a change of the headset on its way to
// the bus, a write and the read after it); per kind of fault its maximum and 99th percentile
// are printed (an episode of two faults counts for both).
//
// The process. From the first calm moment after the warm-up (no fault, caught up, panel
// closed) to the end: resident size (peak and final), descriptors and threads (start and
// end), CPU. Warnings: every line on its standard error that is neither a diagnostic line
// nor the layout dump, grouped by text with the numbers masked.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QCoreApplication>
#include <QDir>

#include "Soak/SoakRun.h"

namespace {

constexpr const char* usage =
    "usage: avrane-soak [--minutes N] [--seed N] [--correctness-only] [--log-folder DIR]\n"
    "  --minutes N         how long (default 10, at least 1); the first minute, or the first\n"
    "                      third of a shorter run, warms up\n"
    "  --seed N            the sequence of faults and values (default 1)\n"
    "  --correctness-only  the memory and timing goals printed, not judged (for a build with\n"
    "                      sanitizers, slower and holding freed memory aside)\n"
    "  --log-folder DIR    where avrane-bar's output is kept (default: the current folder)\n";

bool number(const char* text, double least, double most, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return *text && *end == '\0' && value >= least && value <= most;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    avrane::soak::SoakOptions options;
    options.logFolder = QDir::currentPath();
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        double value = 0;
        if (option == "--minutes" && i + 1 < argc && number(argv[i + 1], 1, 24 * 60, value)) {
            options.length = std::chrono::seconds(long(value * 60));
            // A minute to warm up, or a third of a shorter run.
            options.warmUp = std::min<std::chrono::seconds>(std::chrono::seconds(60), options.length / 3);
            ++i;
        } else if (option == "--seed" && i + 1 < argc && number(argv[i + 1], 0, 1'000'000'000, value)) {
            options.seed = unsigned(value);
            ++i;
        } else if (option == "--correctness-only") {
            options.correctnessOnly = true;
        } else if (option == "--log-folder" && i + 1 < argc) {
            options.logFolder = QString::fromLocal8Bit(argv[++i]);
        } else if (option == "--help" || option == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "avrane-soak: cannot take %s\n%s", option.c_str(), usage);
            return 2;
        }
    }
    return avrane::soak::runSoak(options);
}
