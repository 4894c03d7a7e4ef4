// The line matcher and the reply capture, as rows: the patterns set, the
// bytes fed (one Feed call a chunk), and whether a pattern was found. The
// plain cases, the identification or OK on a line of its own, whole or in
// pieces, and the noise that holds them, are in the operations' rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/line_matcher.h"
#include "core/modem_commands.h"

namespace {

struct Row {
    const char* what;
    const char* pattern0;
    bool wholeLine;
    std::vector<std::string> chunks;
    bool found;
};

TEST(LineMatcher, Rows) {
    const std::string id1 = kModemId1, id2 = kModemId2;
    const Row rows[] = {
        {"anywhere within its line", id1.c_str(), false, {"xx" + id1 + "yy\n"}, true},
        {"with every character", id1.c_str(), false, {"QTRXFM330HWNF1?GEN\r\n"}, false},
        {"in its own case", id1.c_str(), false, {"qtrxfm330hwnf1*gen\r\n"}, false},
        {"the second string", id1.c_str(), false, {"x" + id2 + "\r\nERROR\r\n"}, true},
        {"a run of line ends after text ends one line", "CD", true, {"AB\r\n\r\nCD\r"}, true},
        {"an LF beginning the next read ends an empty line", "OK", true, {"O\r", "\nK\r"}, false},
        {"wrapped at 80: only the tail is tested", "12345", false, {std::string(80, 'x') + "12345\r"}, true},
        {"a pattern straddling the wrap is lost", "abcd", false, {std::string(78, 'x') + "abcd\r"}, false},
        {"an empty pattern never matches", "", false, {"\r\nanything\r\n", std::string("\0\r", 2)}, false},
        {"whole line: OK after a CR-only line", "OK", true, {"ERROR\rOK\r"}, true},
        {"whole line: OK within a noise line", "OK", true, {"\x7f#TOKEN\x01\r\n"}, false},
        {"found stays set", "OK", true, {"OK\r\n", "ERROR\r\n"}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LineMatcher matcher;
        matcher.SetPattern(0, row.pattern0, row.wholeLine);
        if (row.pattern0 == id1) matcher.SetPattern(1, id2.c_str());
        for (const std::string& chunk : row.chunks) matcher.Feed(chunk.data(), static_cast<int>(chunk.size()));
        EXPECT_EQ(matcher.Found(), row.found);
    }
}

std::string Capture(const LineMatcher& matcher) {
    ReplyCapture::Text text;
    matcher.Capture().Take(text);
    return text;
}

// The capture holds the first 78 characters but line ends, whatever the
// pieces they came in.
TEST(ReplyCapture, HoldsTheFirst78CharactersWithoutLineEnds) {
    // No run of the data repeats, so a capture that skips or repeats bytes shows.
    std::string data;
    for (int i = 0; i < 120; ++i) data += static_cast<char>(33 + (i * 37) % 94);
    std::string withLineEnds;
    for (size_t i = 0; i < data.size(); ++i)
        withLineEnds += data.substr(i, 1) + (i % 7 == 3 ? "\r\n" : i % 11 == 5 ? "\r" : "");
    LineMatcher matcher;
    matcher.Feed(withLineEnds.data(), 40);
    matcher.Feed(withLineEnds.data() + 40, static_cast<int>(withLineEnds.size()) - 40);
    EXPECT_EQ(Capture(matcher), data.substr(0, 78));

    matcher.Capture().Reset();
    matcher.Feed("abc", 0);
    EXPECT_EQ(Capture(matcher), "");
}

// What the query's capture holds when no modem answered: nothing, or only
// the modem's echo of the command.
TEST(Echo, NothingButTheEchoIsNoAnswer) {
    const struct {
        const char* reply;
        bool onlyEcho;
    } rows[] = {{"", true},     {"ati9", true},   {"ATI9", true}, {"aTi9", true},  {"ati9OK", false},
                {"ati", false}, {"ati9 ", false}, {"OK", false},  {"ati8", false}, {"ati9UNITED STATES", false}};
    for (const auto& row : rows) EXPECT_EQ(IsOnlyEcho(row.reply, kCountryInfoCommand), row.onlyEcho) << row.reply;
}

}  // namespace
