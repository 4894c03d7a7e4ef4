// The country setting: the command Set sends, the 2000 ms wait for "OK",
// the boxes and the tray tip; and that nothing goes out without Set or
// without a selection.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/driver/window_query.h"
#include "tests/ui/country/country_fixture.h"

namespace country {
namespace {

using Knobs = std::vector<std::pair<std::string, std::string>>;

constexpr char kSuccessCaption[] = "Congratulations";
constexpr char kSuccessText[] = "Congratulations, country code set successfully.";
constexpr char kFailureText[] = "Error!  Country code setting failed!";
constexpr int kExclamationIcon = 32515;

std::string SetCommand(const std::string& code) { return "at%t19,0," + code + "\r\n"; }

bool PrepareModem(CountryProgram& program, const Knobs& knobs) {
    if (!program.ResetModem()) return false;
    for (const auto& [knob, value] : knobs)
        if (!program.SetKnob(knob, value)) return false;
    return true;
}

// When the modem received the last bytes of the command.
std::int64_t CommandReceivedAt(CountryProgram& program) {
    std::int64_t at = 0;
    if (auto entries = program.Modem().Transcript(kModemCom))
        for (const drv::TranscriptEntry& e : *entries)
            if (e.received) at = e.ms;
    return at;
}

TEST_F(OneModem, AcknowledgedSettingSucceedsAndTipsTheCountry) {
    const struct {
        const char* what;
        Knobs knobs;
        const char* country;
    } cases[] = {
        {"OK at once", {}, "Germany"},
        {"OK 1500 ms after the command", {{"delay", "1500"}}, "Italy"},
        {"junk before the reply", {{"junk", "#\\x01garbage~"}}, "Spain"},
        {"junk after the OK", {{"okword", "OK\\r\\n#\\x01garbage~"}}, "Sweden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Row row = RowOf(c.country);
        ASSERT_TRUE(PrepareModem(P(), c.knobs));
        ASSERT_TRUE(P().Choose(IndexOf(row.name), row.name));
        const size_t records = P().TrayRecords().size();

        const SetBox box = P().PressSet();
        ASSERT_NE(box.box, nullptr) << "no box";
        EXPECT_EQ(box.caption, kSuccessCaption);
        EXPECT_EQ(box.text, kSuccessText);
        EXPECT_EQ(box.systemIcon, 0);
        EXPECT_EQ(P().Received(), SetCommand(row.code));
        EXPECT_EQ(P().Received().size(), 13u);
        EXPECT_EQ(P().Modem().Get(kModemCom, "country").value_or(""), row.code);
        if (c.knobs.empty()) ReportFigure("successful setting: press of Set to the box", box.toBoxMs);

        ASSERT_TRUE(P().AnswerOk(box.box));
        const std::optional<drv::TrayRecord> tip = P().WaitTrayRecord(records);
        ASSERT_TRUE(tip.has_value()) << "no tray record after the box";
        EXPECT_EQ(tip->tip, row.name);
        EXPECT_EQ(P().IconOf(*tip), kMainIcon);
        ASSERT_TRUE(P().WaitIdle(10000));
    }
}

TEST_F(OneModem, UnacknowledgedSettingFailsAndLeavesTheTip) {
    const struct {
        const char* what;
        Knobs knobs;
        const char* country;
    } cases[] = {
        {"OK 2600 ms after the command", {{"delay", "2600"}}, "Norway"},
        {"ERROR", {{"seterror", "1"}}, "Greece"},
        {"ok in lower case", {{"okword", "ok"}}, "Ireland"},
        {"port gone", {{"present", "0"}}, "Mexico"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Row row = RowOf(c.country);
        ASSERT_TRUE(PrepareModem(P(), c.knobs));
        ASSERT_TRUE(P().Choose(IndexOf(row.name), row.name));
        const size_t records = P().TrayRecords().size();

        const SetBox box = P().PressSet();
        ASSERT_NE(box.box, nullptr) << "no box";
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.text, kFailureText);
        EXPECT_EQ(box.systemIcon, kExclamationIcon);
        EXPECT_EQ(P().Received(), c.knobs[0].first == "present" ? "" : SetCommand(row.code));
        if (c.knobs[0].first == "seterror") {
            // ERROR ends no wait: the box comes once the 2000 ms have passed.
            EXPECT_GE(box.modemMsAtBox - CommandReceivedAt(P()), 1500);
            ReportFigure("failed setting (ERROR): press of Set to the box", box.toBoxMs);
        }
        ASSERT_TRUE(P().AnswerOk(box.box));
        ASSERT_TRUE(P().WaitIdle(10000));
        EXPECT_EQ(P().TrayRecords().size(), records) << "a failed setting changed the tray icon";
    }
    // A query's record is the next one: nothing came late from the last setting.
    const size_t records = P().TrayRecords().size();
    ASSERT_TRUE(P().PressCurrent().done);
    EXPECT_EQ(P().TrayRecords().size(), records + 1);
}

TEST_F(OneModem, NothingIsSentWithoutSetOrWithoutASelection) {
    ASSERT_TRUE(P().ResetModem());
    ASSERT_TRUE(P().Choose(IndexOf("Canada"), "Canada"));
    EXPECT_EQ(P().Received(), "") << "choosing a country reached the modem";

    drv::SendWithTimeout(P().Item(kCountryList), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ASSERT_EQ(P().Selection(), CB_ERR);
    const SetBox box = P().PressSet();
    ASSERT_NE(box.box, nullptr) << "no box";
    EXPECT_EQ(box.caption, "Korvane");
    EXPECT_EQ(box.text, "Please select a country from the list first.");
    ASSERT_TRUE(P().AnswerOk(box.box));
    ASSERT_TRUE(P().WaitIdle(10000));
    // The query that follows is the first thing the modem hears.
    ASSERT_TRUE(P().PressCurrent().done);
    EXPECT_EQ(P().Received(), "ati9\r\n");
}

}  // namespace
}  // namespace country
