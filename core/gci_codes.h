// The country codes of the standard country command (+GCI). A table line's
// code is its country's T.35 code in hex, which the card takes as written and
// a +GCI modem as the octet it names; a few countries have a second code,
// which some modems list instead, kept here by the first.
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

// The value of a hex digit, either letter case; -1 for any other character.
int HexDigitValue(char c);
// The +GCI codes of a table line's country: its code, when that is one or
// two hex digits, and the code's second, if it has one; none otherwise.
GciCodes GciCodesOf(const CountryRecord& record);
// The first table line whose country has code among its +GCI codes; -1 when none.
int FindCountryByGciCode(int code, const CountryRecord* table, int count);
// The first of the country's codes that the modem supports; -1 when none is.
int ChooseGciCode(const GciCodes& codes, const GciCodeSet& supported);
// "04", "B5": two upper-case hex digits.
std::string GciCodeText(int code);
