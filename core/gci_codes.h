// The country codes of the standard country command (+GCI) for the
// countries of the table, and the way back from a code to a table line.
#pragma once
#include <bitset>
#include <string>

#include "core/country_table.h"

// A +GCI code: one octet, written as two hex digits.
using GciCodeSet = std::bitset<256>;

// A country's +GCI codes: the one to send first, then any other code that
// names the same country, which a modem may list instead.
struct GciCodes {
    int count = 0;  // 0: the country has no +GCI code
    int code[2] = {};
};

// The +GCI codes of a table line's country, found by the flag it names.
GciCodes GciCodesOf(const CountryRecord& record);
// The first table line whose country has code among its +GCI codes; -1 when none.
int FindCountryByGciCode(int code, const CountryRecord* table, int count);
// The first of the country's codes that the modem supports; -1 when none is.
int ChooseGciCode(const GciCodes& codes, const GciCodeSet& supported);
// "04", "B5": two upper-case hex digits.
std::string GciCodeText(int code);
