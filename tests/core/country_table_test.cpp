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

// A table read twice, as the window reads it and with findings: the records
// ("name|code" each) must be the same; the findings, as "line kind" words.
struct Reading {
    std::string records, findings;
};
Reading ReadWithFindings(const std::string& content) {
    const auto read = [&](TableFindings* findings) {
        std::FILE* file = std::tmpfile();
        std::fwrite(content.data(), 1, content.size(), file);
        std::rewind(file);
        static CountryRecord table[kMaxCountries];
        const int count = ReadCountryTable(file, table, findings);
        std::fclose(file);
        std::string records;
        for (int i = 0; i < count; ++i) records += std::string(table[i].name) + "|" + table[i].code + " ";
        return records;
    };
    TableFindings findings;
    Reading reading{read(&findings), ""};
    EXPECT_EQ(reading.records, read(nullptr)) << "the findings changed the records";
    static const char* const kKinds[] = {"split", "dropped", "past"};
    for (const TableFinding& finding : findings)
        reading.findings += std::to_string(finding.line) + " " + kKinds[finding.kind] + " ";
    return reading;
}

TEST(ReadCountryTable, ReportsWhatItPassesOver) {
    using namespace std::string_literals;
    std::string many;
    for (int i = 1; i <= 203; ++i) many += "C" + std::to_string(i) + ",ID,BMP,01\n";
    const struct {
        const char* what;
        std::string content;
        const char* records;
        const char* findings;
    } rows[] = {
        {"nothing to report", "Chad,CHAD,CHAD,9\n\n\r\nPeru,PERU,PERU,8", "Chad|9 Peru|8 ", ""},
        {"fewer than four fields", "Peru,PERU,PERU\n,,,\nChad,CHAD,CHAD,9\n", "Chad|9 ", "1 dropped 2 dropped "},
        {"a NUL cuts a line short", "Oman,OMAN\0,OMAN,4\nChad,CHAD,CHAD,9\n"s, "Chad|9 ", "1 dropped "},
        {"a long line's tail becomes a record", std::string(260, 'x') + ",ID,BMP,01\nChad,CHAD,CHAD,9\n",
         "xxxxxx|01 Chad|9 ", "1 dropped 1 split "},
        {"254 characters and the line end: one piece and an empty one",
         "Iran,IRAN,IRAN," + std::string(239, '5') + "\nChad,CHAD,CHAD,9\n", "Iran|55 Chad|9 ", ""},
        {"a line of 3000 commas", ",,,\n" + std::string(3000, ',') + "\nChad,CHAD,CHAD,9", "Chad|9 ",
         "1 dropped 2 dropped 2 split "},
        {"past the 200th record", many, "", "201 past 202 past 203 past "},
    };
    for (const auto& row : rows) {
        const Reading reading = ReadWithFindings(row.content);
        if (*row.records) {
            EXPECT_EQ(reading.records, row.records) << row.what;
        }
        EXPECT_EQ(reading.findings, row.findings) << row.what;
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
