// The country table loader, fed hostile files through the Windows C
// runtime's text mode: CR LF read as LF, Ctrl-Z as the end of the file. (The
// shipped table, the lookups, short lines, long lines and lines of commas,
// and the 200 records' limit alone are the core's native test.)
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/country_table.h"
#include "tests/support/random_table.h"

namespace {

// Writes content byte for byte, then reads it back as the program does: the
// records as "name|id|bitmap|code" lines.
std::vector<std::string> Load(const std::string& content) {
    const char* path = "country_test.ini";
    std::FILE* out = std::fopen(path, "wb");
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
    static CountryRecord table[kMaxCountries];
    std::FILE* in = std::fopen(path, "r");
    const int count = ReadCountryTable(in, table);
    std::fclose(in);
    std::remove(path);
    std::vector<std::string> records;
    for (int i = 0; i < count; ++i)
        records.push_back(std::string(table[i].name) + "|" + table[i].modemId + "|" + table[i].bitmap + "|" +
                          table[i].code);
    return records;
}

TEST(CountryFile, HostileFiles) {
    const RandomTable few = MakeRandomTable(7, 150), many = MakeRandomTable(11, 900);
    const struct {
        const char* what;
        std::string content;
        std::vector<std::string> records;
    } rows[] = {
        {"CR LF, empty lines, doubled commas, spaces, extra fields, no last LF",
         "France,FRANCE,FRANCE,3D\r\n\n,,,\n,,Japan,,JAPAN,JAPAN,00\nSpain, "
         "SPAIN,SPAIN,A0,extra\nChad,CHAD,CHAD,9",
         {"France|FRANCE|FRANCE|3D", "Japan|JAPAN|JAPAN|00", "Spain| SPAIN|SPAIN|A0", "Chad|CHAD|CHAD|9"}},
        {"a CR without LF stays in the field", "Oman,OMAN,OMAN,4\r,\n", {"Oman|OMAN|OMAN|4\r"}},
        {"Ctrl-Z ends the file",
         "A,B,C,01\nD,E,F,0\x1a"
         "2\nG,H,I,03\n",
         {"A|B|C|01", "D|E|F|0"}},
        {"values cut to their fields",
         std::string(100, 'N') + "," + std::string(30, 'I') + "," + std::string(15, 'B') + ",ABC\n",
         {std::string(79, 'N') + "|" + std::string(19, 'I') + "|" + std::string(11, 'B') + "|AB"}},
        {"a 10 MiB line first", std::string(10 << 20, 'x') + "\nAfter,ID,UK,01\n", {"After|ID|UK|01"}},
        {"empty", "", {}},
        {"random bytes in random fields", few.content, few.records},
        {"random lines, more than 200 of them with four fields", many.content, many.records},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Load(row.content), row.records);
    }
    ASSERT_EQ(many.records.size(), 200u) << "the random table must run past 200 records";
}

}  // namespace
