// One country of the table: four zero-terminated fields of fixed width.
#pragma once

constexpr int kMaxCountries = 200;

struct CountryRecord {
    char name[80];     // display name
    char modemId[20];  // text the modem's country information contains
    char bitmap[12];   // name of the flag bitmap resource
    char code[3];      // one or two characters of the country code
};
