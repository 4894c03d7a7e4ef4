#include "tools/driver/korvane_process.h"

#include <cstdlib>
#include <fstream>

#include "tools/driver/window_input.h"

namespace drv {

namespace {
constexpr char kExeName[] = "korvane.exe";
constexpr char kIniName[] = "korvane.ini";
constexpr char kShippedIniName[] = "korvane-shipped.ini";

bool WriteText(const std::string& path, const std::string& content) {
    return static_cast<bool>(std::ofstream(path, std::ios::binary).write(content.data(), content.size()));
}
}  // namespace

std::string KorvaneBinDir() {
    const char* dir = std::getenv("KORVANE_BIN_DIR");
    if (!dir || !*dir) return {};
    std::string path = dir;
    // A Unix path from the session becomes a path on Wine's Z: drive.
    if (path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    if (path.back() != '\\') path += '\\';
    return path;
}

bool SetUserValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr))
        return false;
    const ScopedRegistryKey owned(opened);
    return RegSetValueExA(owned.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

KorvaneProcess::~KorvaneProcess() {
    if (Running()) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), kSendTimeout);
    }
    if (tempDir_.empty()) return;
    DeleteFileA((tempDir_ + kIniName).c_str());
    DeleteFileA((tempDir_ + kShippedIniName).c_str());
    RemoveDirectoryA((tempDir_ + kIniName).c_str());
    DeleteFileA(exePath_.c_str());
    RemoveDirectoryA(tempDir_.c_str());
}

bool KorvaneProcess::Start(const StartOptions& options, std::string* error) {
    if (KorvaneBinDir().empty())
        return *error = "KORVANE_BIN_DIR is not set (run the test through the session)", false;
    exePath_ = KorvaneBinDir() + kExeName;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    if (options.table != StartOptions::kBuilt) {
        static int copies = 0;
        tempDir_ = temp + ("korvane test " + std::to_string(GetCurrentProcessId()) + " " +
                           std::to_string(++copies) + "\\");
        const std::string ini = tempDir_ + kIniName;
        const bool ready =
            CreateDirectoryA(tempDir_.c_str(), nullptr) &&
            CopyFileA(exePath_.c_str(), (tempDir_ + kExeName).c_str(), FALSE) &&
            (options.table != StartOptions::kDirectory || CreateDirectoryA(ini.c_str(), nullptr)) &&
            (options.table != StartOptions::kContent || WriteText(ini, options.content)) &&
            (!options.shipped || WriteText(tempDir_ + kShippedIniName, *options.shipped));
        exePath_ = tempDir_ + kExeName;
        if (!ready) return *error = "cannot prepare a copy of the program in " + tempDir_, false;
    }
    // The session's display has no window manager: Wine then waits up to 2 s
    // on every hide of a managed window, so the program's windows are unmanaged.
    SetUserValue("Software\\Wine\\X11 Driver", "Managed", REG_SZ, "N", 2);
    // As a shortcut or a script starts it: a quoted path, arguments after it,
    // and a working directory that is not its own. The built table lies in the
    // built program's directory, so a copy runs there and the built program in
    // the temporary directory: a table read from the working directory is the wrong one.
    std::string commandLine = "\"" + exePath_ + "\" /start \"an argument\"";
    const std::string dir = tempDir_.empty() ? std::string(temp) : KorvaneBinDir();

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // Suspended, so the spy hooks the UI thread before its first window.
    if (!CreateProcessA(exePath_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        dir.c_str(), &startup, &info)) {
        *error = "CreateProcess " + exePath_ + " failed: " + std::to_string(GetLastError());
        return false;
    }
    process_.Reset(info.hProcess);
    ScopedHandle thread(info.hThread);
    pid_ = info.dwProcessId;
    const bool hooked = spy_.Attach(pid_, info.dwThreadId, error);
    ResumeThread(thread.Get());
    return hooked;
}

bool KorvaneProcess::Running() const {
    return process_.IsValid() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> KorvaneProcess::WaitForExit(DWORD timeoutMs) const {
    if (!process_.IsValid() || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

}  // namespace drv
