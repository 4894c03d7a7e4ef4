#include "tools/bench/timed_program.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

constexpr char kHookDll[] = "korvane_bench_timing.dll";
constexpr char kHookProc[] = "TimingCallWndProc";

std::string BesideThisProgram(const char* file) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (char* slash = std::strrchr(path, '\\')) slash[1] = '\0';
    return std::string(path) + file;
}

// A file of the host's /proc, read through Wine's Z: drive.
std::string ReadHostFile(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Field n (1-based, as in proc(5)) of a /proc/<pid>/stat line.
long long StatField(const std::string& stat, int n) {
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    int field = 2;
    const char* p = stat.c_str() + close + 1;
    while (*p) {
        while (*p == ' ') ++p;
        if (!*p) break;
        ++field;
        if (field == n) return std::atoll(p);
        while (*p && *p != ' ') ++p;
    }
    return -1;
}

}  // namespace

double QpcToMs(LONGLONG qpc) {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return static_cast<double>(qpc) * 1000.0 / frequency;
}

double NowMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return QpcToMs(now.QuadPart);
}

TimedProgram::~TimedProgram() {
    Kill();
    if (hook_) UnhookWindowsHookEx(hook_);
    if (shared_) UnmapViewOfFile(shared_);
    if (mapping_) CloseHandle(mapping_);
    if (process_) CloseHandle(process_);
}

HMODULE LoadTimingHook() {
    static HMODULE module = LoadLibraryA(BesideThisProgram(kHookDll).c_str());
    return module;
}

bool TimedProgram::Start(const std::string& exePath, std::string* error) {
    HMODULE hookModule = LoadTimingHook();
    auto proc = hookModule
                    ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hookModule, kHookProc)))
                    : nullptr;
    if (!proc) {
        *error = std::string("cannot load ") + kHookDll;
        return false;
    }
    exePath_ = exePath;
    const std::string dir = exePath.substr(0, exePath.rfind('\\') + 1);
    std::string commandLine = "\"" + exePath + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    startMs_ = NowMs();
    if (!CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        dir.c_str(), &startup, &info)) {
        *error = "CreateProcess " + exePath + " failed: " + std::to_string(GetLastError());
        return false;
    }
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    char name[64];
    timing::MappingName(pid_, name);
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(timing::Shared), name);
    if (mapping_)
        shared_ =
            static_cast<timing::Shared*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(timing::Shared)));
    hook_ = shared_ ? SetWindowsHookExA(WH_CALLWNDPROC, proc, hookModule, info.dwThreadId) : nullptr;
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    if (!hook_) {
        *error = "cannot hook the program's UI thread";
        return false;
    }
    return true;
}

void TimedProgram::Kill() {
    if (!process_ || WaitForSingleObject(process_, 0) != WAIT_TIMEOUT) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
}

size_t TimedProgram::EventCount() const {
    if (!shared_) return 0;
    return static_cast<size_t>(InterlockedCompareExchange(const_cast<LONG*>(&shared_->eventCount), 0, 0));
}

std::vector<timing::Event> TimedProgram::Events() const {
    if (!shared_) return {};
    return std::vector<timing::Event>(shared_->events, shared_->events + EventCount());
}

std::optional<timing::Event> TimedProgram::WaitEvent(size_t from,
                                                     const std::function<bool(const timing::Event&)>& match,
                                                     DWORD timeoutMs, size_t* index) const {
    const double end = NowMs() + timeoutMs;
    size_t next = from;
    for (;;) {
        const size_t count = EventCount();
        for (; next < count; ++next) {
            if (match(shared_->events[next])) {
                if (index) *index = next;
                return shared_->events[next];
            }
        }
        if (NowMs() > end || WaitForSingleObject(process_, 0) != WAIT_TIMEOUT) return std::nullopt;
        Sleep(2);
    }
}

std::optional<QueryAnswer> TimedProgram::Ask(HWND window, DWORD timeoutMs) {
    if (!shared_) return std::nullopt;
    static const UINT message = RegisterWindowMessageA(timing::kQueryMessage);
    InterlockedExchange(&shared_->answered, 0);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, timeoutMs, &result);
    if (InterlockedCompareExchange(&shared_->answered, 0, 0) != 1) return std::nullopt;
    QueryAnswer answer;
    answer.ms = QpcToMs(shared_->answerQpc);
    answer.waitCursor = shared_->cursorIsWait != 0;
    return answer;
}

int TimedProgram::HostPid() {
    if (!hostPid_) hostPid_ = FindHostProcess([&](const std::string& first) { return SameText(first, exePath_); });
    return hostPid_;
}

int FindHostProcess(const std::function<bool(const std::string&)>& matchFirstArgument) {
    const char* prefixVar = std::getenv("WINEPREFIX");
    const std::string prefix = prefixVar ? std::string("WINEPREFIX=") + prefixVar : std::string();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    long long newestStart = -1;
    int pid = 0;
    do {
        const char* name = found.cFileName;
        if (!std::isdigit(static_cast<unsigned char>(name[0]))) continue;
        const std::string dir = std::string("/proc/") + name;
        const std::string cmdline = ReadHostFile(dir + "/cmdline");
        if (!matchFirstArgument(cmdline.substr(0, cmdline.find('\0')))) continue;
        if (!prefix.empty()) {
            const std::string environment = ReadHostFile(dir + "/environ");
            bool same = false;
            for (size_t at = 0; at < environment.size();) {
                const size_t end = environment.find('\0', at);
                if (environment.compare(at, (end == std::string::npos ? environment.size() : end) - at, prefix) ==
                    0)
                    same = true;
                if (end == std::string::npos) break;
                at = end + 1;
            }
            if (!same) continue;
        }
        const std::string stat = ReadHostFile(dir + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z') continue;
        const long long start = StatField(stat, 22);
        if (start > newestStart) {
            newestStart = start;
            pid = std::atoi(name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return pid;
}

int OwnHostPid() {
    const std::string stat = ReadHostFile("/proc/self/stat");
    return std::atoi(stat.c_str());
}

int WineserverHostPid() {
    return FindHostProcess([](const std::string& first) {
        const size_t slash = first.rfind('/');
        return first.compare(slash == std::string::npos ? 0 : slash + 1, 10, "wineserver") == 0;
    });
}

double HostCpuMs(int hostPid) {
    if (hostPid <= 0) return -1;
    const std::string stat = ReadHostFile("/proc/" + std::to_string(hostPid) + "/stat");
    const long long user = StatField(stat, 14), system = StatField(stat, 15);
    if (user < 0 || system < 0) return -1;
    return static_cast<double>(user + system) * 10.0;  // USER_HZ is 100
}

double HostStatusBytes(int hostPid, const char* key) {
    if (hostPid <= 0) return -1;
    const std::string status = ReadHostFile("/proc/" + std::to_string(hostPid) + "/status");
    const std::string prefix = std::string(key) + ":";
    const size_t at = status.find(prefix);
    if (at == std::string::npos) return -1;
    return std::atof(status.c_str() + at + prefix.size()) * 1024.0;
}

}  // namespace bench
