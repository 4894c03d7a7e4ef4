// The current-country query: what a press of Current shows for the modem's
// reply, the 200 ms reply window and the 78-character capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tools/driver/window_query.h"
#include "tests/ui/country/country_fixture.h"

namespace country {
namespace {

using Knobs = std::vector<std::pair<std::string, std::string>>;

// The capture holds the echo "ati9", then what the modem sends before its
// reply, then the country's name: this many characters before the name end
// it at the capture's last (78th) character.
size_t FillBefore(const std::string& modemName) { return 78 - 4 - modemName.size(); }

bool ApplyKnobs(CountryProgram& program, const Knobs& knobs) {
    for (const auto& [knob, value] : knobs)
        if (!program.SetKnob(knob, value)) return false;
    return true;
}

TEST_F(OneModem, DetectionRunEndsWithTheModemsCountryShown) {
    const Row us = RowOf("United States");
    const Shown& shown = P().AtStart();
    EXPECT_EQ(shown.selection, IndexOf(us.name));
    EXPECT_EQ(shown.name, us.name);
    EXPECT_EQ(shown.flagSize.cx, 150);
    EXPECT_EQ(shown.flagSize.cy, 100);
    EXPECT_EQ(shown.flagBits, P().ResourceBits(us.bitmap));
    // Start, detecting, and the query's record.
    const std::vector<drv::TrayRecord> records = P().TrayRecords();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[2].tip, us.name);
    EXPECT_EQ(P().IconOf(records[2]), kMainIcon);
}

TEST_F(OneModem, RecognisedCountryIsSelectedShownAndTipped) {
    const Row france = RowOf("France");
    ASSERT_TRUE(P().ResetModem());
    ASSERT_TRUE(P().SetKnob("country", france.code));
    ASSERT_TRUE(P().Choose(IndexOf("Japan"), "Japan"));

    const Query query = P().PressCurrent();
    ASSERT_TRUE(query.done) << "no tray record, or the program stayed busy";
    EXPECT_EQ(query.record.tip, france.name);
    EXPECT_EQ(query.icon, kMainIcon);
    EXPECT_EQ(P().Selection(), IndexOf(france.name));
    EXPECT_EQ(drv::ControlText(P().Main(), kCountryName), france.name);
    EXPECT_TRUE(P().FlagIs(france.bitmap));
    EXPECT_EQ(P().Received(), "ati9\r\n");
    // The thread answered inside the query (while it notified the tray) with
    // the wait cursor, and after it with the cursor restored.
    EXPECT_NE(std::find(query.waitCursor.begin(), query.waitCursor.end(), true), query.waitCursor.end());
    ReportFigure("query: press of Current to the tray record", query.toTrayMs);
    ReportFigure("query: press of Current to the cursor restored and the port closed", query.toIdleMs);
}

TEST_F(OneModem, ReplyInsideTheWindowAndTheCaptureIsRecognised) {
    const struct {
        const char* what;
        Knobs knobs;
        const char* country;
    } cases[] = {
        {"reply 50 ms after the command", {{"delay", "50"}, {"country", "00"}}, "Japan"},
        {"name ending at the 78th captured character",
         {{"junk", std::string(FillBefore("UNITED KINGDOM"), '.')}, {"country", "B4"}},
         "United Kingdom"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(P().ResetModem());
        ASSERT_TRUE(ApplyKnobs(P(), c.knobs));
        ASSERT_TRUE(P().Choose(IndexOf("Austria"), "Austria"));
        const Query query = P().PressCurrent();
        ASSERT_TRUE(query.done);
        EXPECT_EQ(query.record.tip, c.country);
        EXPECT_EQ(P().Selection(), IndexOf(c.country));
        EXPECT_EQ(drv::ControlText(P().Main(), kCountryName), c.country);
        EXPECT_TRUE(P().FlagIs(RowOf(c.country).bitmap));
    }
}

TEST_F(OneModem, UnrecognisedReplyShowsEntryZeroAndKeepsNameAndFlag) {
    const std::string piece = "#%&*+-/<=>?@[]^_{|}~0123456789\\x01\\x7f\\xfe";  // 33 bytes
    const std::string garbage = piece + piece + piece;  // more than the capture holds
    const struct {
        const char* what;
        Knobs knobs;
        const char* modemGot;  // what the modem received, when checked
    } cases[] = {
        // The shipped identifications never match the echo alone.
        {"silent modem: the echo alone comes back", {{"silent", "1"}}, "ati9\r\n"},
        {"junk fills the capture", {{"junk", garbage}}, nullptr},
        {"name ending at the 79th captured character",
         {{"junk", std::string(FillBefore("UNITED KINGDOM") + 1, '.')}, {"country", "B4"}},
         nullptr},
        {"reply 600 ms after the command", {{"delay", "600"}}, nullptr},
        {"port gone", {{"present", "0"}}, ""},
    };
    const Row france = RowOf("France");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(P().ResetModem());
        ASSERT_TRUE(P().Choose(IndexOf(france.name), france.name));
        const HBITMAP flag = P().Flag();
        ASSERT_NE(flag, nullptr);
        ASSERT_TRUE(ApplyKnobs(P(), c.knobs));

        const Query query = P().PressCurrent();
        ASSERT_TRUE(query.done);
        EXPECT_EQ(query.record.tip, kUnknownTip);
        EXPECT_EQ(query.icon, kMainIcon);
        EXPECT_EQ(P().Selection(), 0);
        EXPECT_EQ(drv::ControlText(P().Main(), kCountryName), france.name);
        EXPECT_EQ(P().Flag(), flag) << "the flag was replaced";
        EXPECT_TRUE(P().FlagIs(france.bitmap));
        if (c.modemGot) {
            EXPECT_EQ(P().Received(), c.modemGot);
        }
    }
}

}  // namespace
}  // namespace country
