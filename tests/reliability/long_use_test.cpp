// Long use of one process: three rounds of a detection run, 20 country
// choices, 2 queries and 2 settings. What the process holds after the first
// round is its level: program threads, kernel handles, GDI and USER objects
// come back to it after every round, and private memory stays flat.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/ui/scenario.h"

namespace {

// Heap pages the C runtime and Wine keep once touched; a leak of even a few
// hundred bytes per operation exceeds it.
constexpr std::size_t kMemorySlack = 256 * 1024;

TEST(LongUse, ThreeRoundsOfEveryOperationLeaveTheProcessAtItsLevel) {
    drv::Program& p = Home();
    std::string choices;
    for (int i = 0; i < 4; ++i) choices += "|choose Japan|choose France|choose Spain|choose Norway|choose Mexico";
    std::vector<drv::Level> levels;
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Play(p, {
            {"a run", "4:", "run", "found=4; tip=United States"},
            {"20 choices", "", choices.substr(1), "name=Mexico"},
            {"2 queries", "", "query|query", "tips=United States / United States"},
            {"2 settings", "", "set Germany|set United States", "tips=Germany / United States"},
        });
        levels.push_back(p.Measure());
        ASSERT_TRUE(levels.back().process.ok && levels.back().gui.ok);
        std::printf("[ figure   ] after round %d: %s\n", round, drv::Describe(levels.back()).c_str());
    }
    for (const drv::Level& now : levels) {
        EXPECT_EQ(now.process.programThreads, 1);
        EXPECT_EQ(now.process.serialHandles, 0);
        EXPECT_EQ(now.process.handles, levels[0].process.handles);
        EXPECT_EQ(now.gui.gdi, levels[0].gui.gdi);
        EXPECT_EQ(now.gui.bitmaps, levels[0].gui.bitmaps);
        EXPECT_EQ(now.gui.user(), levels[0].gui.user());
    }
    EXPECT_LE(levels.back().process.privateBytes, levels[0].process.privateBytes + kMemorySlack);
}

}  // namespace
