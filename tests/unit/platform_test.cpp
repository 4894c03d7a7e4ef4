// What the program hands the system and takes from it: the tray record, the
// device-change record, the directory from the command line, and the wait
// that keeps its windows alive.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "app/app_dir.h"
#include "app/supported_modems.h"
#include "app/tray_record.h"
#include "framework/message_wait.h"

namespace {

TEST(TrayRecord, IsTheOriginal88ByteFormWithTheTipCutTo63) {
    for (size_t length : {0, 1, 63, 64, 70, 200}) {
        const std::string tip(length, 't');
        NOTIFYICONDATAA record;
        FillTrayRecord(record, reinterpret_cast<HWND>(0x1234), 1008, nullptr, length ? tip.c_str() : nullptr);
        // The original record: 88 bytes on 32-bit Windows, 104 on 64-bit.
        EXPECT_EQ(record.cbSize, sizeof(void*) == 4 ? 88u : 104u);
        EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(record.uCallbackMessage, 0x8064u);
        EXPECT_EQ(std::string(record.szTip), tip.substr(0, 63)) << length << " characters";
    }
}

// A port record as the system broadcasts it, with filler behind it and no zero there.
bool Supported(const char* name, DWORD type = DBT_DEVTYP_PORT, int sizeCut = 0) {
    const size_t size = offsetof(DEV_BROADCAST_PORT_A, dbcp_name) + std::strlen(name) + 1;
    std::vector<char> bytes(size + 8, 'Z');
    auto* record = reinterpret_cast<DEV_BROADCAST_PORT_A*>(bytes.data());
    record->dbcp_size = static_cast<DWORD>(size) - sizeCut;
    record->dbcp_devicetype = type;
    record->dbcp_reserved = 0;
    std::memcpy(record->dbcp_name, name, std::strlen(name) + 1);
    return IsSupportedModemPort(reinterpret_cast<const DEV_BROADCAST_HDR*>(bytes.data()));
}

TEST(SupportedModems, TheFiveNamesWholeAndExactWithinTheRecord) {
    for (const char* name :
         {"Brimoth Portaline V.90 Fax Modem (RTI)", "PC Card V.90 Fax Modem (RT)", "PC Card V.90 Fax Modem (RTI)",
          "Brimoth Portaline 56K PC Card Fax Modem", "56K PC Card Fax Modem"}) {
        EXPECT_TRUE(Supported(name)) << name;
        EXPECT_FALSE(Supported(name, DBT_DEVTYP_VOLUME)) << name;
        // The stated size ends before the terminator: the name is not read past it.
        EXPECT_FALSE(Supported(name, DBT_DEVTYP_PORT, 1)) << name;
    }
    for (const char* name : {"56k PC Card Fax Modem", "56K PC Card Fax Modem ", "PC Card V.90 Fax Modem", ""})
        EXPECT_FALSE(Supported(name)) << '"' << name << '"';
    EXPECT_FALSE(IsSupportedModemPort(nullptr));
}

TEST(AppDir, IsTheExecutablesDirectoryWithItsBackslashOrNone) {
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\korvane.exe";
    const struct {
        const char* line;
        const char* dir;
    } rows[] = {{"\"C:\\Program Files\\Korvane\\korvane.exe\" /x \"y\"", "C:\\Program Files\\Korvane\\"},
                {"C:\\tools\\korvane.exe", "C:\\tools\\"},
                {"korvane.exe", ""},
                {deep.c_str(), ""}};
    for (const auto& row : rows) {
        char dir[MAX_PATH];
        ExeDirFromCommandLine(row.line, dir, sizeof dir);
        EXPECT_STREQ(dir, row.dir) << row.line;
    }
    char small[8];
    ExeDirFromCommandLine("C:\\abcdefgh\\k.exe", small, sizeof small);
    EXPECT_STREQ(small, "");  // does not fit: never a cut path
}

// A window that counts the messages it is handed, and when.
std::atomic<int> g_handled{0};
std::clock_t g_lastHandled = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcA(window, message, wParam, lParam);
    ++g_handled;
    g_lastHandled = std::clock();
    return 0;
}

HWND CountingWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.lpszClassName = "KorvaneCountingWindow";
    RegisterClassA(&windowClass);
    return CreateWindowA("KorvaneCountingWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// The processor time this thread has taken, user and kernel, in milliseconds.
ULONGLONG ThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) { return ((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
    return ms(kernel) + ms(user);
}

// Every message pending at the start is dispatched, and one posted during the
// wait when it comes.
TEST(MessageWaits, WaitWithMessagesDispatchesWhileTheClockRunsPastItsTime) {
    const HWND window = CountingWindow();
    g_handled = 0;
    g_lastHandled = -1;
    for (int i = 0; i < 5; ++i) PostMessageA(window, WM_APP, 0, 0);
    const std::clock_t start = std::clock();
    // Posted by another thread while the wait goes on.
    std::thread poster([&] {
        Sleep(60);
        PostMessageA(window, WM_APP, 0, 0);
    });
    const ULONGLONG cpuBefore = ThreadCpuMs();
    WaitWithMessages(200);
    const std::clock_t end = std::clock();
    const ULONGLONG cpu = ThreadCpuMs() - cpuBefore;
    poster.join();
    EXPECT_EQ(g_handled.load(), 6) << "a pending message or the one posted during the wait was not dispatched";
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
    // Dispatched when it came, not once the time was over (as a Sleep and one drain would).
    EXPECT_GE(g_lastHandled, start);
    EXPECT_LT(g_lastHandled - start, 160) << "the message waited for the end of the wait";
    EXPECT_GT(end - start, 200) << "returned before its time";
    EXPECT_LT(end - start, 200 + 150) << "ran far past its time";
    // Asleep between messages: one that spun takes 50 to 100 ms of it under Wine
    // (the server takes the rest), one that sleeps next to nothing.
    EXPECT_LT(cpu, 25u) << "the wait kept the processor busy";
    DestroyWindow(window);
}

}  // namespace
