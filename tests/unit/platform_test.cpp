// What the program takes from the system: the device-change record, the
// directory from the command line; and the wait that keeps its windows alive.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_dir.h"
#include "app/supported_modems.h"
#include "framework/message_wait.h"

namespace {

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
    const struct {
        const char* line;
        const char* dir;
    } rows[] = {{"\"C:\\Program Files\\Korvane\\korvane.exe\" /x \"y\"", "C:\\Program Files\\Korvane\\"},
                {"C:\\tools\\korvane.exe", "C:\\tools\\"},
                {"korvane.exe", ""}};
    for (const auto& row : rows) {
        char dir[MAX_PATH];
        ExeDirFromCommandLine(row.line, dir, sizeof dir);
        EXPECT_STREQ(dir, row.dir) << row.line;
    }
    char small[8];
    ExeDirFromCommandLine("C:\\abcdefgh\\k.exe", small, sizeof small);
    EXPECT_STREQ(small, "");  // does not fit: never a cut path
}

// The processor time this thread has taken, user and kernel, in milliseconds.
ULONGLONG ThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) { return ((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
    return ms(kernel) + ms(user);
}

// The wait that keeps the windows alive through a pause sleeps between
// messages: one that spun would take 50 to 100 ms of its 200 under Wine (the
// server takes the rest), one that sleeps next to nothing. Its length, and the
// messages it hands on as they come, are the program's rows' (the pauses
// before a command, the clicks a run ignores).
TEST(MessageWaits, WaitWithMessagesSleepsBetweenMessages) {
    const ULONGLONG before = ThreadCpuMs();
    WaitWithMessages(200);
    EXPECT_LT(ThreadCpuMs() - before, 25u) << "the wait kept the processor busy";
}

}  // namespace
