#include "Soak/FaultPlan.h"

#include <gtest/gtest.h>

namespace avrane::soak {
namespace {

using namespace std::chrono_literals;

// Two faults overlap: ending one leaves the other as it was, and ending both leaves a
// headset without faults, plugged in.
TEST(FaultPlanTests, EndingAFaultLeavesTheOthersInPlace) {
    sim::Simulator simulator;
    simulator.start();
    FaultPlan plan(7);
    std::vector<Fault> faults;
    // Every kind, with the particulars the plan gives it.
    for (const FaultKind kind : allFaultKinds) {
        for (Episode e = plan.next();; e = plan.next()) {
            if (e.faults.front().kind == kind) {
                faults.push_back(e.faults.front());
                break;
            }
        }
    }
    for (const Fault& first : faults) {
        for (const Fault& second : faults) {
            if (first.kind == second.kind) continue;
            SCOPED_TRACE(std::string(caseName(first.kind)) + " then " + std::string(caseName(second.kind)));
            begin(simulator, second);
            const sim::Faults secondAlone = simulator.faults();
            begin(simulator, first);
            EXPECT_TRUE(simulator.faults() != secondAlone || !simulator.isPluggedIn());
            end(simulator, first);
            EXPECT_EQ(simulator.faults(), secondAlone);
            end(simulator, second);
            EXPECT_EQ(simulator.faults(), sim::Faults{});
            EXPECT_TRUE(simulator.isPluggedIn());
        }
    }
}

TEST(FaultPlanTests, EveryKindComesAndEachEpisodeLeavesTimeToCatchUp) {
    FaultPlan plan(1);
    std::set<FaultKind> seen;
    for (int i = 0; i < 200; ++i) {
        const Episode episode = plan.next();
        ASSERT_GE(episode.faults.size(), 1u);
        ASSERT_LE(episode.faults.size(), 2u);
        for (const Fault& fault : episode.faults) seen.insert(fault.kind);
        // Time to catch up is measured up to two seconds, and beyond when it takes longer.
        EXPECT_GT(episode.calm, 2s);
    }
    EXPECT_EQ(seen.size(), std::size(allFaultKinds));
    // The same seed, the same run.
    FaultPlan again(1), other(1);
    EXPECT_EQ(again.next().description(), other.next().description());
}

}  // namespace
}  // namespace avrane::soak
