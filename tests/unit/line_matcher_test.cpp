// The line matcher: line assembly, line ends, patterns and the reply capture.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/port_reader.h"
#include "link/reply_capture.h"

namespace {

void Feed(CPortReader& reader, const std::string& bytes) {
    reader.Feed(bytes.data(), static_cast<int>(bytes.size()));
}

std::string Capture() {
    char text[80];
    TakeReply(text);
    return text;
}

CPortReader* ProbeReader() {
    CPortReader* reader = new CPortReader;
    reader->SetPattern(0, kModemId1);
    reader->SetPattern(1, kModemId2);
    return reader;
}

TEST(LineMatcher, FindsAnIdentificationOnlyOnAFinishedLineInItsOwnCase) {
    std::unique_ptr<CPortReader> reader(ProbeReader());
    Feed(*reader, "ati3\r\nQTRXFM330HWNF1*GEN");
    EXPECT_EQ(reader->found, 0);  // not ended yet
    Feed(*reader, "\r");
    EXPECT_EQ(reader->found, 1);

    std::unique_ptr<CPortReader> second(ProbeReader());
    Feed(*second, "xxQTRXPM330HWTF1*GENyy\n");
    EXPECT_EQ(second->found, 1);

    std::unique_ptr<CPortReader> lower(ProbeReader());
    Feed(*lower, "qtrxfm330hwnf1*gen\r\nQTRXFM330HWNF1?GEN\r\n");
    EXPECT_EQ(lower->found, 0);
}

TEST(LineMatcher, AssemblesLinesAcrossCallsAndKeepsFoundSet) {
    CPortReader reader;
    reader.SetPattern(0, "OK");
    Feed(reader, "O");
    Feed(reader, "K\r\n");
    EXPECT_EQ(reader.found, 1);
    Feed(reader, "ERROR\r\n");
    EXPECT_EQ(reader.found, 1);

    CPortReader lower;
    lower.SetPattern(0, "OK");
    Feed(lower, "ok\r\nOk\r\n");
    EXPECT_EQ(lower.found, 0);
}

TEST(LineMatcher, EmptyPatternsNeverMatch) {
    CPortReader reader;
    Feed(reader, "\r\nanything at all\r\n\r\n");
    Feed(reader, std::string("\0\r", 2));
    EXPECT_EQ(reader.found, 0);
}

TEST(LineMatcher, LineEndRunsEndOneLineWithinACallOnly) {
    // "O" CR | LF "K" CR: the LF at the start of the second call ends an
    // empty line, so "O" and "K" never form "OK".
    CPortReader split;
    split.SetPattern(0, "OK");
    Feed(split, "O\r");
    Feed(split, "\nK\r");
    EXPECT_EQ(split.found, 0);

    // A run of CR LF CR LF after text ends exactly one line: the next text
    // starts a new line at position 0.
    CPortReader run;
    Feed(run, "AB\r\n\r\nCD\r");
    EXPECT_STREQ(run.line, "CD");
}

TEST(LineMatcher, WrapsLinesAt80AndTestsOnlyTheTail) {
    CPortReader reader;
    reader.SetPattern(0, "12345");
    Feed(reader, std::string(80, 'x') + "12345\r");
    EXPECT_EQ(reader.found, 1);
    EXPECT_STREQ(reader.line, "12345");

    CPortReader straddling;  // the pattern straddles the wrap: lost
    straddling.SetPattern(0, "abcd");
    Feed(straddling, std::string(78, 'x') + "abcd\r");
    EXPECT_EQ(straddling.found, 0);
}

TEST(ReplyCapture, HoldsTheFirst78CharactersWithoutLineEnds) {
    CPortReader reader;
    ResetReply();
    Feed(reader, "at\r\nUNITED\r\nSTATES\r\n");
    EXPECT_EQ(Capture(), "atUNITEDSTATES");

    ResetReply();
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += static_cast<char>('0' + i % 10);
    Feed(reader, hundred);
    EXPECT_EQ(g_replyLen.load(), 78u);
    EXPECT_EQ(Capture(), hundred.substr(0, 78));

    ResetReply();
    reader.Feed("abc", 0);
    reader.Feed("abc", -5);
    EXPECT_EQ(Capture(), "");
}

}  // namespace
