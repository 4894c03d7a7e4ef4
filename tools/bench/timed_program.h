// korvane.exe started for the benchmark with the timing hook on its UI
// thread, and the host (Linux) side of its process.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/bench/timing_shared.h"

namespace bench {

// The performance counter, in milliseconds.
double QpcToMs(LONGLONG qpc);
double NowMs();

// Loads the hook DLL into this process. Call it before starting any thread:
// Wine 8 faults when a DLL with a TLS directory is loaded after threads of
// the process have ended.
HMODULE LoadTimingHook();

struct QueryAnswer {
    double ms = 0;  // when the UI thread handled the query
    bool waitCursor = false;
};

class TimedProgram {
public:
    TimedProgram() = default;
    ~TimedProgram();
    TimedProgram(const TimedProgram&) = delete;
    TimedProgram& operator=(const TimedProgram&) = delete;

    // Starts the program suspended, hooks its UI thread and lets it run.
    // The hook DLL lies beside this program.
    bool Start(const std::string& exePath, std::string* error);
    void Kill();

    DWORD Pid() const { return pid_; }
    HANDLE Process() const { return process_; }
    double StartMs() const { return startMs_; }  // just before CreateProcess

    size_t EventCount() const;
    std::vector<timing::Event> Events() const;
    // The first event from index `from` on that matches, waited for.
    std::optional<timing::Event> WaitEvent(size_t from, const std::function<bool(const timing::Event&)>& match,
                                           DWORD timeoutMs, size_t* index = nullptr) const;
    // Sends the query to a window of the UI thread and returns when the
    // thread has handled it: right after the handler that runs now returns.
    std::optional<QueryAnswer> Ask(HWND window, DWORD timeoutMs);

    // The Linux process that runs the program, found by its command line
    // and Wine prefix; 0 when not found.
    int HostPid();

private:
    HANDLE process_ = nullptr;
    HANDLE mapping_ = nullptr;
    timing::Shared* shared_ = nullptr;
    HHOOK hook_ = nullptr;
    DWORD pid_ = 0;
    double startMs_ = 0;
    std::string exePath_;
    int hostPid_ = 0;
};

// The newest Linux process of this Wine prefix whose first argument matches.
int FindHostProcess(const std::function<bool(const std::string&)>& matchFirstArgument);
// The Linux process that runs this program, and the prefix's wineserver.
int OwnHostPid();
int WineserverHostPid();

// CPU time (user + system) of a Linux process, from /proc/<pid>/stat; -1
// when it cannot be read. Resolution 10 ms.
double HostCpuMs(int hostPid);
// A "<key>: <n> kB" line of /proc/<pid>/status, in bytes; -1 when absent.
double HostStatusBytes(int hostPid, const char* key);

}  // namespace bench
