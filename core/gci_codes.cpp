#include "core/gci_codes.h"

#include <cstdio>

namespace {

// A country's second code, by its first.
struct SecondCode {
    int first, second;
};

// Germany has two codes of its own; some makers' modems list 42 and not 04.
const SecondCode kSecondCodes[] = {{0x04, 0x42}};

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

GciCodes GciCodesOf(const CountryRecord& record) {
    int first = -1;
    for (const char* c = record.code; *c; ++c) {
        if (HexDigitValue(*c) < 0) return {};
        first = (first < 0 ? 0 : first * 16) + HexDigitValue(*c);
    }
    if (first < 0) return {};
    GciCodes codes;
    codes.code[codes.count++] = first;
    for (const SecondCode& entry : kSecondCodes)
        if (entry.first == first) codes.code[codes.count++] = entry.second;
    return codes;
}

int FindCountryByGciCode(int code, const CountryRecord* table, int count) {
    for (int i = 0; i < count; ++i) {
        const GciCodes codes = GciCodesOf(table[i]);
        for (int k = 0; k < codes.count; ++k)
            if (codes.code[k] == code) return i;
    }
    return -1;
}

int ChooseGciCode(const GciCodes& codes, const GciCodeSet& supported) {
    for (int k = 0; k < codes.count; ++k)
        if (supported.test(static_cast<std::size_t>(codes.code[k]))) return codes.code[k];
    return -1;
}

std::string GciCodeText(int code) {
    char text[sizeof "FF"];
    std::snprintf(text, sizeof text, "%02X", code & 0xff);
    return text;
}
