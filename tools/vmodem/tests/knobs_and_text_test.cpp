// Knob values, text escapes and the transcript's lines.
#include <gtest/gtest.h>

#include "engine_knobs.h"
#include "text_escape.h"
#include "transcript.h"

namespace {

TEST(TextEscape, DecodesEscapesAndRoundTrips) {
    EXPECT_EQ(unescape("a\\r\\n\\t\\\\\\x00\\xFf"), std::string("a\r\n\t\\\0\xff", 7));
    for (const char* bad : {"\\", "\\q", "\\x", "\\x4", "\\xg0"}) EXPECT_FALSE(unescape(bad)) << bad;
    const std::string bytes("ok \x01\x7f\r\n\t\\\xc3", 10);
    EXPECT_EQ(unescape(escape(bytes)), bytes);
    EXPECT_EQ(to_hex(std::string("\x00\x0f\xa0z", 4)), "000fa07a");
}

TEST(EngineKnobs, GoodValuesReadBackBadOnesChangeNothing) {
    ModemSettings s;
    for (const char* knob :
         {"echo=0",     "silent=1",    "cronly=1",   "seterror=1",       "delay=1500", "split=3",
          "gap=40",     "junk=\\x02x", "okword=ok",  "idtext=a b",       "country=3D", "personality=gci",
          "gcispace=0", "gcireset=1",  "gcierror=1", "gcilist=00-0F,B4", "quiet=1",    "verbose=0",
          "bare=1",     "ring=50",     "deaf=700",   "deafkeep=1"}) {
        const std::string text = knob, name = text.substr(0, text.find('=')),
                          value = text.substr(text.find('=') + 1);
        EXPECT_EQ(set_knob(s, name, value), std::nullopt) << knob;
        EXPECT_EQ(get_knob(s, name), value) << knob;
    }
    ModemSettings fresh;
    for (const char* bad : {"echo=2", "delay=-1", "delay=600001", "split=x", "id=3", "country=01", "junk=\\q",
                            "volume=1", "personality=fax", "gcilist=0G", "gcilist=B5-00",
                            "gcilist=", "gcilist=00,,B4", "verbose=2", "ring=600001", "deaf=x"}) {
        const std::string text = bad;
        EXPECT_NE(set_knob(fresh, text.substr(0, text.find('=')), text.substr(text.find('=') + 1)), std::nullopt)
            << bad;
    }
    EXPECT_TRUE(fresh.echo);
    EXPECT_EQ(fresh.delay_ms, 0u);
    EXPECT_EQ(fresh.country, 0xB5);
    EXPECT_EQ(fresh.personality, Personality::Card);
    EXPECT_EQ(fresh.gcilist.substr(0, 12), "00,04,09,0A,");
}

TEST(Transcript, RendersEntriesAndDropsTheOldestPastItsCap) {
    Transcript t(200);
    t.received(5, "at\r");
    t.sent(7, "\r\nOK\r\n");
    t.sent_bulk(9, "flood", 4096);
    EXPECT_EQ(t.render(), "rx 5 61740d\ntx 7 0d0a4f4b0d0a\ntx 9 flood 4096\n");
    t.sent(10, std::string(150, 'x'));
    EXPECT_EQ(t.render().rfind("tx 10 7878", 0), 0u);
}

}  // namespace
