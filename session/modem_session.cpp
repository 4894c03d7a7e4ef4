#include "session/modem_session.h"

#include <windows.h>

#include "core/dialect_operations.h"
#include "framework/message_wait.h"

namespace {

// The window speaks to the card alone.
constexpr Dialect kCard = Dialect::T19;

void PassWithMessages(std::chrono::milliseconds time) { WaitWithMessages(static_cast<int>(time.count())); }

}  // namespace

void ModemSession::DetectModems(const std::function<void(int port)>& opened,
                                const std::function<void(int port, bool found)>& probed) {
    m_modemCount = 0;
    for (const int port : kProbeOrder) {
        ProbeSteps steps;
        steps.opened = [&] { opened(port); };
        steps.probed = [&](const DetectResult& result) {
            const bool found = result.dialect == kCard;
            if (found) m_modemPorts[m_modemCount++] = port;
            probed(port, found);
        };
        steps.pause = PassWithMessages;
        DetectModem(m_connection, ComPortName(port).c_str(), kCard, kProgramPace, steps);
    }
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
    QueryCountryIn(m_connection, ComPortName(SelectedModemPort()).c_str(), kCard, table, count, kProgramPace, nullptr,
                   [&](const CountryQuery& query) { answered(query.country); });
    Beep(0, 0);
}

bool ModemSession::SetCountry(const CountryRecord& country) {
    const CountrySet set = SetCountryIn(m_connection, ComPortName(SelectedModemPort()).c_str(), kCard, country,
                                        kProgramPace);
    Beep(0, 0);
    return set.outcome == SetOutcome::Set;
}

void ModemSession::ReleasePortOnQuit() {
    ModemLink(m_connection, kProgramPace).Release(Teardown::OnQuit, PassWithMessages);
}
