#include "session/modem_session.h"

#include <windows.h>

#include "framework/message_wait.h"

void ModemSession::OpenProbe(int port) { m_link.Open(ComPortName(port).c_str(), LinkMode::Probe); }

bool ModemSession::CloseProbe(int port) {
    const bool identified = m_link.Identified();
    if (identified) m_modemPorts[m_modemCount++] = port;
    ClosePort();
    return identified;
}

void ModemSession::KeepSelectedModemInList() {
    if (m_selectedModem < 0 || m_selectedModem >= m_modemCount) m_selectedModem = 0;
}

int ModemSession::SelectedModemPort() {
    KeepSelectedModemInList();
    return m_modemCount > 0 ? m_modemPorts[m_selectedModem] : 0;
}

void ModemSession::QueryCountry(const CountryRecord* table, int count,
                                const std::function<void(int country)>& answered) {
    m_link.Open(ComPortName(SelectedModemPort()).c_str(), LinkMode::Plain);
    answered(m_link.AskCountry(table, count).country);
    ClosePortAfterCommand();
}

bool ModemSession::SetCountry(const char* code) {
    m_link.Open(ComPortName(SelectedModemPort()).c_str(), LinkMode::Plain);
    const bool acknowledged = m_link.WriteCountryCode(code);
    ClosePortAfterCommand();
    return acknowledged;
}

void ModemSession::ClosePort() { m_link.Release(Teardown::AfterProbe); }

void ModemSession::ClosePortAfterCommand() {
    m_link.Release(Teardown::AfterCommand);
    Beep(0, 0);
}

void ModemSession::ReleasePortOnQuit() {
    m_link.Release(Teardown::OnQuit,
                   [](std::chrono::milliseconds pause) { WaitWithMessages(static_cast<int>(pause.count())); });
}
