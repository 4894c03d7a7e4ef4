// The country table: the file that lists the countries, and finding a
// country in it by the modem's reply, by name or by code.
//
// The file holds one country per line: display name, identification text,
// flag bitmap name and country code, comma-separated. It is read in text
// mode, a line 254 characters at a time; commas and line feeds delimit
// fields, a run of them counts as one, and a line with fewer than four fields
// takes no record. At most kMaxCountries records are read.
#pragma once
#include <cstdio>
#include <vector>

#include "core/line_size.h"

constexpr int kMaxCountries = 200;
// The file's name, in the program's directory.
constexpr char kCountryTableFile[] = "korvane.ini";

// One country: four zero-terminated fields of fixed width.
struct CountryRecord {
    char name[kLineSize];  // display name
    char modemId[20];      // text the modem's country information contains
    char bitmap[12];       // name of the flag bitmap resource
    char code[3];          // one or two characters of the country code
};

// What the file's rules pass over in silence, for a reader that would tell:
// a line split because it is longer than a read takes, a line that takes no
// record, and a record past the limit. Lines count from 1; each line is
// named once for each of its findings. Empty lines, or lines of CR alone,
// are no finding.
struct TableFinding {
    enum Kind { Split, Dropped, PastLimit };
    Kind kind;
    int line;
};
using TableFindings = std::vector<TableFinding>;

// Reads records from an open text stream into table (room for kMaxCountries);
// returns how many were read. Given findings, it also fills them, reading on
// past the limit to find the records left out; the records are the same.
int ReadCountryTable(std::FILE* file, CountryRecord* table, TableFindings* findings = nullptr);
// Reads the file at path; -1 when it cannot be opened.
int LoadCountryFile(const char* path, CountryRecord* table);

// The first record, in table order, whose modemId occurs in reply, ASCII
// letter case ignored on both sides; -1 when none does.
int FindCountry(const char* reply, const CountryRecord* table, int count);
// The first record whose name is text, ASCII letter case ignored, else the
// first whose code is; -1 when none is.
int FindCountryByNameOrCode(const char* text, const CountryRecord* table, int count);
