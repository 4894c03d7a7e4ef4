#include "core/gci_codes.h"

#include <cstdio>
#include <cstring>

namespace {

// The +GCI codes live here, apart from the table's code field, which is the
// card's: the card takes "%t19,0," with the table's code, a +GCI modem the
// country code of its own command, and the two need not agree (an
// administrator may change the card's codes, and makers' lists differ). So
// neither dialect can ever send the other's code, and a line this list does
// not know is refused, never guessed. A fifth field in the table would hold
// the same, but the window reads each line as exactly four fields and an
// edited table must keep working there; and the codes are keyed by the flag,
// because the 35 flags are the program's own and each names one country for
// certain, where a line's display name may be translated or edited.
struct FlagCodes {
    const char* flag;
    GciCodes codes;
};

const FlagCodes kFlagCodes[] = {
    {"AUSTRIA", {1, {0x0A}}},
    {"AUSTRLIA", {1, {0x09}}},
    {"BELGIUM", {1, {0x0F}}},
    {"CANADA", {1, {0x20}}},
    {"CHINA", {1, {0x26}}},
    {"CZECHREP", {1, {0x2E}}},
    {"DENMARK", {1, {0x31}}},
    {"FINLAND", {1, {0x3C}}},
    {"FRANCE", {1, {0x3D}}},
    // Germany has two codes of its own; some makers' modems list 42 and not 04.
    {"GERMANY", {2, {0x04, 0x42}}},
    {"GREECE", {1, {0x46}}},
    {"HONGKONG", {1, {0x50}}},
    {"HUNGARY", {1, {0x51}}},
    {"ICELAND", {1, {0x52}}},
    {"IRELAND", {1, {0x57}}},
    {"ITALY", {1, {0x59}}},
    {"JAPAN", {1, {0x00}}},
    {"KOREA", {1, {0x61}}},
    {"MALAYSIA", {1, {0x6C}}},
    {"MEXICO", {1, {0x73}}},
    {"NETHERLAN", {1, {0x7B}}},
    {"NEWZEALA", {1, {0x7E}}},
    {"NORWAY", {1, {0x82}}},
    {"PHILIPPI", {1, {0x89}}},
    {"PORTUGAL", {1, {0x8B}}},
    {"SINGAPOR", {1, {0x9C}}},
    {"SOUTHAFRICA", {1, {0x9F}}},
    {"SPAIN", {1, {0xA0}}},
    {"SWEDEN", {1, {0xA5}}},
    {"SWITERLA", {1, {0xA6}}},
    // The international list has no code for Taiwan; modems take FE.
    {"TAIWAN", {1, {0xFE}}},
    {"THAILAN", {1, {0xA9}}},
    {"TURKEY", {1, {0xAE}}},
    {"UK", {1, {0xB4}}},
    {"USA", {1, {0xB5}}},
};

}  // namespace

GciCodes GciCodesOf(const CountryRecord& record) {
    for (const FlagCodes& entry : kFlagCodes)
        if (std::strcmp(entry.flag, record.bitmap) == 0) return entry.codes;
    return {};
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
    char text[8];
    std::snprintf(text, sizeof text, "%02X", code & 0xff);
    return text;
}
