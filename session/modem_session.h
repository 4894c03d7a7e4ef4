// The window's side of the modem: the modems the last detection run found,
// the one in use, whether a run is in progress, and the port connection
// that the core's operations open and close again, each at the window's
// pace in the card's dialect. The detection dialogs and the main window
// reach the modem through it alone. UI thread only.
#pragma once
#include <atomic>
#include <functional>

#include "core/country_table.h"
#include "core/probe_order.h"
#include "link/port_connection.h"

class ModemSession {
public:
    ModemSession() = default;
    ModemSession(const ModemSession&) = delete;
    ModemSession& operator=(const ModemSession&) = delete;

    // A detection run, for as long as it lives: the session is busy, and
    // the list it fills is a new one, so that a selection made on an older
    // list is never applied to it.
    class Run {
    public:
        explicit Run(ModemSession& session) : m_session(session) {
            m_session.m_busy = true;
            ++m_session.m_modemListVersion;
        }
        ~Run() { m_session.m_busy = false; }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

    private:
        ModemSession& m_session;
    };
    bool Busy() const { return m_busy; }

    // The probes of a run: the list emptied, then each port of the probe
    // order in turn, its window and the pause after it passing with the
    // thread's messages dispatched; each modem found joins the list. Told
    // when a port's probe went out (opened), and its verdict once its port
    // is released (probed).
    void DetectModems(const std::function<void(int port)>& opened,
                      const std::function<void(int port, bool found)>& probed);

    // The modems found, in probe order.
    int ModemCount() const { return m_modemCount; }
    int ModemPort(int index) const { return m_modemPorts[index]; }
    unsigned ModemListVersion() const { return m_modemListVersion; }
    // The modem the country operations use: an index into the list; the
    // selection dialog may store -1 there (Continue with no line chosen).
    int SelectedModem() const { return m_selectedModem; }
    void SelectModem(int index) { m_selectedModem = index; }
    // Brings the selection back into the list (to 0) when it points outside it.
    void KeepSelectedModemInList();

    // The current-country query on the modem in use; told the country the
    // reply names (-1: none) while the port is still open. Beeps at its end.
    void QueryCountry(const CountryRecord* table, int count, const std::function<void(int country)>& answered);
    // Writes the country's code into the modem in use; true when it
    // acknowledged in time. Beeps at its end.
    bool SetCountry(const CountryRecord& country);

    // The release when the user quits: its pause passes with the thread's
    // messages dispatched; a port still open has DTR dropped and its queues
    // emptied.
    void ReleasePortOnQuit();

private:
    // The COM number of the modem in use; 0, which names no port, while the list is empty.
    int SelectedModemPort();

    // Read by the reader thread, written by the UI thread: 1 tells the reader to end.
    std::atomic<int> m_stopReader{0};
    // The port connection: the open port's handle (none between operations),
    // its reader thread and the write in flight.
    PortConnection m_connection{m_stopReader};

    int m_modemPorts[kProbePortCount] = {};
    int m_modemCount = 0;
    int m_selectedModem = 0;
    unsigned m_modemListVersion = 0;
    bool m_busy = false;
};
