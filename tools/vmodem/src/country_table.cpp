#include "country_table.h"

namespace {

struct Country {
    std::uint8_t code;
    const char* name;
};

// Countries the modem firmware supports, by T.35 code.
constexpr Country kCountries[] = {
    {0x00, "JAPAN"},          {0x04, "GERMANY"},       {0x09, "AUSTRALIA"},    {0x0A, "AUSTRIA"},
    {0x0F, "BELGIUM"},        {0x20, "CANADA"},        {0x26, "CHINA"},        {0x2E, "CZECH REPUBLIC"},
    {0x31, "DENMARK"},        {0x3C, "FINLAND"},       {0x3D, "FRANCE"},       {0x46, "GREECE"},
    {0x50, "HONG KONG"},      {0x51, "HUNGARY"},       {0x52, "ICELAND"},      {0x57, "IRELAND"},
    {0x59, "ITALY"},          {0x61, "KOREA"},         {0x6C, "MALAYSIA"},     {0x73, "MEXICO"},
    {0x7B, "NETHERLANDS"},    {0x7E, "NEW ZEALAND"},   {0x82, "NORWAY"},       {0x89, "PHILIPPINES"},
    {0x8B, "PORTUGAL"},       {0x9C, "SINGAPORE"},     {0x9F, "SOUTH AFRICA"}, {0xA0, "SPAIN"},
    {0xA5, "SWEDEN"},         {0xA6, "SWITZERLAND"},   {0xA9, "THAILAND"},     {0xAE, "TURKEY"},
    {0xB4, "UNITED KINGDOM"}, {0xB5, "UNITED STATES"}, {0xFE, "TAIWAN"},
};

}  // namespace

const char* country_name(std::uint8_t t35_code) {
    for (const Country& c : kCountries)
        if (c.code == t35_code) return c.name;
    return nullptr;
}
