// A command's answer as the core reads it, as rows: a final result code in
// words and in numbers (OK and ERROR; the others are entries of the same
// table), the lines a modem sends on its own, skipped; and
// what a modem says to +GCI? and +GCI=? in the forms modems write it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/answer_lines.h"
#include "core/gci_reply.h"

namespace {

using F = FinalResult;

TEST(AnswerLines, Rows) {
    const struct {
        const char* what;
        std::vector<std::string> chunks;  // one Feed a chunk
        F final;
        std::vector<std::string> lines;
    } rows[] = {
        {"words: information, then OK", {"\r\n+GCI: B5\r\n\r\nOK\r\n"}, F::Ok, {"+GCI: B5"}},
        {"numbers: information, then 0", {"+GCI: B5\r\n0\r"}, F::Ok, {"+GCI: B5"}},
        {"the echo is an information line", {"at+GCI?\r\r\nERROR\r\n"}, F::Error, {"at+GCI?"}},
        {"4 is ERROR", {"4\r"}, F::Error, {}},
        {"CONNECT with its speed", {"\r\nCONNECT 33600\r\n"}, F::Connect, {}},
        {"5 and 9 are no result codes of ours", {"5\r9\r"}, F::None, {"5", "9"}},
        {"RING is skipped, before and between", {"\r\nRING\r\n+GCI: B5\r\nRING\r\nOK\r\n"}, F::Ok, {"+GCI: B5"}},
        {"2, RING in numbers, is skipped", {"2\r+GCI: B5\r\n2\r0\r"}, F::Ok, {"+GCI: B5"}},
        {"+CRING is skipped", {"\r\n+CRING: VOICE\r\n\r\nOK\r\n"}, F::Ok, {}},
        {"a result in pieces", {"\r\nNO CAR", "RIER", "\r\n"}, F::NoCarrier, {}},
        {"letter case as written: ok is no result", {"ok\r\nError\r\n"}, F::None, {"ok", "Error"}},
        {"a word within a line is none", {"NOT OK\r\nOKAY\r\n"}, F::None, {"NOT OK", "OKAY"}},
        {"what follows the result is dropped", {"OK\r\nERROR\r\nB5\r\n"}, F::Ok, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        AnswerLines answer;
        for (const std::string& chunk : row.chunks) answer.Feed(chunk.data(), chunk.size());
        EXPECT_EQ(answer.Final(), row.final);
        EXPECT_EQ(answer.Lines(), row.lines);
    }
}

TEST(GciReplies, Rows) {
    const struct {
        std::vector<std::string> lines;
        int country;
        int listed;  // codes in the list, -1: no list
        const char* text;
    } rows[] = {
        {{"+GCI:b4"}, 0xB4, 1, "b4"},
        {{"+GCI:  4 "}, 0x04, 1, "4 "},
        {{"4"}, 0x04, 1, "4"},
        {{"AT+GCI?", "B5"}, 0xB5, 1, "B5"},
        {{" B5", "B5 "}, -1, 1, " B5"},
        {{"+GCI: B5X"}, -1, -1, ""},
        {{"+GCI: 100", "100"}, -1, -1, ""},
        {{"GCI: B5", "+gci: B5", "at+GCI?", "V.92 DATA/FAX USB MODEM", "33600"}, -1, -1, ""},
        {{"+GCI: (00 - 0F, b4)"}, -1, 17, "00 - 0F, b4"},
        {{"(00,B4,B5)"}, -1, 3, "00,B4,B5"},
        {{"+GCI: 00,B4"}, -1, 2, "00,B4"},
        {{"00-FF"}, -1, 256, "00-FF"},
        {{"AT+GCI=?", "+GCI:(00,b4)"}, -1, 2, "00,b4"},
        {{"+GCI: (B5-00)", "+GCI: (00,,B4)", "+GCI: ()", "()", "(00,B4", "00,B4)"}, -1, -1, ""},
        {{"+GCI: (00,B4", "+GCI: (42)"}, -1, 1, "42"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lines.back());
        EXPECT_EQ(ParseGciCountry(row.lines), row.country);
        GciCodeSet codes;
        std::string text;
        const bool listed = ParseGciList(row.lines, codes, text);
        EXPECT_EQ(listed ? static_cast<int>(codes.count()) : -1, row.listed);
        EXPECT_EQ(text, row.text);
    }
}

}  // namespace
