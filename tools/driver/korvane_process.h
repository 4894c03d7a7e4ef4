// The real korvane.exe, started for one test and ended with it.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "win32/scoped_handle.h"
#include "tools/driver/program_spy.h"

namespace drv {

struct StartOptions {
    // The built program beside the built table, or a copy in a fresh
    // temporary directory (its name holds spaces) beside a table of this
    // content, without a table, or beside a directory named korvane.ini (a
    // table that cannot be read).
    enum Table { kBuilt, kContent, kMissing, kDirectory } table = kBuilt;
    std::string content;
    // For a copy: a korvane-shipped.ini of this content beside it too.
    std::optional<std::string> shipped;
};

// The directory of the built program (KORVANE_BIN_DIR), with a backslash.
std::string KorvaneBinDir();
// Sets a value under HKEY_CURRENT_USER, for the programs started after.
bool SetUserValue(const char* key, const char* name, DWORD type, const void* data, DWORD size);

class KorvaneProcess {
public:
    KorvaneProcess() = default;
    // Kills the program if it still runs and removes its temporary copy.
    ~KorvaneProcess();
    KorvaneProcess(const KorvaneProcess&) = delete;
    KorvaneProcess& operator=(const KorvaneProcess&) = delete;

    // Starts the program with its UI thread hooked by the spy, from a working
    // directory other than its own and with arguments behind its quoted path.
    bool Start(const StartOptions& options, std::string* error);

    DWORD Pid() const { return pid_; }
    const std::string& ExePath() const { return exePath_; }
    ProgramSpy& Spy() { return spy_; }
    const ProgramSpy& Spy() const { return spy_; }

    bool Running() const;
    // The exit code once the process has ended within the timeout.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;

private:
    ScopedHandle process_;
    DWORD pid_ = 0;
    std::string exePath_, tempDir_;
    ProgramSpy spy_;
};

}  // namespace drv
