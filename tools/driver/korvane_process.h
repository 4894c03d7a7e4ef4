// The real korvane.exe, started for one test and ended with it.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "tools/driver/program_spy.h"
#include "framework/scoped_handle.h"

namespace drv {

struct StartOptions {
    // Run a copy in a fresh temporary directory, beside this korvane.ini
    // content; without content the copy gets the built korvane.ini, or
    // none with omitIni.
    bool copyToTempDir = false;
    std::optional<std::string> iniContent;
    bool omitIni = false;
    // Puts a directory named korvane.ini beside the copy instead (a table
    // that exists but cannot be read as a file).
    bool iniAsDirectory = false;
};

// The directory of the built program (KORVANE_BIN_DIR), with a backslash.
std::string KorvaneBinDir();

class KorvaneProcess {
public:
    KorvaneProcess() = default;
    // Kills the program if it still runs and removes its temporary copy.
    ~KorvaneProcess();
    KorvaneProcess(const KorvaneProcess&) = delete;
    KorvaneProcess& operator=(const KorvaneProcess&) = delete;

    // Starts the program with its UI thread hooked by the spy.
    bool Start(const StartOptions& options, std::string* error);

    DWORD Pid() const { return pid_; }
    const std::string& ExePath() const { return exePath_; }
    ProgramSpy& Spy() { return spy_; }
    const ProgramSpy& Spy() const { return spy_; }

    bool Running() const;
    // The exit code once the process has ended within the timeout.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
    void Kill();

    // The process's first top-level window with this title (and class,
    // when not null), waited for; null after the timeout.
    HWND WaitForWindow(const char* title, const char* className, DWORD timeoutMs) const;

private:
    bool PrepareCopy(const StartOptions& options, std::string* error);
    void RemoveCopy();

    ScopedHandle process_;
    DWORD pid_ = 0;
    std::string exePath_;
    std::string tempDir_;
    ProgramSpy spy_;
};

}  // namespace drv
