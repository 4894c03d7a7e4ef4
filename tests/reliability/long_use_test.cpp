// Long use of one process: 10 rounds of a detection run, 100 country
// selections, 5 queries and 2 settings (1000 selections, 50 queries, 20
// settings, 10 runs in all). What the process holds after the first round is
// its level: threads, kernel handles, GDI and USER objects come back to it
// after every round, and its memory stays flat.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/reliability/rig.h"

namespace rel {
namespace {

constexpr int kRounds = 10;
constexpr int kSelectionsPerRound = 100;
constexpr int kQueriesPerRound = 5;
constexpr char kSetCountries[2][16] = {"Germany", "United States"};
// Private memory may grow this much over the nine rounds after the first
// (heap pages the C runtime and Wine keep once touched); a leak of even a
// few hundred bytes per operation exceeds it.
constexpr std::size_t kMemorySlack = 256 * 1024;

double Megabytes(std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

TEST(LongUse, ThousandSelectionsFiftyQueriesTwentySettingsTenRunsLeaveTheProcessAtItsLevel) {
    Rig rig;
    ASSERT_TRUE(rig.Start({{kModemCom, {}}})) << rig.Error();
    const std::vector<std::string> names = rig.Countries();
    ASSERT_FALSE(names.empty());
    std::string country = "United States";  // the modem's, as the queries should tell
    int selections = 0, queries = 0, settings = 0, runs = 0;
    Level first;
    std::vector<Level> levels;

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        const RunOutcome run = rig.Run();
        ASSERT_TRUE(run.done) << "run " << runs + 1 << " did not end";
        EXPECT_EQ(run.status, "Modem connected to COM4");
        EXPECT_EQ(run.tip, country);
        ++runs;

        for (int i = 0; i < kSelectionsPerRound; ++i, ++selections)
            ASSERT_TRUE(rig.Choose(selections % static_cast<int>(names.size())))
                << "selection " << selections + 1 << " was not shown";

        for (int i = 0; i < kQueriesPerRound; ++i, ++queries) {
            const QueryOutcome query = rig.Query();
            ASSERT_TRUE(query.done) << "query " << queries + 1 << " did not end";
            EXPECT_EQ(query.tip, country);
        }

        for (const char* target : kSetCountries) {
            const SetOutcome set = rig.Set(rig.IndexOf(target));
            ASSERT_TRUE(set.done) << "setting " << settings + 1 << " did not end";
            EXPECT_TRUE(set.success()) << set.text;
            if (set.success()) country = target;
            ++settings;
        }

        ASSERT_TRUE(rig.WaitIdle(kStepLimit));
        const Level level = rig.Measure();
        ASSERT_TRUE(level.process.ok && level.gui.ok);
        Figure("after round " + std::to_string(round + 1), Describe(level));
        if (round == 0) first = level;
        levels.push_back(level);
    }

    EXPECT_EQ(selections, 1000);
    EXPECT_EQ(queries, 50);
    EXPECT_EQ(settings, 20);
    EXPECT_EQ(runs, 10);
    EXPECT_EQ(rig.Countries(), names);
    for (size_t i = 1; i < levels.size(); ++i) {
        SCOPED_TRACE("after round " + std::to_string(i + 1));
        const Level& now = levels[i];
        EXPECT_EQ(now.process.threads, first.process.threads);
        EXPECT_EQ(now.process.handles, first.process.handles);
        EXPECT_TRUE(now.process.serialHandles.empty());
        EXPECT_EQ(now.gui.gdi, first.gui.gdi);
        EXPECT_EQ(now.gui.bitmaps, first.gui.bitmaps);
        EXPECT_EQ(now.gui.user(), first.gui.user());
    }
    const Level& last = levels.back();
    EXPECT_LE(last.process.privateBytes, first.process.privateBytes + kMemorySlack)
        << "private memory grew from " << Megabytes(first.process.privateBytes) << " MB to "
        << Megabytes(last.process.privateBytes) << " MB";
    Figure("long use: private memory after round 1 and round 10",
           std::to_string(first.process.privateBytes) + " / " + std::to_string(last.process.privateBytes) + " bytes");
    Figure("long use: working set after round 1 and round 10",
           std::to_string(first.process.workingSet) + " / " + std::to_string(last.process.workingSet) + " bytes");
}

}  // namespace
}  // namespace rel
