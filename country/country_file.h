// Reads the country table file: one country per line, four comma-separated fields.
#pragma once
#include <cstdio>

#include "country/country_record.h"

// Reads records from an open text stream into table (at most kMaxCountries);
// returns how many were read. A line whose name is followed by fewer than
// three more fields takes no record.
int ReadCountryTable(std::FILE* file, CountryRecord* table);
