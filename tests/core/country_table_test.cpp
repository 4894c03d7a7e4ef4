// The country table read as the host's C library reads it, the shipped table
// against the modem's T.35 codes and the +GCI codes, and finding a
// country by the modem's reply, by name or by code. (How the Windows C
// runtime's text mode reads a table, CR LF and Ctrl-Z, is the Wine unit test's.)
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/country_table.h"
#include "core/gci_codes.h"
#include "country_table.h"

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

TEST(FindCountry, FoldsAsciiLettersOnlyAndTheFirstRecordWins) {
    CountryRecord table[3] = {
        {"Niger", "NIGER", "N", "80"}, {"Nigeria", "NIGERIA", "NG", "81"}, {"Accents", "\xC9TAT", "E", "01"}};
    const struct {
        const char* reply;
        int count;
        int found;
    } rows[] = {{"xx nigeria xx", 3, 0}, {"NiGeRiA", 3, 0}, {"\xC9tat", 3, 2},
                {"\xE9tat", 3, -1},      {"", 3, -1},       {"niger", 0, -1}};
    for (const auto& row : rows) EXPECT_EQ(FindCountry(row.reply, table, row.count), row.found) << row.reply;
    EXPECT_STREQ(table[1].modemId, "NIGERIA");  // the table is left as it was
}

TEST(FindCountryByNameOrCode, WholeNameFirstThenCodeAsciiCaseIgnored) {
    CountryRecord table[3] = {
        {"Chad", "CHAD", "C", "80"}, {"80", "EIGHTY", "E", "81"}, {"\xC9tat", "ETAT", "E", "0a"}};
    const struct {
        const char* text;
        int found;
    } rows[] = {{"chad", 0}, {"CHAD", 0}, {"Cha", -1},     {"Chad ", -1}, {"80", 1},
                {"81", 1},   {"0A", 2},   {"\xE9tat", -1}, {"", -1}};
    for (const auto& row : rows) EXPECT_EQ(FindCountryByNameOrCode(row.text, table, 3), row.found) << row.text;
}

}  // namespace
