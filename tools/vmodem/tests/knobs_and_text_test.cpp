#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "control_requests.h"
#include "engine_knobs.h"
#include "text_escape.h"
#include "transcript.h"

namespace {

TEST(TextEscape, DecodesEscapesAndRoundTrips)
{
    EXPECT_EQ(unescape("a\\r\\n\\t\\\\\\x00\\xFf"), std::string("a\r\n\t\\\0\xff", 7));
    for (const char* bad : {"\\", "\\q", "\\x", "\\x4", "\\xg0"})
        EXPECT_FALSE(unescape(bad)) << bad;
    const std::string bytes("ok \x01\x7f\r\n\t\\\xc3", 10);
    EXPECT_EQ(unescape(escape(bytes)), bytes);
    EXPECT_EQ(escape(bytes).find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(to_hex(std::string("\x00\x0f\xa0z", 4)), "000fa07a");
}

TEST(EngineKnobs, SetThenGetReturnsTheValue)
{
    ModemSettings s;
    const std::pair<const char*, const char*> cases[] = {
        {"echo", "0"},  {"silent", "1"},     {"cronly", "1"}, {"ignoreset", "1"},
        {"seterror", "1"}, {"delay", "1500"}, {"split", "3"}, {"gap", "40"},
        {"junk", "\\x02x"}, {"okword", "ok"}, {"idtext", "a b"}, {"country", "3D"},
    };
    for (const auto& [knob, value] : cases) {
        EXPECT_EQ(set_knob(s, knob, value), std::nullopt) << knob;
        EXPECT_EQ(get_knob(s, knob), std::optional<std::string>(value)) << knob;
    }
    EXPECT_EQ(s.junk, "\x02x");
    EXPECT_EQ(s.country, 0x3D);
    EXPECT_EQ(set_knob(s, "country", "a5"), std::nullopt);
    EXPECT_EQ(get_knob(s, "country"), "A5");
    EXPECT_EQ(set_knob(s, "id", "2"), std::nullopt);
    EXPECT_EQ(s.idtext, "");
    EXPECT_EQ(get_knob(s, "id"), "2");
}

TEST(EngineKnobs, BadValuesLeaveSettingsUnchanged)
{
    ModemSettings s;
    const std::pair<const char*, const char*> cases[] = {
        {"echo", "2"}, {"echo", ""},   {"delay", "-1"}, {"delay", "600001"}, {"split", "x"},
        {"id", "3"},   {"country", "01"}, {"country", "B"}, {"junk", "\\q"}, {"volume", "1"},
    };
    for (const auto& [knob, value] : cases)
        EXPECT_NE(set_knob(s, knob, value), std::nullopt) << knob << " " << value;
    EXPECT_TRUE(s.echo);
    EXPECT_EQ(s.delay_ms, 0u);
    EXPECT_EQ(s.id, 1);
    EXPECT_EQ(s.country, 0xB5);
    EXPECT_EQ(s.junk, "");
    EXPECT_EQ(get_knob(s, "volume"), std::nullopt);
}

TEST(TranscriptRecord, RendersEntriesAndDropsOldestPastCap)
{
    Transcript t(200);
    t.received(5, "at\r");
    t.sent(7, "\r\nOK\r\n");
    t.sent_bulk(9, "flood", 4096);
    EXPECT_EQ(t.render(), "rx 5 61740d\ntx 7 0d0a4f4b0d0a\ntx 9 flood 4096\n");
    t.sent(10, std::string(150, 'x'));
    EXPECT_EQ(t.render().rfind("tx 10 7878", 0), 0u);
    t.clear();
    EXPECT_EQ(t.render(), "");
}

TEST(ControlRequests, RejectsBadInputWithoutTouchingModems)
{
    const std::string dir = std::filesystem::temp_directory_path() / ("vmodem-unit-" + std::to_string(getpid()));
    Clock clock;
    {
        ModemRack rack(dir, clock);
        auto ask = [&](const char* line) { return handle_control_request(line, rack, clock).text; };
        for (const char* bad : {"", "bogus", "attach", "attach 0", "attach 7", "attach 12", "attach x",
                                "attach 4 5", "get 4 echo", "set 4 echo 1", "send 4 hi", "flood 4 10",
                                "transcript 4", "now 1"})
            EXPECT_EQ(ask(bad).rfind("ERR ", 0), 0u) << bad;
        EXPECT_EQ(rack.find(4), nullptr);
        EXPECT_EQ(ask("detach 4"), "OK\n");
        EXPECT_TRUE(handle_control_request("quit", rack, clock).quit);
        EXPECT_EQ(ask("now").rfind("= ", 0), 0u);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
