// The country table reader's rows, run by the core's native test and by the
// Windows C runtime's under Wine: a file written byte for byte and read back
// as the program reads its table, in text mode, twice (with the findings and
// without: the records must be the same). The records as
// "name|id|bitmap|code", the lines passed over as "line kind" words. The rows
// whose bytes the Windows runtime's text mode reads otherwise (CR LF read as
// LF, Ctrl-Z as the end of the file) are its alone.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/country_table.h"
#include "tests/support/random_table.h"

inline std::vector<std::string> ReadTableFile(const char* path, TableFindings* findings) {
    static CountryRecord table[kMaxCountries];
    std::FILE* in = std::fopen(path, "r");
    const int count = ReadCountryTable(in, table, findings);
    std::fclose(in);
    std::vector<std::string> records;
    for (int i = 0; i < count; ++i)
        records.push_back(std::string(table[i].name) + "|" + table[i].modemId + "|" + table[i].bitmap + "|" +
                          table[i].code);
    return records;
}

inline void RunTableRows(bool windowsTextMode) {
    using namespace std::string_literals;
    const RandomTable few = MakeRandomTable(7, 150), many = MakeRandomTable(11, 900);
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
        bool windowsOnly = false;
    } rows[] = {
        {"nothing to report", "Chad,CHAD,CHAD,9\n\n\r\nPeru,PERU,PERU,8", {chad, "Peru|PERU|PERU|8"}, ""},
        {"fewer than four fields", "Peru,PERU,PERU\n,,,\nChad,CHAD,CHAD,9\n", {chad}, "1 dropped 2 dropped "},
        {"a NUL cuts a line short", "Oman,OMAN\0,OMAN,4\nChad,CHAD,CHAD,9\n"s, {chad}, "1 dropped "},
        {"a long line's tail becomes a record", std::string(260, 'x') + ",ID,BMP,01\nChad,CHAD,CHAD,9\n",
         {"xxxxxx|ID|BMP|01", chad}, "1 dropped 1 split "},
        {"254 characters and the line end: one piece and an empty one",
         "Iran,IRAN,IRAN," + std::string(239, '5') + "\nChad,CHAD,CHAD,9\n", {"Iran|IRAN|IRAN|55", chad}, ""},
        {"a line of 3000 commas", ",,,\n" + std::string(3000, ',') + "\nChad,CHAD,CHAD,9", {chad},
         "1 dropped 2 dropped 2 split "},
        {"past the 200th record", limit, first200, "201 past 202 past 203 past "},
        {"CR LF, empty lines, doubled commas, spaces, extra fields, no last LF",
         "France,FRANCE,FRANCE,3D\r\n\n,,,\n,,Japan,,JAPAN,JAPAN,00\n"
         "Spain, SPAIN,SPAIN,A0,extra\nChad,CHAD,CHAD,9",
         {"France|FRANCE|FRANCE|3D", "Japan|JAPAN|JAPAN|00", "Spain| SPAIN|SPAIN|A0", chad}, nullptr},
        {"a CR without LF stays in the field", "Oman,OMAN,OMAN,4\r,\n", {"Oman|OMAN|OMAN|4\r"}, ""},
        {"values cut to their fields",
         std::string(100, 'N') + "," + std::string(30, 'I') + "," + std::string(15, 'B') + ",ABC\n",
         {std::string(79, 'N') + "|" + std::string(19, 'I') + "|" + std::string(11, 'B') + "|AB"}, ""},
        {"a 10 MiB line first", std::string(10 << 20, 'x') + "\nAfter,ID,UK,01\n", {"After|ID|UK|01"}, nullptr},
        {"empty", "", {}, ""},
        {"Ctrl-Z ends the file", "A,B,C,01\nD,E,F,0\x1a" "2\nG,H,I,03\n", {"A|B|C|01", "D|E|F|0"}, nullptr, true},
        {"random bytes in random fields", few.content, few.records, nullptr, true},
        {"random lines, more than 200 of them with four fields", many.content, many.records, nullptr, true},
    };
    // clang-format on
    ASSERT_EQ(many.records.size(), 200u) << "the random table must run past 200 records";
    const char* path = "table_rows.ini";
    for (const auto& row : rows) {
        if (row.windowsOnly && !windowsTextMode) continue;
        SCOPED_TRACE(row.what);
        std::FILE* out = std::fopen(path, "wb");
        std::fwrite(row.content.data(), 1, row.content.size(), out);
        std::fclose(out);
        TableFindings findings;
        const std::vector<std::string> records = ReadTableFile(path, &findings);
        EXPECT_EQ(records, row.records);
        EXPECT_EQ(records, ReadTableFile(path, nullptr)) << "the findings changed the records";
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
