#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

// The country codes a modem of the gci personality supports, written as it
// lists them in answer to "AT+GCI=?" (between the parentheses): single codes
// and ranges of two hex digits, comma-separated ("00,B4,B5", "00-FF",
// "00-0F,B4").
using SupportedCodes = std::bitset<256>;

// The codes a list names; nullopt when the text is no such list.
std::optional<SupportedCodes> parse_gci_list(std::string_view text);

// The codes of the countries the modem has names for, as a list.
std::string known_countries_list();
