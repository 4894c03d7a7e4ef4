// One modem connection over a port: the steps and pauses of opening, the
// commands, the line matcher and reply capture of this connection, and the
// teardowns. It runs on the caller's thread and blocks it for its pauses;
// while the port is open every pause and window reads the line and feeds the
// matcher, so nothing received is left waiting.
#pragma once
#include <chrono>

#include "core/answer_lines.h"
#include "core/country_table.h"
#include "core/line_matcher.h"
#include "core/modem_port.h"
#include "core/modem_timing.h"

enum class LinkMode {
    Plain,  // no pattern; the caller sends its command
    Probe,  // the identification strings, and "ati3" written last
};

// The three ends of a connection: after a probe (no pause), after a query or
// a setting (commandRelease), and when the program quits (quitRelease, then
// DTR dropped and the queues emptied).
enum class Teardown { AfterProbe, AfterCommand, OnQuit };

// How the caller waits out a teardown's pause (a window keeps its messages
// flowing); nullptr: asleep.
using PauseFn = void (*)(std::chrono::milliseconds pause);
// Waits until then, by the caller's pause when given (whole milliseconds, at
// least the time left), else asleep.
void PauseUntil(Deadline until, PauseFn pause);

// What became of the port during one connection: the first failure of each kind.
struct LinkReport {
    PortStatus open;       // the open: Ok when the port opened
    PortStatus configure;  // the first failed setting, the port worked on regardless
    PortStatus line;       // the first failed write or read
    bool usable = false;   // the port opened and stayed open past the settings
    // The modem may be talked to: at the prompt pace it answered the sync
    // command in time; at the window's pace every usable port is.
    bool ready = false;
};

// The query's answer: the reply as captured, the country it names (-1: none),
// and whether anything came back but the modem's echo of the command.
struct CountryAnswer {
    ReplyCapture::Text reply = {};
    int country = -1;
    bool answered = false;
};

// What ends a wait before its deadline.
enum class WaitEnd {
    Deadline,      // nothing: the window is waited out
    Found,         // a line held a pattern
    FoundOrFinal,  // that, or the command's final result code
    Final,         // the final result code, OK or ERROR
    Ok,            // the final result code OK
};

class ModemLink {
public:
    explicit ModemLink(ModemPort& port, const ModemTiming& timing = kProgramPace);
    ~ModemLink();  // ends a connection still open as after a probe
    ModemLink(const ModemLink&) = delete;
    ModemLink& operator=(const ModemLink&) = delete;

    // Opens the named port, pauses settle, configures it, starts a fresh
    // matcher (the identification strings in probe mode), pauses
    // readerStart and, in probe mode, writes "ati3", so the probe window
    // starts on return. A port that does not open, or is unusable, takes its
    // pauses all the same and yields no reply. A connection still open is
    // ended first (the port's Open does that).
    // At the prompt pace the port is configured at once and the modem waited
    // for instead of the pause: see AwaitReady; a modem that is not ready is
    // sent no probe, and a port that does not open takes no pause.
    void Open(const char* name, LinkMode mode);
    // Writes "at<command>\r\n".
    void SendAt(const char* command);
    // Reads the line until the deadline, feeding the matcher and the
    // answer's lines; with no port
    // open, or once a read failed, sleeps until then.
    void ListenUntil(Deadline until);
    void ListenFor(std::chrono::milliseconds time) { ListenUntil(ModemClock::now() + time); }

    // The probe's verdict, from what has arrived by now: a line held an
    // identification string.
    bool Identified();
    // Waits for the answer to "ati3", written by Open in probe mode, until
    // the probe window's end, until; prompt, only until the answer's final
    // result code has come. At the window's pace pause, when given, passes
    // the window (the caller's messages go on meanwhile), and what has come
    // by its end is read then. Returns the verdict: a line held an
    // identification string.
    bool AwaitIdentification(Deadline until, PauseFn pause = nullptr);
    // The country information: the capture reset, "i9" sent, the reply taken
    // queryWindow later and looked up in the table.
    CountryAnswer AskCountry(const CountryRecord* table, int count);
    // The setting: "%t19,0," and the code sent, then true as soon as an
    // acknowledgement line ends, false once setWindow has passed.
    bool WriteCountryCode(const char* code);
    // Any other command: what came before it dropped, "at<command>" sent,
    // its answer read for at most window, ending early on pacedEnd, or
    // prompt on its final result code. The answer's lines stay in Answer().
    FinalResult Exchange(const char* command, std::chrono::milliseconds window,
                         WaitEnd pacedEnd = WaitEnd::Deadline);
    const AnswerLines& Answer() const { return m_answer; }

    // Stops reception, pauses as the teardown asks, and closes the port. With
    // no port open only the pauses are taken.
    void Release(Teardown kind, PauseFn pause = nullptr);

    bool IsOpen() const { return m_port.IsOpen(); }
    const LinkReport& Report() const { return m_report; }
    const ModemTiming& Timing() const { return m_timing; }
    LineMatcher& Matcher() { return m_matcher; }

private:
    // The window's pace: the settling pause, slept before the settings.
    void SettleAfterOpen();
    // The readiness wait: from opened on, the sync command every
    // syncInterval until the modem answers one with a final result code, for
    // as long as settle from opened allows (one try at least). When more
    // than one went out, the answers to the others are drained.
    bool AwaitReady(ModemClock::time_point opened);
    // Reads until the line has been quiet for two sync intervals.
    void DrainLateAnswers();
    void Write(const char* bytes, std::size_t count);
    // One read until the deadline, fed to the matcher; the count read.
    std::size_t Receive(Deadline until);
    // Reads until the deadline, or until end has come; returns found.
    bool Listen(Deadline until, WaitEnd end);
    bool Ended(WaitEnd end) const;
    // The end of a wait: promptEnd at the prompt pace, pacedEnd otherwise.
    WaitEnd EndOf(WaitEnd promptEnd, WaitEnd pacedEnd) const { return m_timing.prompt ? promptEnd : pacedEnd; }
    void Pause(std::chrono::milliseconds time, PauseFn pause);

    ModemPort& m_port;
    const ModemTiming& m_timing;
    LineMatcher m_matcher;
    AnswerLines m_answer;
    LinkReport m_report;
};
