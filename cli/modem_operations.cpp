#include "cli/modem_operations.h"

#include <windows.h>

#include <atomic>

#include "app/port_steps.h"
#include "country/country_match.h"
#include "link/at_command.h"
#include "link/reply_capture.h"

namespace {

// Opens the port with the program's steps; the state says whether it can be worked.
class TimedConnection {
public:
    TimedConnection(int port, bool probe) : m_link(m_stop) {
        m_reader = OpenPortTimed(m_link, m_stop, port, probe);
        // CreateFile's own error, kept by the connection when the port did not open.
        const DWORD error = m_link.OpenError();
        if (m_link.IsOpen())
            m_state = PortState::Answered;
        else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            m_state = PortState::InUse;
        else
            m_state = PortState::CannotOpen;
    }
    PortState State() const { return m_state; }
    PortConnection& Link() { return m_link; }
    CPortReader* Reader() const { return m_reader; }

private:
    std::atomic<int> m_stop{0};
    PortConnection m_link;
    CPortReader* m_reader = nullptr;
    PortState m_state = PortState::CannotOpen;
};

// Nothing came back but line ends and the modem's echo of the command: no
// modem answered it.
bool NothingButEcho(const char* reply, const char* command) {
    char framed[kFramedCommandSize];
    const std::size_t length = FrameAtCommand(command, framed);
    framed[length > 2 ? length - 2 : 0] = '\0';  // the echo carries no CR and LF here
    return reply[0] == '\0' || lstrcmpiA(reply, framed) == 0;
}

}  // namespace

PortState ProbePort(int port) {
    TimedConnection connection(port, true);
    // A port that did not open is given its windows too, as a detection run does.
    Sleep(kProbeWindow);
    const bool found = connection.State() == PortState::Answered && connection.Reader()->found.load() == 1;
    ClosePortNow(connection.Link());
    // The run's next tick comes one window after the check.
    Sleep(kProbeWindow);
    if (connection.State() != PortState::Answered) return connection.State();
    return found ? PortState::Answered : PortState::Silent;
}

PortState QueryCountry(int port, const CountryRecord* table, int count, int& country) {
    country = -1;
    TimedConnection connection(port, false);
    PortState state = connection.State();
    if (state == PortState::Answered) {
        ResetReply();
        SendAtCommand(connection.Link(), kCountryInfoCommand);
        Sleep(kCountryInfoWindow);
        // A copy: what arrives from here on takes no part in the match.
        char reply[80];
        TakeReply(reply);
        country = FindCountry(reply, table, count);
        if (NothingButEcho(reply, kCountryInfoCommand)) state = PortState::Silent;
    }
    ClosePortAfterCommandTimed(connection.Link());
    return state;
}

PortState SetCountry(int port, const char* code, bool& acknowledged) {
    acknowledged = false;
    TimedConnection connection(port, false);
    if (connection.State() == PortState::Answered) {
        CPortReader* reader = connection.Reader();
        reader->found = 0;
        // The modem's acknowledgement is a line of its own: noise holding "OK" is none.
        reader->SetPattern(0, "OK", true);
        char command[80];
        wsprintfA(command, "%s%s", kSetCountryCommand, code);
        SendAtCommand(connection.Link(), command);
        const DWORD start = GetTickCount();
        // Equal to the deadline is not yet late.
        while (!(acknowledged = reader->found.load() != 0) &&
               static_cast<long>(GetTickCount() - start) <= kSetCountryWindow)
            Sleep(1);
    }
    ClosePortAfterCommandTimed(connection.Link());
    return connection.State();
}
