#pragma once

#include <cstdint>

constexpr std::uint8_t kDefaultCountry = 0xB5;  // United States

// The name the modem reports for a T.35 country code, or nullptr when the
// modem does not support that country.
const char* country_name(std::uint8_t t35_code);
