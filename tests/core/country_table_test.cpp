// The country table read as the host's C library reads it (the Windows C
// runtime's text mode, which reads CR LF as LF, is the window's rows' with
// their random table), the shipped table against the modem's T.35 codes and
// the +GCI codes, and finding a country by the modem's reply, by name or by
// code.
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

// A file written byte for byte and read back as the programs read their
// table, with its findings.
// The records as "name|id|bitmap|code", the lines passed over as "line kind"
// words.
TEST(ReadCountryTable, Rows) {
    using namespace std::string_literals;
    std::string limit;
    std::vector<std::string> first200;
    for (int i = 1; i <= 203; ++i) {
        limit += "C" + std::to_string(i) + ",ID,BMP,01\n";
        if (i <= 200) first200.push_back("C" + std::to_string(i) + "|ID|BMP|01");
    }
    const std::string chad = "Chad|CHAD|CHAD|9";
    // clang-format off
    const struct {
        const char* what;
        std::string content;
        std::vector<std::string> records;
        const char* findings;  // nullptr: not looked at
    } rows[] = {
        {"nothing to report", "Chad,CHAD,CHAD,9\n\n\r\nPeru,PERU,PERU,8", {chad, "Peru|PERU|PERU|8"}, ""},
        {"fewer than four fields", "Peru,PERU,PERU\n,,,\nChad,CHAD,CHAD,9\n", {chad}, "1 dropped 2 dropped "},
        {"a NUL cuts a line short", "Oman,OMAN\0,OMAN,4\nChad,CHAD,CHAD,9\n"s, {chad}, "1 dropped "},
        {"a long line's tail becomes a record", std::string(260, 'x') + ",ID,BMP,01\nChad,CHAD,CHAD,9\n",
         {"xxxxxx|ID|BMP|01", chad}, "1 dropped 1 split "},
        {"254 characters and the line end: one piece and an empty one",
         "Iran,IRAN,IRAN," + std::string(239, '5') + "\nChad,CHAD,CHAD,9\n", {"Iran|IRAN|IRAN|55", chad}, ""},
        {"past the 200th record", limit, first200, "201 past 202 past 203 past "},
        {"CR LF, empty lines, doubled commas, spaces, extra fields, no last LF",
         "France,FRANCE,FRANCE,3D\r\n\n,,,\n,,Japan,,JAPAN,JAPAN,00\n"
         "Spain, SPAIN,SPAIN,A0,extra\nChad,CHAD,CHAD,9",
         {"France|FRANCE|FRANCE|3D", "Japan|JAPAN|JAPAN|00", "Spain| SPAIN|SPAIN|A0", chad}, nullptr},
        {"a CR without LF stays in the field", "Oman,OMAN,OMAN,4\r,\n", {"Oman|OMAN|OMAN|4\r"}, ""},
        {"values cut to their fields",
         std::string(100, 'N') + "," + std::string(30, 'I') + "," + std::string(15, 'B') + ",ABC\n",
         {std::string(79, 'N') + "|" + std::string(19, 'I') + "|" + std::string(11, 'B') + "|AB"}, ""},
        {"empty", "", {}, ""},
    };
    // clang-format on
    const char* path = "table_rows.ini";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::FILE* out = std::fopen(path, "wb");
        std::fwrite(row.content.data(), 1, row.content.size(), out);
        std::fclose(out);
        TableFindings findings;
        static CountryRecord table[kMaxCountries];
        std::FILE* in = std::fopen(path, "r");
        const int count = ReadCountryTable(in, table, &findings);
        std::fclose(in);
        std::vector<std::string> records;
        for (int i = 0; i < count; ++i)
            records.push_back(std::string(table[i].name) + "|" + table[i].modemId + "|" + table[i].bitmap + "|" +
                              table[i].code);
        EXPECT_EQ(records, row.records);
        static const char* const kKinds[] = {"split", "dropped", "past"};
        std::string found;
        for (const TableFinding& finding : findings)
            found += std::to_string(finding.line) + " " + kKinds[finding.kind] + " ";
        if (row.findings) {
            EXPECT_EQ(found, row.findings);
        }
    }
    std::remove(path);
}

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
    } rows[] = {{false, "xx nigeria xx", 3, 0}, {false, "\xC9tat", 3, 2}, {false, "\xE9tat", 3, -1},
                {false, "", 3, -1},             {false, "niger", 0, -1},  {true, "niger", 5, 0},
                {true, "Nige", 5, -1},          {true, "Niger ", 5, -1},  {true, "80", 5, 3},
                {true, "82", 5, 3},             {true, "0A", 5, 2},       {true, "", 5, -1}};
    // clang-format on
    for (const auto& row : rows) {
        const int found = row.byName ? FindCountryByNameOrCode(row.text, table, row.count)
                                     : FindCountry(row.text, table, row.count);
        EXPECT_EQ(found, row.found) << (row.byName ? "by name or code: " : "by reply: ") << row.text;
    }
    EXPECT_STREQ(table[1].modemId, "NIGERIA");  // the table is left as it was
}

}  // namespace
