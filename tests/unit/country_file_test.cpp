// The country table loader, through the Windows C runtime's text-mode reading.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "country/country_file.h"

namespace {

struct Table {
    CountryRecord records[kMaxCountries];
    int count = 0;
};

// Writes content byte for byte, then reads it back as the program does.
Table Load(const std::string& content) {
    const char* path = "country_file_test.ini";
    std::FILE* out = std::fopen(path, "wb");
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
    Table table;
    std::FILE* in = std::fopen(path, "r");
    table.count = ReadCountryTable(in, table.records);
    std::fclose(in);
    std::remove(path);
    return table;
}

void ExpectRecord(const CountryRecord& r, const char* name, const char* id, const char* bitmap,
                  const char* code) {
    EXPECT_STREQ(r.name, name);
    EXPECT_STREQ(r.modemId, id);
    EXPECT_STREQ(r.bitmap, bitmap);
    EXPECT_STREQ(r.code, code);
}

TEST(CountryFile, TokenisesLinesAsRecords) {
    Table t = Load(
        "France,FRANCE,FRANCE,3D\r\n"  // CR LF reads as LF
        "\n"                           // empty line: no record
        ",,,\n"                        // only commas: no record
        ",,Japan,,JAPAN,JAPAN,00\n"    // leading and doubled commas vanish
        "Spain, SPAIN,SPAIN,A0,extra,more\n"  // spaces kept, fields after the fourth ignored
        "Peru,PERU,PERU\n"             // three fields: skipped
        "Italy,,ITALY,59\n"            // empty id: three fields left, skipped
        "Chad,CHAD,CHAD,9");           // last line without LF, one-character code
    ASSERT_EQ(t.count, 4);
    ExpectRecord(t.records[0], "France", "FRANCE", "FRANCE", "3D");
    ExpectRecord(t.records[1], "Japan", "JAPAN", "JAPAN", "00");
    ExpectRecord(t.records[2], "Spain", " SPAIN", "SPAIN", "A0");
    ExpectRecord(t.records[3], "Chad", "CHAD", "CHAD", "9");
}

TEST(CountryFile, CarriageReturnWithoutLineFeedStaysInTheField) {
    Table t = Load("Oman,OMAN,OMAN,4\r,\n");
    ASSERT_EQ(t.count, 1);
    EXPECT_STREQ(t.records[0].code, "4\r");
}

TEST(CountryFile, CtrlZEndsTheFile) {
    Table t = Load("France,FRANCE,FRANCE,3D\nJapan,JAPAN,JAPAN,00\x1a\nSpain,SPAIN,SPAIN,A0\n");
    ASSERT_EQ(t.count, 2);
    EXPECT_STREQ(t.records[1].code, "00");
}

TEST(CountryFile, OverlongValuesAreCutAndTerminated) {
    const std::string name(100, 'N'), id(30, 'I'), bitmap(15, 'B');
    Table t = Load(name + "," + id + "," + bitmap + ",ABC\n");
    ASSERT_EQ(t.count, 1);
    EXPECT_EQ(std::string(t.records[0].name), std::string(79, 'N'));
    EXPECT_EQ(std::string(t.records[0].modemId), std::string(19, 'I'));
    EXPECT_EQ(std::string(t.records[0].bitmap), std::string(11, 'B'));
    EXPECT_STREQ(t.records[0].code, "AB");
}

TEST(CountryFile, LongLinesAreReadInPiecesOf254) {
    // The first piece holds 254 characters; the rest reads as a line of its own.
    const std::string head = "A,B,C,D," + std::string(246, 'x');
    Table t = Load(head + "Iran,IRAN,IRAN,55\n");
    ASSERT_EQ(t.count, 2);
    EXPECT_STREQ(t.records[0].code, "D");
    ExpectRecord(t.records[1], "Iran", "IRAN", "IRAN", "55");
}

TEST(CountryFile, StopsAfter200Records) {
    std::string content;
    for (int i = 0; i < 205; ++i) content += "C" + std::to_string(i) + ",ID,BMP,01\n";
    Table t = Load(content);
    ASSERT_EQ(t.count, 200);
    EXPECT_STREQ(t.records[199].name, "C199");
}

TEST(CountryFile, EmptyAndBinaryFilesGiveNoBrokenRecords) {
    EXPECT_EQ(Load("").count, 0);
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 7) % 256);
    Table t = Load(binary);
    for (int i = 0; i < t.count; ++i) {
        EXPECT_LT(std::string(t.records[i].name).size(), sizeof t.records[i].name);
        EXPECT_LT(std::string(t.records[i].code).size(), sizeof t.records[i].code);
    }
}

}  // namespace
