// The command line's texts on Linux: control characters escaped in
// messages, and JSON strings from UTF-8 as RFC 3629 defines it.
#include <gtest/gtest.h>

#include <string>

#include "cli/json_text.h"
#include "cli/printable_text.h"

namespace {

TEST(PrintableText, EscapesWhatATerminalWouldObey) {
    const struct {
        std::string text, shown;
    } rows[] = {
        // Plain text, and ESC in a holder's name, are rows of linux_cli.
        {"a\tb\nc\rd\x7f", "a\\x09b\\x0ac\\x0dd\\x7f"},
        {std::string("x\0y", 3), "x\\x00y"},
        {"\u009b31m", "\\xc2\\x9b31m"},  // CSI, the C1 control U+009B, in UTF-8
        {"\xc2\x80\xc2\x9f\xc2\xa0", "\\xc2\\x80\\xc2\\x9f\xc2\xa0"},  // C1's ends; NBSP, as all other UTF-8, is printable
        {"\\x1b stays", "\\x1b stays"},  // escapes come back as they were
        {"\xc2", "\xc2"},
    };
    for (const auto& row : rows) EXPECT_EQ(PrintableText(row.text), row.shown) << row.shown;
}

TEST(JsonText, DecodesUtf8AsRfc3629Says) {
    const struct {
        const char* what;
        std::string text, json;
    } rows[] = {
        {"ASCII, quotes and controls", "a\"b\\c\x01", "\"a\\\"b\\\\c\\u0001\""},
        {"two bytes", "\xc3\xa9", "\"\\u00e9\""},
        {"four bytes: a surrogate pair", "\xf0\x9f\x98\x80", "\"\\ud83d\\ude00\""},
        {"the last code point", "\xf4\x8f\xbf\xbf", "\"\\udbff\\udfff\""},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"F5 to FF start nothing", "\xf5\x80\x80\xff", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"C0 and C1: overlong two-byte leads", "\xc0\xaf\xc1\xbf", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"an overlong three-byte form", "\xe0\x80\xaf", "\"\\ufffd\\ufffd\\ufffd\""},
        {"a surrogate", "\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},
        {"a lone continuation", "\x80!", "\"\\ufffd!\""},
        {"a character cut short", "\xe2\x82!", "\"\\ufffd\\ufffd!\""},
    };
    for (const auto& row : rows) EXPECT_EQ(JsonString(row.text.c_str()), row.json) << row.what;
    EXPECT_EQ(JsonString(nullptr), "null");
}

}  // namespace
