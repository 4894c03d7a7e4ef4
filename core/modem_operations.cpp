#include "core/modem_operations.h"

#include <cstring>

#include "core/dialect_operations.h"

// The card's operations are the t19 dialect's, with nothing asked of the modem first.
ProbeResult ProbePort(ModemPort& port, const char* name, const ModemTiming& timing) {
    const DetectResult detected = DetectModem(port, name, Dialect::T19, timing);
    return {detected.report, detected.dialect == Dialect::T19};
}

QueryResult QueryCountry(ModemPort& port, const char* name, const CountryRecord* table, int count,
                         const ModemTiming& timing) {
    const CountryQuery query = QueryCountryIn(port, name, Dialect::T19, table, count, timing);
    QueryResult result;
    result.report = query.report;
    result.answer.country = query.country;
    result.answer.answered = query.answered;
    std::memcpy(result.answer.reply, query.reply, sizeof result.answer.reply);
    return result;
}

SetResult SetCountry(ModemPort& port, const char* name, const char* code, const ModemTiming& timing) {
    CountryRecord country = {};
    std::strncpy(country.code, code, sizeof country.code - 1);
    const CountrySet set = SetCountryIn(port, name, Dialect::T19, country, timing);
    return {set.report, set.outcome == SetOutcome::Set};
}
