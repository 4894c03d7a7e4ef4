// The POSIX back end of the modem port: a Linux serial device (a UART, a USB
// or ACM modem, a pseudo-terminal in the tests), taken with the manners of a
// good serial tool. Before opening it takes the UUCP lock; after opening,
// flock and exclusive mode (TIOCEXCL), so neither a fax server nor a second
// copy of us can be disturbed. Beside a getty that shares its line through
// the UUCP lock (mgetty, faxgetty), the lock is what it asks for: no
// exclusive mode then, and DTR left up. The line is left as it was found: its
// settings are put back and exclusive mode cleared before the close, also
// when a signal ends the process. Reception is poll against the caller's
// deadline on the caller's thread: no reader thread, no busy loop.
#pragma once
#include <termios.h>

#include <chrono>
#include <functional>
#include <string>

#include "core/modem_port.h"
#include "link/posix/unique_fd.h"
#include "link/posix/uucp_lock.h"

struct PosixPortSettings {
    std::string lockDir = LockDirectory();
    // Also tell what only a curious user needs: modem lines the device refuses.
    bool verbose = false;
    // How long to wait for another program's UUCP lock to go; none by default.
    std::chrono::seconds lockWait{0};
    // Where a note goes: one line, without its end. Notes are said once each
    // for the life of the port object (a detection run opens many ports).
    std::function<void(const std::string&)> say = [](const std::string&) {};
};

class PosixPort : public ModemPort {
public:
    explicit PosixPort(PosixPortSettings settings = {});
    ~PosixPort() override;

    // name: a device path, or a link to one (/dev/serial/by-id/...).
    PortStatus Open(const char* name) override;
    // Raw, 19200 bit/s, 8N1, RTS/CTS flow control, modem lines dropped when
    // the last user closes the port (HUPCL), DTR raised, both queues emptied.
    // A device that refuses the modem-line calls (a pseudo-terminal, some USB
    // adapters) is worked without them.
    PortStatus Configure() override;
    bool IsOpen() const override { return static_cast<bool>(m_fd); }
    // The open of the device, before the looks at who else holds it.
    ModemClock::time_point OpenedAt() const override { return m_openedAt; }
    PortStatus Write(const char* bytes, std::size_t count) override;
    PortRead Read(char* buffer, std::size_t room, Deadline deadline) override;
    void StopReceiving() override { m_receiving = false; }
    // DTR dropped, output the modem did not take discarded, the line's
    // settings as found at the open put back, exclusive mode cleared, the
    // port closed and the lock removed; DropLineAndClose also empties the
    // input queue.
    void Release(PortRelease how) override;

    // The device opened (links followed); "" while none is open.
    const std::string& Device() const { return m_device; }

private:
    // The UUCP lock, waited for as the settings say.
    PortStatus TakeLock(const std::string& device);
    PortStatus OpenDevice(const std::string& device);
    // Whether the others that hold the port let us use it: none, or only
    // gettys that share the line through the UUCP lock we hold.
    PortStatus ShareWithHolders(const std::string& device);
    // Saves the line's settings and takes exclusive mode, both undone by RestoreLine.
    PortStatus TakeLine(const std::string& device);
    void RestoreLine();
    void SayOnce(bool& said, const std::string& note);

    PosixPortSettings m_settings;
    UucpLock m_lock;
    UniqueFd m_fd;
    std::string m_device;
    ModemClock::time_point m_openedAt{};
    termios m_found{};  // the line's settings at the open
    bool m_haveFound = false;
    bool m_exclusive = false;
    bool m_sharing = false;  // a getty keeps the port open beside us
    int m_restoreSlot = -1;  // where the exit release keeps the line to put back
    bool m_receiving = false;
    bool m_readFailed = false;
    bool m_saidLockDir = false;
    bool m_saidModemManager = false;
    bool m_saidModemLines = false;
};
