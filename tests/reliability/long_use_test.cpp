// Long use of one process: rounds of a detection run, 20 country choices, 2
// queries and 2 settings. The first round warms the process up; after every
// later round, program threads, kernel handles, GDI and USER objects are back
// at the first round's level, and neither the program's heap nor its private
// memory climb.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/ui/scenario.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"

namespace {

constexpr int kRounds = 3;  // the warm-up and two measured rounds
// The program's heap is counted to the byte: a leak of a few hundred bytes in
// any one operation climbs past this. The commit charge moves in steps of tens
// of KiB as heaps settle, and takes Wine's own allocations too (a serial wait
// on a pseudo-terminal leaves some 350 bytes each time), so it is held to a
// coarser bar.
constexpr double kMaxHeapClimb = 256;            // bytes a round
constexpr double kMaxPrivateClimb = 128 * 1024;  // bytes a round

TEST(LongUse, RoundsOfEveryOperationLeaveTheProcessAtItsLevel) {
    drv::Program& p = Home();
    std::string choices;
    for (int i = 0; i < 4; ++i) choices += "|choose Japan|choose France|choose Spain|choose Norway|choose Mexico";
    std::vector<drv::Level> levels;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Play(p, {
                    {"a run", "4:", "run", "found=4; tip=United States"},
                    {"20 choices", "", choices.substr(1), "name=Mexico"},
                    {"2 queries", "", "query|query", "tips=United States / United States"},
                    {"2 settings", "", "set Germany|set United States", "tips=Germany / United States"},
                });
        levels.push_back(p.Measure());
        ASSERT_TRUE(levels.back().process.ok && levels.back().gui.ok) << "the process could not be measured";
        std::printf("[ figure   ] after round %d: %s\n", round, drv::Describe(levels.back()).c_str());
    }
    // The meter sees an open port, so its zero counts of them can fail: one is
    // open while a setting waits for its late OK.
    Play(p, {{"a setting whose OK is late", "4: delay=1500", "choose Germany", "name=Germany"}});
    drv::Click(p.Item(IDC_SET));
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::MeasureProcess(p.process.Pid()).serialHandles == 1; }, 2500))
        << "no open port was seen while the setting waited";
    EXPECT_TRUE(p.AnswerBox().shown);
    const drv::Level& warm = levels[0];
    for (const drv::Level& now : levels) {
        EXPECT_EQ(now.process.programThreads, 1);
        EXPECT_EQ(now.process.serialHandles, 0);
        EXPECT_EQ(now.process.handles, warm.process.handles);
        EXPECT_EQ(now.gui.gdi, warm.gui.gdi);
        EXPECT_EQ(now.gui.bitmaps, warm.gui.bitmaps);
        EXPECT_EQ(now.gui.user(), warm.gui.user());
    }
    // The climb of a round: the last measured round against the one before it.
    const drv::Level &before = levels[kRounds - 2], &last = levels[kRounds - 1];
    const double heap = static_cast<double>(last.gui.heapBytes) - static_cast<double>(before.gui.heapBytes);
    const double memory =
        static_cast<double>(last.process.privateBytes) - static_cast<double>(before.process.privateBytes);
    std::printf("[ figure   ] the last round: heap %+.0f bytes, private memory %+.1f KiB\n", heap, memory / 1024);
    EXPECT_GT(warm.gui.heapBytes, 0u) << "the program's heap could not be read";
    EXPECT_LE(heap, kMaxHeapClimb) << "the program's heap climbs from round to round";
    EXPECT_LE(memory, kMaxPrivateClimb) << "private memory climbs from round to round";
}

}  // namespace
