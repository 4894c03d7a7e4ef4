// The shipped country table, and recognising a country in the modem's reply.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "country/country_file.h"
#include "country/country_match.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(ShippedCountryTable, EveryIdentificationNamesOneCountryOnly) {
    CountryRecord table[kMaxCountries];
    std::FILE* file = std::fopen(KORVANE_INI_PATH, "r");
    ASSERT_NE(file, nullptr);
    const int count = ReadCountryTable(file, table);
    std::fclose(file);
    ASSERT_EQ(count, 35);
    for (int i = 0; i < count; ++i) {
        const std::string id = Lower(table[i].modemId);
        EXPECT_EQ(std::strlen(table[i].code), 2u) << table[i].name;
        // Neither the echo of the command nor the final result code names a country.
        EXPECT_EQ(std::string("ati9").find(id), std::string::npos);
        EXPECT_EQ(std::string("ok").find(id), std::string::npos);
        // A reply that names country i (echo, name and OK run together) finds i first.
        const std::string reply = "ati9" + std::string(table[i].modemId) + "OK";
        EXPECT_EQ(FindCountry(reply.c_str(), table, count), i) << table[i].name;
    }
}

TEST(FindCountry, FoldsAsciiLettersOnlyAndFirstRecordWins) {
    CountryRecord table[3] = {{"Niger", "NIGER", "N", "80"},
                              {"Nigeria", "NIGERIA", "NG", "81"},
                              {"Accents", "\xC9TAT", "E", "01"}};
    EXPECT_EQ(FindCountry("xx nigeria xx", table, 3), 0);  // both occur: table order
    EXPECT_EQ(FindCountry("NiGeRiA", table, 3), 0);
    EXPECT_EQ(FindCountry("\xC9tat", table, 3), 2);
    EXPECT_EQ(FindCountry("\xE9tat", table, 3), -1);  // non-ASCII letters are not folded
    EXPECT_EQ(FindCountry("", table, 3), -1);
    EXPECT_EQ(FindCountry("niger", table, 0), -1);
    EXPECT_STREQ(table[1].modemId, "NIGERIA");  // the table is left as it was
}

}  // namespace
