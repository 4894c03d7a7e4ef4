#pragma once

#include <string>

#include "unique_fd.h"

// A pseudo-terminal in raw mode whose slave side is reachable through a
// symlink (the path Wine opens as a COM port). Creating it replaces any old
// link atomically; destroying it removes the link if it still points here.
// It watches the slave device for a host's opens and closes.
class PtyPort {
public:
    explicit PtyPort(std::string link_path);  // throws std::system_error
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    int master() const { return master_.get(); }  // non-blocking
    int slave() const { return slave_.get(); }
    const std::string& slave_path() const { return slave_path_; }

    // Readable when a host has opened or closed the slave since the last call.
    int host_watch() const { return watch_.get(); }
    // The opens less the closes since the last call.
    int take_host_changes();

private:
    UniqueFd master_;
    // Held open for the port's whole life so the master never sees a hang-up
    // when the host closes its side.
    UniqueFd slave_;
    UniqueFd watch_;  // inotify, non-blocking
    std::string slave_path_;
    std::string link_path_;
};
