#pragma once

#include <string>

#include "unique_fd.h"

// A pseudo-terminal in raw mode whose slave side is reachable through a
// symlink (the path Wine opens as a COM port). Creating it replaces any old
// link atomically; destroying it removes the link if it still points here.
class PtyPort {
public:
    explicit PtyPort(std::string link_path);  // throws std::system_error
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    int master() const { return master_.get(); }  // non-blocking
    int slave() const { return slave_.get(); }    // -1 while not held
    const std::string& slave_path() const { return slave_path_; }

    // Holds the slave open, or lets it go so that the master hangs up while
    // no host has the port open: the end of the hang-up is the host's open.
    void hold_slave(bool hold);
    // True while the master hangs up: nobody has the slave open.
    bool hung_up() const;

private:
    UniqueFd master_;
    // Held open by default so the master never sees a hang-up when the host
    // closes its side.
    UniqueFd slave_;
    std::string slave_path_;
    std::string link_path_;
};
