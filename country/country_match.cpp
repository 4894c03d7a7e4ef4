#include "country/country_match.h"

#include <cstring>

int g_selectedCountry;

namespace {

// Lower-cases the ASCII letters A to Z only, whatever the locale.
void AsciiLower(char* text) {
    for (; *text; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
    }
}

}  // namespace

int FindCountry(const char* reply, const CountryRecord* table, int count) {
    char text[80];
    std::strncpy(text, reply, sizeof text - 1);
    text[sizeof text - 1] = '\0';
    AsciiLower(text);
    for (int i = 0; i < count; ++i) {
        char id[sizeof table[i].modemId];
        std::memcpy(id, table[i].modemId, sizeof id);
        id[sizeof id - 1] = '\0';
        AsciiLower(id);
        if (std::strstr(text, id)) return i;
    }
    return -1;
}
