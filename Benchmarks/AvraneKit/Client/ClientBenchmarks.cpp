// The program's own cost of talking to the headset: round trips over a pseudo-terminal to
// the simulated dongle, which answers at once. A real headset adds its radio time on top.
#include <benchmark/benchmark.h>

#include <memory>

#include "AvraneKit/Client/HeadsetClient.h"
#include "AvraneSim/Simulator.h"

namespace avrane {
namespace {

struct Link {
    explicit Link(const sim::Faults& faults = {}) {
        simulator.start();
        simulator.setFaults(faults);
        client = std::make_unique<HeadsetClient>(simulator.slavePath());
        client->open();
    }

    sim::Simulator simulator;
    std::unique_ptr<HeadsetClient> client;
};

void BM_GetRoundTrip(benchmark::State& state) {
    Link link;
    for (auto _ : state) benchmark::DoNotOptimize(link.client->batteryInfo());
}
BENCHMARK(BM_GetRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_StateBulk(benchmark::State& state) {
    Link link;
    for (auto _ : state) benchmark::DoNotOptimize(link.client->state());
}
BENCHMARK(BM_StateBulk)->Unit(benchmark::kMicrosecond);

// Bulk parts answered with nothing usable: the first part fails at once and the thirteen
// single reads follow.
void BM_StateFallback(benchmark::State& state) {
    sim::Faults faults;
    faults.bulkUnsupported = true;
    Link link(faults);
    for (auto _ : state) benchmark::DoNotOptimize(link.client->state());
}
BENCHMARK(BM_StateFallback)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace avrane

BENCHMARK_MAIN();
