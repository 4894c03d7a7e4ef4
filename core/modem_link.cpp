#include "core/modem_link.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "core/modem_commands.h"

namespace {

// The most a read takes from the port at once.
constexpr std::size_t kReceiveBuffer = 1024;
// Past its deadline a wait takes only what had arrived by then, which no back
// end holds more of than this: a line that never falls silent cannot keep
// the caller waiting.
constexpr std::size_t kLateBytes = 4096;

void KeepFirstFailure(PortStatus& kept, const PortStatus& status) {
    if (kept.Ok() && !status.Ok()) kept = status;
}

}  // namespace

ModemLink::ModemLink(ModemPort& port, const ModemTiming& timing) : m_port(port), m_timing(timing) {}

ModemLink::~ModemLink() {
    if (!m_port.IsOpen()) return;
    m_port.StopReceiving();
    m_port.Release(PortRelease::Close);
}

void ModemLink::Open(const char* name, LinkMode mode) {
    m_report = LinkReport();
    m_matcher = LineMatcher();
    m_answer.Reset();
    m_report.open = m_port.Open(name);
    // The prompt pace counts from the device's own open when the port tells it.
    const ModemClock::time_point opened =
        m_port.OpenedAt() != ModemClock::time_point{} ? m_port.OpenedAt() : ModemClock::now();
    SettleAfterOpen();
    if (m_report.open.Ok()) m_report.configure = m_port.Configure();
    m_report.usable = m_port.IsOpen();
    if (mode == LinkMode::Probe) {
        m_matcher.SetPattern(0, kModemId1);
        m_matcher.SetPattern(1, kModemId2);
    }
    m_report.ready = m_timing.prompt ? AwaitReady(opened) : m_report.usable;
    ListenFor(m_timing.readerStart);
    if (mode != LinkMode::Probe || !m_report.ready) return;
    // A result code that came before the probe answers nothing.
    m_answer.Reset();
    Write(kProbeCommand, kProbeCommandLength);
}

void ModemLink::SettleAfterOpen() {
    // At the prompt pace the modem is waited for after the settings instead.
    if (m_timing.prompt) return;
    // Nothing is received before the settings: the window's pause is slept.
    std::this_thread::sleep_for(m_timing.settle);
}

bool ModemLink::AwaitReady(ModemClock::time_point opened) {
    if (!m_port.IsOpen()) return false;
    const Deadline bound = opened + m_timing.settle;
    int tries = 0;
    do {
        SendAt(kSyncCommand);
        ++tries;
        Listen(ModemClock::now() + m_timing.syncInterval, WaitEnd::Final);
    } while (m_answer.Final() == FinalResult::None && ModemClock::now() < bound);
    // Any final result code will do: a modem that knows no part of the
    // command still listens.
    const bool ready = m_answer.Final() != FinalResult::None;
    if (ready && tries > 1) DrainLateAnswers();
    m_answer.Reset();
    return ready;
}

void ModemLink::DrainLateAnswers() {
    // A modem that woke late may answer every try it kept, and a slow one
    // answers each try as late as the first: such answers come a sync
    // interval apart at most, and none of them may be taken for the next
    // command's. So the line must be quiet for two intervals. A line that
    // never falls silent is left after another settle.
    const Deadline limit = ModemClock::now() + m_timing.settle;
    std::size_t drained = 0;
    while (drained < kLateBytes && ModemClock::now() < limit) {
        const std::size_t got = Receive(std::min(ModemClock::now() + 2 * m_timing.syncInterval, limit));
        if (got == 0) break;
        drained += got;
    }
}

void ModemLink::SendAt(const char* command) {
    char framed[kFramedCommandSize];
    Write(framed, FrameAtCommand(command, framed));
}

void ModemLink::Write(const char* bytes, std::size_t count) {
    if (m_port.IsOpen()) KeepFirstFailure(m_report.line, m_port.Write(bytes, count));
}

std::size_t ModemLink::Receive(Deadline until) {
    if (!m_port.IsOpen()) return 0;
    char buffer[kReceiveBuffer];
    const PortRead got = m_port.Read(buffer, sizeof buffer, until);
    if (!got.status.Ok()) {
        // Reported; the rest of this wait is slept, so a port that fails at
        // once on every read is never read in a loop.
        KeepFirstFailure(m_report.line, got.status);
        return 0;
    }
    m_matcher.Feed(buffer, static_cast<int>(got.count));
    m_answer.Feed(buffer, got.count);
    return got.count;
}

bool ModemLink::Ended(WaitEnd end) const {
    switch (end) {
    case WaitEnd::Deadline: return false;
    case WaitEnd::Found: return m_matcher.Found();
    case WaitEnd::FoundOrFinal: return m_matcher.Found() || m_answer.Final() != FinalResult::None;
    case WaitEnd::Final: return m_answer.Final() != FinalResult::None;
    case WaitEnd::Ok: return m_answer.Final() == FinalResult::Ok;
    }
    return false;
}

bool ModemLink::Listen(Deadline until, WaitEnd end) {
    std::size_t late = 0;
    while (!Ended(end) && late < kLateBytes) {
        const std::size_t got = Receive(until);
        if (got == 0) break;
        if (ModemClock::now() > until) late += got;
    }
    if (!Ended(end)) std::this_thread::sleep_until(until);
    return m_matcher.Found();
}

void ModemLink::ListenUntil(Deadline until) { Listen(until, WaitEnd::Deadline); }

bool ModemLink::Identified() {
    ListenUntil(ModemClock::now());
    return m_matcher.Found();
}

void PauseUntil(Deadline until, PauseFn pause) {
    if (!pause) {
        std::this_thread::sleep_until(until);
        return;
    }
    using std::chrono::milliseconds;
    pause(std::max(std::chrono::ceil<milliseconds>(until - ModemClock::now()), milliseconds(0)));
}

bool ModemLink::AwaitIdentification(Deadline until, PauseFn pause) {
    if (pause && !m_timing.prompt) {
        PauseUntil(until, pause);
    } else {
        // The identification is read from its line, but the wait lasts until
        // the answer's final result code: a card that is slow to send its OK
        // would otherwise have it taken for the answer to the next command.
        Listen(until, EndOf(WaitEnd::Final, WaitEnd::Deadline));
    }
    return Identified();
}

CountryAnswer ModemLink::AskCountry(const CountryRecord* table, int count) {
    // What came before the command takes no part in the reply.
    ListenUntil(ModemClock::now());
    m_matcher.Capture().Reset();
    m_answer.Reset();
    SendAt(kCountryInfoCommand);
    Listen(ModemClock::now() + m_timing.queryWindow, EndOf(WaitEnd::Final, WaitEnd::Deadline));
    // Taken now: what arrives from here on takes no part in the match.
    CountryAnswer answer;
    m_matcher.Capture().Take(answer.reply);
    answer.country = FindCountry(answer.reply, table, count);
    answer.answered = !IsOnlyEcho(answer.reply, kCountryInfoCommand);
    return answer;
}

bool ModemLink::WriteCountryCode(const char* code) {
    char command[kLineSize];
    std::snprintf(command, sizeof command, "%s%s", kSetCountryCommand, code);
    // Lines that came before the command cannot acknowledge it.
    ListenUntil(ModemClock::now());
    // The modem's acknowledgement is a line of its own: noise holding "OK" is none.
    m_matcher.Rearm(kAcknowledgement, true);
    m_answer.Reset();
    SendAt(command);
    return Listen(ModemClock::now() + m_timing.setWindow, EndOf(WaitEnd::FoundOrFinal, WaitEnd::Found));
}

FinalResult ModemLink::Exchange(const char* command, std::chrono::milliseconds window, WaitEnd pacedEnd) {
    ListenUntil(ModemClock::now());
    m_answer.Reset();
    SendAt(command);
    Listen(ModemClock::now() + window, EndOf(WaitEnd::Final, pacedEnd));
    return m_answer.Final();
}

void ModemLink::Pause(std::chrono::milliseconds time, PauseFn pause) {
    if (pause)
        pause(time);
    else
        std::this_thread::sleep_for(time);
}

void ModemLink::Release(Teardown kind, PauseFn pause) {
    m_port.StopReceiving();
    if (kind == Teardown::AfterCommand) Pause(m_timing.commandRelease, pause);
    if (kind == Teardown::OnQuit) Pause(m_timing.quitRelease, pause);
    m_port.Release(kind == Teardown::OnQuit ? PortRelease::DropLineAndClose : PortRelease::Close);
}
