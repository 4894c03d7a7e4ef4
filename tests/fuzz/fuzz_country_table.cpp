// Any file content gives at most 200 records whose fields end within their widths.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/country_table.h"

namespace {

template <std::size_t N>
void CheckField(const char (&field)[N]) {
    if (!std::memchr(field, '\0', N)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
    if (!file) return 0;
    static CountryRecord table[kMaxCountries];
    const int count = ReadCountryTable(file, table);
    std::fclose(file);
    if (count < 0 || count > kMaxCountries) std::abort();
    for (int i = 0; i < count; ++i) {
        CheckField(table[i].name);
        CheckField(table[i].modemId);
        CheckField(table[i].bitmap);
        CheckField(table[i].code);
        if (table[i].name[0] == '\0') std::abort();  // a record always has a name
    }
    return 0;
}
