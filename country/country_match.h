// Recognising the modem's country in its reply.
#pragma once
#include "country/country_record.h"

// Index into m_countries of the country last recognised or chosen for setting. UI thread only.
extern int g_selectedCountry;

// The first record, in table order, whose modemId occurs in reply, ASCII
// letter case ignored on both sides; -1 when none does. The table is not changed.
int FindCountry(const char* reply, const CountryRecord* table, int count);
