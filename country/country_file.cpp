#include "country/country_file.h"

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
