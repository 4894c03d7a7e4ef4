#include "core/dialect_operations.h"

#include <cstring>
#include <thread>

#include "core/gci_reply.h"
#include "core/modem_commands.h"

namespace {

// One connection in the dialect it speaks.
class DialectLink {
public:
    DialectLink(ModemPort& port, const ModemTiming& timing) : m_link(port, timing), m_timing(timing) {}

    // Opens the port and settles the dialect: a given one as it is unless
    // check, Auto by asking. Auto when no modem answered as asked.
    Dialect Open(const char* name, Dialect wanted, bool check, const ProbeSteps& steps = {}) {
        const bool probe = wanted == Dialect::Auto || (wanted == Dialect::T19 && check);
        m_link.Open(name, probe ? LinkMode::Probe : LinkMode::Plain);
        // The probe window counts from the probe's write, on the open's return.
        const Deadline window = ModemClock::now() + m_timing.probeWindow;
        if (steps.opened) steps.opened();
        if (!m_link.IsOpen()) {
            if (m_timing.prompt) return Dialect::Auto;
            // At the window's pace a port that did not open takes its windows
            // all the same: a detection's probe window here, a command's in its
            // operation, in the dialect given.
            if (!check) return wanted;
            m_link.AwaitIdentification(window, steps.pause);
            return Dialect::Auto;
        }
        if (!m_link.Report().ready) return Dialect::Auto;
        if (!probe && !check) return wanted;
        if (probe) {
            if (m_link.AwaitIdentification(window, steps.pause)) return Dialect::T19;
            // Silence, or no card where only a card was wanted.
            if (wanted == Dialect::T19 || m_link.Answer().Final() == FinalResult::None) return Dialect::Auto;
        }
        return m_link.Exchange(kAttentionCommand, m_timing.probeWindow) == FinalResult::Ok ? Dialect::Gci
                                                                                           : Dialect::Auto;
    }

    ModemLink& Link() { return m_link; }

    // "+GCI?": the code reported, -1 when none.
    int AskGciCountry(FinalResult& final) {
        final = m_link.Exchange(kGciQueryCommand, m_timing.gciWindow);
        return final == FinalResult::Ok ? ParseGciCountry(m_link.Answer().Lines()) : -1;
    }

    // "+GCI=?": true with the list when the modem gave one.
    bool AskGciList(FinalResult& final, GciCodeSet& codes, std::string& text) {
        final = m_link.Exchange(kGciListCommand, m_timing.gciWindow);
        return final == FinalResult::Ok && ParseGciList(m_link.Answer().Lines(), codes, text);
    }

    FinalResult SetGciCountry(int code) {
        const std::string command = kGciSetCommand + GciCodeText(code);
        // As the card's setting, an OK ends the wait at any pace.
        return m_link.Exchange(command.c_str(), m_timing.setWindow, WaitEnd::Ok);
    }

    void Release() { m_link.Release(Teardown::AfterCommand); }
    const LinkReport& Report() const { return m_link.Report(); }

private:
    ModemLink m_link;
    const ModemTiming& m_timing;
};

void Tell(const DialectSettled& settled, Dialect dialect) {
    if (settled && dialect != Dialect::Auto) settled(dialect);
}

}  // namespace

DetectResult DetectModem(ModemPort& port, const char* name, Dialect wanted, const ModemTiming& timing,
                         const ProbeSteps& steps) {
    DetectResult result;
    Deadline nextPort;
    {
        DialectLink link(port, timing);
        result.dialect = link.Open(name, wanted, true, steps);
        // The next port's turn counts from the verdict, the release within it.
        nextPort = ModemClock::now() + timing.nextProbe;
        link.Link().Release(Teardown::AfterProbe);
        result.report = link.Report();
    }
    if (steps.probed) steps.probed(result);
    PauseUntil(nextPort, steps.pause);
    return result;
}

std::vector<DetectResult> DetectModems(const PortMaker& makePort, const std::vector<std::string>& names,
                                       Dialect wanted, const ModemTiming& timing, bool firstOnly,
                                       const ProbeStart& probing) {
    std::vector<DetectResult> results(names.size());
    if (!timing.prompt) {
        const std::unique_ptr<ModemPort> port = makePort();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (probing) probing(names[i]);
            results[i] = DetectModem(*port, names[i].c_str(), wanted, timing);
            if (firstOnly && results[i].dialect != Dialect::Auto) {
                results.resize(i + 1);
                break;
            }
        }
        return results;
    }
    std::vector<std::unique_ptr<ModemPort>> ports;
    for (const std::string& name : names) {
        if (probing) probing(name);
        ports.push_back(makePort());
    }
    std::vector<std::thread> probes;
    for (std::size_t i = 0; i < names.size(); ++i)
        probes.emplace_back([&, i] { results[i] = DetectModem(*ports[i], names[i].c_str(), wanted, timing); });
    for (std::thread& probe : probes) probe.join();
    return results;
}

CountryQuery QueryCountryIn(ModemPort& port, const char* name, Dialect dialect, const CountryRecord* table,
                            int count, const ModemTiming& timing, const DialectSettled& settled,
                            const QueryAnswered& answered) {
    CountryQuery result;
    DialectLink link(port, timing);
    result.dialect = link.Open(name, dialect, false);
    Tell(settled, result.dialect);
    if (result.dialect == Dialect::T19) {
        static_cast<CountryAnswer&>(result) = link.Link().AskCountry(table, count);
    } else if (result.dialect == Dialect::Gci && link.Link().IsOpen()) {
        result.gciCode = link.AskGciCountry(result.final);
        if (result.gciCode >= 0) result.country = FindCountryByGciCode(result.gciCode, table, count);
    }
    if (answered) answered(result);
    link.Release();
    result.report = link.Report();
    return result;
}

SupportedQuery QuerySupported(ModemPort& port, const char* name, Dialect dialect, const ModemTiming& timing,
                              const DialectSettled& settled) {
    SupportedQuery result;
    DialectLink link(port, timing);
    result.dialect = link.Open(name, dialect, false);
    Tell(settled, result.dialect);
    if (result.dialect == Dialect::Gci && link.Link().IsOpen())
        result.listed = link.AskGciList(result.final, result.codes, result.text);
    link.Release();
    result.report = link.Report();
    return result;
}

namespace {

// Whether code is one of the country's.
bool IsOneOf(int code, const GciCodes& codes) {
    for (int k = 0; k < codes.count; ++k)
        if (codes.code[k] == code) return true;
    return false;
}

// Whether the table line a card's answer named (-1: none) has the country's code.
bool SameCode(const CountryRecord* table, int line, const CountryRecord& country) {
    return line >= 0 && std::strcmp(table[line].code, country.code) == 0;
}

void SetByGci(DialectLink& link, const CountryRecord& country, bool readFirst, CountrySet& result) {
    const GciCodes codes = GciCodesOf(country);
    if (codes.count == 0) {
        result.outcome = SetOutcome::NoGciCode;
        return;
    }
    result.gciCode = codes.code[0];
    FinalResult final;
    if (readFirst) {
        const int now = link.AskGciCountry(final);
        if (IsOneOf(now, codes)) {
            result.gciCode = result.readBack = now;
            result.outcome = SetOutcome::Set;
            return;
        }
    }
    if (!link.AskGciList(result.listFinal, result.supported, result.listed)) {
        result.outcome = SetOutcome::NoList;
        return;
    }
    const int code = ChooseGciCode(codes, result.supported);
    if (code < 0) {
        result.outcome = SetOutcome::Unsupported;
        return;
    }
    result.gciCode = code;
    result.written = true;
    if (link.SetGciCountry(code) != FinalResult::Ok) {
        result.outcome = SetOutcome::NotAcknowledged;
        return;
    }
    // Some modems say OK and keep their old country: only the modem's own
    // word afterwards tells.
    result.readBack = link.AskGciCountry(final);
    result.outcome = result.readBack == code ? SetOutcome::Set : SetOutcome::NotTaken;
}

// The card's country, when the table line its answer names has the code to be written.
bool CardHasCountry(ModemLink& link, const CountryRecord& country, const ReadFirst& readFirst) {
    const CountryAnswer answer = link.AskCountry(readFirst.table, readFirst.count);
    return SameCode(readFirst.table, answer.country, country);
}

void SetByCard(ModemLink& link, const CountryRecord& country, const ReadFirst& readFirst, CountrySet& result) {
    // A port that did not open is no acknowledgement either; at the window's
    // pace it takes its windows all the same.
    if (!link.IsOpen() && link.Timing().prompt) {
        result.outcome = SetOutcome::NotAcknowledged;
    } else if (readFirst.table && CardHasCountry(link, country, readFirst)) {
        result.outcome = SetOutcome::Set;
    } else {
        result.written = link.IsOpen();
        result.outcome = link.WriteCountryCode(country.code) ? SetOutcome::Set : SetOutcome::NotAcknowledged;
    }
}

}  // namespace

bool HasCountry(const CountryQuery& query, const CountryRecord* table, const CountryRecord& country) {
    if (query.dialect == Dialect::T19) return SameCode(table, query.country, country);
    return query.dialect == Dialect::Gci && IsOneOf(query.gciCode, GciCodesOf(country));
}

CountrySet SetCountryIn(ModemPort& port, const char* name, Dialect dialect, const CountryRecord& country,
                        const ModemTiming& timing, const DialectSettled& settled, const ReadFirst& readFirst) {
    CountrySet result;
    DialectLink link(port, timing);
    result.dialect = link.Open(name, dialect, false);
    Tell(settled, result.dialect);
    if (result.dialect == Dialect::T19) {
        SetByCard(link.Link(), country, readFirst, result);
    } else if (result.dialect == Dialect::Gci) {
        if (link.Link().IsOpen())
            SetByGci(link, country, readFirst.table != nullptr, result);
        else
            result.outcome = SetOutcome::NotAcknowledged;
    }
    link.Release();
    result.report = link.Report();
    return result;
}
