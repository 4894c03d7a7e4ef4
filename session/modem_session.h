// The window's side of the modem: the modems the last detection run found,
// the one in use, whether a run is in progress, and the one port
// connection, open only while an operation runs. The detection dialogs and
// the main window reach the modem through it alone. UI thread only.
#pragma once
#include <atomic>
#include <functional>

#include "core/country_table.h"
#include "core/modem_link.h"
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

    // The probe of one port: opened in probe mode, "ati3" written on return.
    void OpenProbe(int port);
    // The probe's verdict on the port opened last, read before the port is
    // released; a modem found joins the list.
    bool CloseProbe(int port);
    // Empties the list, as a run does when it starts.
    void ClearModems() { m_modemCount = 0; }

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
    // The COM number of the modem in use; 0, which names no port, while the list is empty.
    int SelectedModemPort();

    // The current-country query on the modem in use; told the country the
    // reply names (-1: none) while the port is still open.
    void QueryCountry(const CountryRecord* table, int count, const std::function<void(int country)>& answered);
    // Writes the code into the modem in use; true when it acknowledged in time.
    bool SetCountry(const char* code);

    // Ends a connection still open, with no pause.
    void ClosePort();
    // The release when the user quits: messages dispatched for its pause,
    // DTR dropped and the queues emptied when a port is open.
    void ReleasePortOnQuit();

private:
    void ClosePortAfterCommand();

    // Read by the reader thread, written by the UI thread: 1 tells the reader to end.
    std::atomic<int> m_stopReader{0};
    // The port connection: the open port's handle (none between operations),
    // its reader thread and the write in flight.
    PortConnection m_connection{m_stopReader};
    // The modem's side of the connection: its steps, pauses and line matcher.
    ModemLink m_link{m_connection};

    int m_modemPorts[kProbePortCount] = {};
    int m_modemCount = 0;
    int m_selectedModem = 0;
    unsigned m_modemListVersion = 0;
    bool m_busy = false;
};
