#include "core/country_table.h"

#include <cstring>

namespace {

constexpr int kLineBuffer = 255;  // fgets reads at most 254 characters a time
const char kDelimiters[] = ",\n";

// Copies a field cut to its width, always zero-terminated and zero-padded.
template <std::size_t N>
void CopyField(char (&field)[N], const char* value) {
    std::strncpy(field, value, N - 1);
    field[N - 1] = '\0';
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Lower-cases the ASCII letters A to Z only, whatever the locale.
void AsciiLower(char* text) {
    for (; *text; ++text) *text = AsciiLower(*text);
}

bool SameIgnoringAsciiCase(const char* a, const char* b) {
    for (; *a && AsciiLower(*a) == AsciiLower(*b); ++a, ++b) {}
    return *a == *b;
}

}  // namespace

int ReadCountryTable(std::FILE* file, CountryRecord* table) {
    char line[kLineBuffer];
    int count = 0;
    while (count < kMaxCountries && std::fgets(line, sizeof line, file)) {
        const char* fields[4];
        fields[0] = std::strtok(line, kDelimiters);
        if (!fields[0]) continue;  // empty line, or only delimiters
        int found = 1;
        while (found < 4 && (fields[found] = std::strtok(nullptr, kDelimiters))) ++found;
        if (found < 4) continue;
        CountryRecord& record = table[count++];
        CopyField(record.name, fields[0]);
        CopyField(record.modemId, fields[1]);
        CopyField(record.bitmap, fields[2]);
        CopyField(record.code, fields[3]);
    }
    return count;
}

int LoadCountryFile(const char* path, CountryRecord* table) {
    std::FILE* file = std::fopen(path, "r");
    if (!file) return -1;
    const int count = ReadCountryTable(file, table);
    std::fclose(file);
    return count;
}

int FindCountry(const char* reply, const CountryRecord* table, int count) {
    char text[kLineSize];
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

int FindCountryByNameOrCode(const char* text, const CountryRecord* table, int count) {
    for (int i = 0; i < count; ++i)
        if (SameIgnoringAsciiCase(table[i].name, text)) return i;
    for (int i = 0; i < count; ++i)
        if (SameIgnoringAsciiCase(table[i].code, text)) return i;
    return -1;
}
