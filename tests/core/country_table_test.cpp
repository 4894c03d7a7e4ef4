// The country table read as the host's C library reads it, the shipped table
// against the modem's T.35 codes and the +GCI codes, and finding a
// country by the modem's reply, by name or by code.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/country_table.h"
#include "core/gci_codes.h"
#include "country_table.h"
#include "tests/support/table_rows.h"

namespace {

TEST(ShippedTable, EveryCountryIsOneTheModemKnowsAndItsReplyNamesItFirst) {
    CountryRecord table[kMaxCountries];
    const int count = LoadCountryFile(KORVANE_INI_PATH, table);
    ASSERT_EQ(count, 35);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(table[i].name);
        // The code is the T.35 code of the country whose name the modem reports.
        ASSERT_EQ(std::string(table[i].code).size(), 2u);
        const char* reported = country_name(static_cast<std::uint8_t>(std::stoul(table[i].code, nullptr, 16)));
        ASSERT_NE(reported, nullptr) << "the modem does not know the code " << table[i].code;
        const std::string reply = std::string("ati9\r") + "\r\n" + reported + "\r\n\r\nOK\r\n";
        EXPECT_EQ(FindCountry(reply.c_str(), table, count), i);
        EXPECT_EQ(FindCountryByNameOrCode(table[i].name, table, count), i);
        // Its first +GCI code is that code, and names it.
        const GciCodes codes = GciCodesOf(table[i]);
        ASSERT_GE(codes.count, 1);
        EXPECT_EQ(codes.code[0], std::stoi(table[i].code, nullptr, 16));
        EXPECT_EQ(FindCountryByGciCode(codes.code[0], table, count), i);
    }
    EXPECT_EQ(FindCountry("ati9\r\r\n\r\nOK\r\n", table, count), -1) << "the echo or the OK names a country";
    EXPECT_EQ(LoadCountryFile("/nonexistent/korvane.ini", table), -1);
}

TEST(GciCodes, TheLinesCodeInHexAndItsSecond) {
    const struct {
        const char* code;
        std::vector<int> codes;
    } rows[] = {{"B5", {0xB5}}, {"b5", {0xB5}}, {"04", {0x04, 0x42}}, {"4", {0x04, 0x42}},
                {"42", {0x42}}, {"FE", {0xFE}}, {"XY", {}},           {"", {}}};
    for (const auto& row : rows) {
        CountryRecord record = {"Name", "ID", "FLAG", ""};
        std::snprintf(record.code, sizeof record.code, "%s", row.code);
        const GciCodes codes = GciCodesOf(record);
        EXPECT_EQ(std::vector<int>(codes.code, codes.code + codes.count), row.codes) << row.code;
    }
}

TEST(ReadCountryTable, Rows) { RunTableRows(false); }

// A reply is looked up by the identification text within it, ASCII letters
// folded, the first record winning; a text the user gives, by the whole
// name first and then by the code, ASCII case ignored.
TEST(FindCountry, ByReplyAndByNameOrCode) {
    // clang-format off
    CountryRecord table[] = {{"Niger", "NIGER", "N", "80"},     {"Nigeria", "NIGERIA", "NG", "81"},
                             {"Accents", "\xC9TAT", "E", "0a"}, {"80", "EIGHTY", "E", "82"},
                             {"\xC9tat", "ETAT", "E", "83"}};
    const struct {
        bool byName;
        const char* text;
        int count, found;
    } rows[] = {{false, "xx nigeria xx", 3, 0}, {false, "NiGeRiA", 3, 0}, {false, "\xC9tat", 3, 2},
                {false, "\xE9tat", 3, -1},      {false, "", 3, -1},       {false, "niger", 0, -1},
                {true, "niger", 5, 0},          {true, "NIGER", 5, 0},    {true, "Nige", 5, -1},
                {true, "Niger ", 5, -1},        {true, "80", 5, 3},       {true, "82", 5, 3},
                {true, "0A", 5, 2},             {true, "\xE9tat", 5, -1}, {true, "", 5, -1}};
    // clang-format on
    for (const auto& row : rows) {
        const int found = row.byName ? FindCountryByNameOrCode(row.text, table, row.count)
                                     : FindCountry(row.text, table, row.count);
        EXPECT_EQ(found, row.found) << (row.byName ? "by name or code: " : "by reply: ") << row.text;
    }
    EXPECT_STREQ(table[1].modemId, "NIGERIA");  // the table is left as it was
}

}  // namespace
