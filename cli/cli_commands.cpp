// korvane-cli's query, supported, set and check on one port, in either dialect:
// what they print and their exit codes.
#include <cstdio>

#include "cli/cli_parts.h"
#include "cli/json_text.h"
#include "core/gci_codes.h"

namespace {

std::string Quoted(const std::string& text) { return JsonString(text.c_str()); }

// The table's name of a +GCI code, nullptr when no line has it.
const char* GciCountryName(const CliContext& context, int code) {
    const int country = FindCountryByGciCode(code, context.table, context.count);
    return country < 0 ? nullptr : context.table[country].name;
}

// "04 Germany, 99": the codes with the table's names, as a message lists them.
std::string NamedCodes(const CliContext& context, const GciCodeSet& codes, const std::string& listed) {
    std::string text;
    for (int code = 0; code < 256; ++code) {
        if (!codes.test(static_cast<std::size_t>(code))) continue;
        const char* name = GciCountryName(context, code);
        text += (text.empty() ? "" : ", ") + GciCodeText(code) + (name ? std::string(" ") + name : "");
    }
    return "(" + listed + ")" + (text.empty() ? "" : ": " + text);
}

// A port that could not be worked, or no modem on it: the exit and its reason.
int NoModemThere(const std::string& port, const LinkReport& report) {
    if (!report.usable) return PortFailure(port, report);
    return CliFail(kNoModem, "no modem answered on " + port);
}

// Why a +GCI command gave nothing to go on: ERROR or another result, no answer, or an answer without the expected.
std::string RefusalText(const std::string& port, FinalResult final, const char* command, const char* lacking) {
    const std::string modem = "the modem on " + port;
    if (final == FinalResult::Ok) return modem + " answered AT" + command + " with no " + lacking;
    if (final == FinalResult::None) return modem + " did not answer AT" + command + " in time";
    return modem + " answered " + FinalResultText(final) + " to AT" + command;
}

// The modem's country read, announced when told what it is doing: -1, or
// the exit of a failure, with its reason, when nothing was read.
int ReadCountry(const CliContext& context, const std::string& port, Dialect dialect, const char* doing,
                CountryQuery& query) {
    const auto announce = [&](Dialect spoken) {
        if (doing) CliSay("%s the country on %s (%s)...\n", doing, port.c_str(), DialectName(spoken));
    };
    query = QueryCountryIn(*context.platform.NewPort(), port.c_str(), dialect, context.table, context.count,
                           context.timing, announce);
    const bool gci = query.dialect == Dialect::Gci;
    // A card that echoed "ati9" and said nothing more is no modem answering either.
    if (query.dialect == Dialect::Auto || !query.report.usable || (!gci && !query.answered))
        return NoModemThere(port, query.report);
    if (gci && query.gciCode < 0)
        return CliFail(kNoModem, RefusalText(port, query.final, "+GCI?", "country code"));
    if (gci && query.country < 0)
        CliSay("korvane-cli: +GCI: %s names no country in the table\n", GciCodeText(query.gciCode).c_str());
    return -1;
}

// The table's name of the country read; nullptr when it has none.
const char* NameRead(const CliContext& context, const CountryQuery& query) {
    return query.country < 0 ? nullptr : context.table[query.country].name;
}

// The code of the country read, in its dialect's own form: the card's from
// the table, a gci modem's as it reported it; "" when there is none.
std::string CodeRead(const CliContext& context, const CountryQuery& query) {
    if (query.dialect == Dialect::Gci) return GciCodeText(query.gciCode);
    return query.country < 0 ? "" : context.table[query.country].code;
}

// The country read as JSON's fields, from "port" to "dialect".
std::string CountryFields(const CliContext& context, const std::string& port, const CountryQuery& query) {
    const std::string code = CodeRead(context, query);
    return "\"port\":" + Quoted(port) + ",\"country\":" + JsonString(NameRead(context, query)) +
           ",\"code\":" + (code.empty() ? "null" : Quoted(code)) + ",\"dialect\":\"" + DialectName(query.dialect) +
           "\"";
}

}  // namespace

int QueryCommand(const CliContext& context, const std::string& port, Dialect dialect) {
    CountryQuery query;
    const int failure = ReadCountry(context, port, dialect, "querying", query);
    if (failure >= 0) return failure;
    const char* name = NameRead(context, query);
    if (context.options.json)
        std::printf("{%s}\n", CountryFields(context, port, query).c_str());
    else
        std::printf("%s\n", name ? name : "unknown");
    return kDone;
}

int CheckCommand(const CliContext& context, const std::string& port, Dialect dialect, int country) {
    CountryQuery query;
    // Quiet while it works: a monitor reads the one line it prints.
    const int failure = ReadCountry(context, port, dialect, nullptr, query);
    if (failure >= 0) return failure;
    const CountryRecord& wanted = context.table[country];
    const bool same = HasCountry(query, context.table, wanted);
    const char* name = NameRead(context, query);
    const std::string code = CodeRead(context, query);
    const std::string has = name ? name : code.empty() ? "an unknown country" : "+GCI " + code;
    if (context.options.json)
        std::printf("{%s,\"expected\":%s,\"same\":%s}\n", CountryFields(context, port, query).c_str(),
                    JsonString(wanted.name).c_str(), same ? "true" : "false");
    else if (same)
        std::printf("the modem on %s has %s\n", port.c_str(), has.c_str());
    else
        std::printf("the modem on %s has %s, not %s\n", port.c_str(), has.c_str(), wanted.name);
    return same ? kDone : kNoModem;
}

int SupportedCommand(const CliContext& context, const std::string& port, Dialect dialect) {
    const auto asking = [&](Dialect spoken) {
        CliSay("asking %s (%s) for the countries it supports...\n", port.c_str(), DialectName(spoken));
    };
    const SupportedQuery supported =
        QuerySupported(*context.platform.NewPort(), port.c_str(), dialect, context.timing, asking);
    if (supported.dialect == Dialect::Auto || !supported.report.usable)
        return NoModemThere(port, supported.report);
    // The card takes the codes of the table; a gci modem says which it takes.
    std::vector<std::pair<std::string, const char*>> lines;  // code, name
    if (supported.dialect == Dialect::T19) {
        CliSay("korvane-cli: the card on %s takes the table's codes\n", port.c_str());
        for (int i = 0; i < context.count; ++i) lines.emplace_back(context.table[i].code, context.table[i].name);
    } else if (!supported.listed) {
        return CliFail(kNoModem, RefusalText(port, supported.final, "+GCI=?", "list of codes"));
    } else {
        CliSay("korvane-cli: the modem on %s lists (%s)\n", port.c_str(), supported.text.c_str());
        // An entry that is no country of the table (99, F6) is shown by its code alone, but for a
        // modem that lists every code there is.
        const bool range = supported.codes.all();
        for (int code = 0; code < 256; ++code) {
            const char* name = GciCountryName(context, code);
            if (supported.codes.test(static_cast<std::size_t>(code)) && (name || !range))
                lines.emplace_back(GciCodeText(code), name);
        }
    }
    if (context.options.json) {
        std::string entries;
        for (const auto& [code, name] : lines)
            entries += std::string(entries.empty() ? "" : ",") + "{\"code\":" + Quoted(code) +
                       ",\"country\":" + JsonString(name) + "}";
        std::printf("{\"port\":%s,\"dialect\":\"%s\",\"listed\":%s,\"countries\":[%s]}\n", Quoted(port).c_str(),
                    DialectName(supported.dialect), supported.listed ? Quoted(supported.text).c_str() : "null",
                    entries.c_str());
    } else {
        for (const auto& [code, name] : lines) std::printf(name ? "%-2s  %s\n" : "%s\n", code.c_str(), name);
    }
    return kDone;
}

int SetCommand(const CliContext& context, const std::string& port, Dialect dialect, int country) {
    const CountryRecord& record = context.table[country];
    const auto setting = [&](Dialect spoken) {
        // The card is sent the table's code; a gci modem's code is chosen from its list.
        if (spoken == Dialect::T19)
            CliSay("setting %s (%s) on %s (t19)...\n", record.name, record.code, port.c_str());
        else
            CliSay("setting %s on %s (gci)...\n", record.name, port.c_str());
    };
    // The country is read first, so that a modem that has it already is not
    // written again (its memory may be flash); the window's pace writes at once.
    const bool readFirst = !context.options.force && !context.options.paced;
    const CountrySet set =
        SetCountryIn(*context.platform.NewPort(), port.c_str(), dialect, record, context.timing, setting,
                     readFirst ? ReadFirst{context.table, context.count} : ReadFirst{});
    if (set.dialect == Dialect::Auto || !set.report.usable) return NoModemThere(port, set.report);
    const bool gci = set.dialect == Dialect::Gci;
    const std::string code = gci ? (set.gciCode < 0 ? "" : GciCodeText(set.gciCode)) : record.code;
    switch (set.outcome) {
    case SetOutcome::NoGciCode:
        return CliFail(kBadInput, std::string(record.name) + " has no +GCI country code: its code " +
                                      record.code + " is not one or two hex digits");
    case SetOutcome::Unsupported: {
        const GciCodes codes = GciCodesOf(record);
        std::string own = GciCodeText(codes.code[0]);
        if (codes.count > 1) own += " or " + GciCodeText(codes.code[1]);
        return CliFail(kBadInput, std::string(record.name) + " (+GCI " + own +
                                      ") is not among the codes the modem on " + port + " supports " +
                                      NamedCodes(context, set.supported, set.listed));
    }
    case SetOutcome::NoList: return CliFail(kNoModem, RefusalText(port, set.listFinal, "+GCI=?", "list of codes"));
    case SetOutcome::NotTaken: {
        const char* now = set.readBack < 0 ? nullptr : GciCountryName(context, set.readBack);
        CliSay("korvane-cli: the modem on %s answered OK to AT+GCI=%s but still reports %s%s\n", port.c_str(),
               code.c_str(), set.readBack < 0 ? "no country" : GciCodeText(set.readBack).c_str(),
               now ? (std::string(" (") + now + ")").c_str() : "");
        break;
    }
    case SetOutcome::Set:
        if (!set.written)
            std::fprintf(stderr,
                         "korvane-cli: the modem on %s has %s already: nothing written (--force writes it)\n",
                         port.c_str(), record.name);
        break;
    default: break;
    }
    const char* result = set.outcome == SetOutcome::Set        ? "set"
                         : set.outcome == SetOutcome::NotTaken ? "not taken"
                                                               : "not acknowledged";
    if (context.options.json)
        std::printf(
            "{\"port\":%s,\"country\":%s,\"code\":%s,\"dialect\":\"%s\",\"result\":\"%s\",\"written\":%s}\n",
            Quoted(port).c_str(), JsonString(record.name).c_str(), Quoted(code).c_str(), DialectName(set.dialect),
            result, set.written ? "true" : "false");
    else
        std::printf("%s\n", result);
    return set.outcome == SetOutcome::Set ? kDone : kNoModem;
}
