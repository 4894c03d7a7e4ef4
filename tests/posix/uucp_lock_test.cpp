// UUCP lock files, natively: the PID in every form other serial programs
// write it; what a take makes of whatever lies under the lock's name (live,
// stale, unreadable, planted, our own, or changed between our look and the
// removal) and what it leaves there; the release of only the file we linked,
// on return and on a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "link/posix/exit_release.h"
#include "link/posix/uucp_lock.h"
#include "scratch_dir.h"

namespace {

std::string Binary(int pid) { return std::string(reinterpret_cast<const char*>(&pid), sizeof pid); }

// The FHS form of a lock: ten digits, right-aligned, and a newline.
std::string Fhs(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

// A PID that no process has: a child that has ended and been reaped.
pid_t GonePid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

// What lies under path: a regular file's content, else its kind.
std::string Left(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return "nothing";
    if (S_ISFIFO(info.st_mode)) return "a FIFO";
    if (S_ISLNK(info.st_mode)) return "a link";
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Puts content under path as a new file (a new inode), the way a taker links its lock into place.
void Replace(const std::string& path, const std::string& content) {
    std::ofstream(path + ".fresh") << content;
    ASSERT_EQ(rename((path + ".fresh").c_str(), path.c_str()), 0);
}

// The names in dir that begin with prefix.
std::vector<std::string> NamesIn(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) names.push_back(entry.path().filename());
    return names;
}

TEST(UucpLock, ReadsThePidInEveryForm) {
    const struct {
        std::string content;
        pid_t pid;
    } rows[] = {
        // The FHS form is a row of linux_cli.
        {"1234\n", 1234},                 // no padding
        {"1234", 1234},                   // no newline either
        {"  1234 minicom root\n", 1234},  // lockdev and minicom add the program and user
        {Binary(1234), 1234},             // old UUCP and Kermit: a native int
        {Binary(2570), 2570},             // binary bytes that are line feeds: "\n\n\0\0"
        {Binary(12337), 12337},           // binary bytes that begin like digits: "10\0\0"
    };
    for (const auto& row : rows) EXPECT_EQ(ParseLockPid(row.content), row.pid) << '"' << row.content << '"';
    // Neither text nor a PID the kernel can give.
    using namespace std::string_literals;
    for (const std::string& content : {""s, "\n"s, "lock\n"s, "-5\n"s, "0\n"s, "99999999999\n"s, "12a\n"s,
                                       Binary(-1), Binary(0x7fffffff), "pid=1234\n"s, "1234\0"s, "1234\r"s})
        EXPECT_EQ(ParseLockPid(content), 0) << '"' << content << '"';
}

// Each row a device of its own in one lock directory. A free port, and a
// live lock in the FHS form, end to end, are rows of linux_cli.
TEST(UucpLock, TakesWhatIsFreeOrStaleAndLeavesWhatLocks) {
    const ScratchDir dir;
    // A live process other than us: the test's parent.
    const pid_t other = getppid(), gone = GonePid();
    std::string otherCommand;
    std::getline(std::ifstream("/proc/" + std::to_string(other) + "/comm"), otherCommand);
    const std::string otherHolds = "PID " + std::to_string(other) + " (" + otherCommand + ") in " + dir.Path();
    const std::string mine = Fhs(getpid()), others = Fhs(other), stale = Fhs(gone);
    const auto lock = [&](const char* tty) { return dir.Path() + "/LCK.." + tty; };
    using Act = std::function<void(const std::string& path)>;
    // A lock file of content, written age seconds ago.
    const auto file = [](const std::string& content, int age = 0) -> Act {
        return [=](const std::string& path) {
            std::ofstream(path, std::ios::binary) << content;
            const timespec times[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
            utimensat(AT_FDCWD, path.c_str(), times, 0);
        };
    };
    const auto replace = [](const std::string& content) -> Act {
        return [=](const std::string& path) { Replace(path, content); };
    };
    // A file where an older release wrote its temporary lock (LTMP.<pid>.<device>) is never used.
    const std::string planted = dir.Make("LTMP." + std::to_string(getpid()) + ".ttyS0", "planted\n");
    const struct {
        const char* tty;
        const char* what;
        Act plant;      // what lies under the lock's name before the take
        Act meanwhile;  // between finding the lock stale and the second look
        LockResult result;
        std::string holder, staleNote;
        std::string left;  // what lies under the lock's name until the lock object goes
    } rows[] = {
        {"ttyS1", "ours: another port of this run took the device", file(mine, 60), nullptr, LockResult::InUse,
         "PID " + std::to_string(getpid()) + " (posix_units) in " + dir.Path(), "", mine},
        {"ttyS2", "no PID, old", file("garbage", 60), nullptr, LockResult::InUse,
         lock("ttyS2") + ", which names no process: remove it once no program uses the port", "", "garbage"},
        {"ttyS3", "empty, old", file("", 60), nullptr, LockResult::Taken, "",
         "removed the stale lock " + lock("ttyS3") + ", which was empty", mine},
        {"ttyS4", "empty, just made (its owner may be writing it)", file(""), nullptr, LockResult::InUse,
         lock("ttyS4") + ", which is empty and new: its owner may be writing it", "", ""},
        {"ttyS5", "a FIFO", [](const std::string& path) { mkfifo(path.c_str(), 0644); }, nullptr,
         LockResult::InUse, lock("ttyS5") + ", which is not a regular file", "", "a FIFO"},
        {"ttyS6", "a link to a stale lock",
         [&](const std::string&) { dir.Link("LCK..ttyS6", dir.Make("elsewhere", "1\n")); }, nullptr,
         LockResult::InUse, lock("ttyS6") + ", which is not a regular file", "", "a link"},
        {"ttyS8", "stale, binary, nothing happens meanwhile", file(Binary(gone)), nullptr, LockResult::Taken, "",
         "removed the stale lock " + lock("ttyS8") + " of PID " + std::to_string(gone) + ", which is gone", mine},
        {"ttyS9", "stale, another taker links its lock in place meanwhile", file(stale), replace(others),
         LockResult::InUse, otherHolds, "", others},
        {"ttyS10", "stale, its owner rewrites the same file meanwhile", file(stale), file(others),
         LockResult::InUse, otherHolds, "", others},
        {"ttyS11", "stale, a new file of the same stale content every time", file(stale), replace(stale),
         LockResult::InUse, lock("ttyS11") + ", which other programs kept changing while we looked", "", stale},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = lock(row.tty);
        if (row.plant) row.plant(path);
        {
            UucpLock taker;
            if (row.meanwhile) taker.beforeStaleRemoval = [&] { row.meanwhile(path); };
            EXPECT_EQ(taker.Take(dir.Path(), std::string("/dev/") + row.tty), row.result);
            EXPECT_EQ(taker.Holder(), row.holder);
            EXPECT_EQ(taker.staleNote, row.staleNote);
            EXPECT_EQ(Left(path), row.left);
            EXPECT_EQ(NamesIn(dir.Path(), "LTMP."),
                      std::vector<std::string>{planted.substr(dir.Path().size() + 1)});
        }
        // Released at the end of its scope; whatever locked the port is left as it was.
        EXPECT_EQ(Left(path), row.result == LockResult::InUse ? row.left : "nothing");
    }
    EXPECT_EQ(Left(planted), "planted\n");
}

// The release, on return or on a signal that ends the process, removes the
// lock only while it is still the file we linked: not a new file of our
// content (another port of this run took the device since). That it removes
// our own lock is a row of linux_cli, on return and on SIGTERM.
TEST(UucpLock, ReleasesOnlyTheFileItLinked) {
    for (const bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "on a signal" : "on return");
        const ScratchDir dir;
        const std::string path = dir.Path() + "/LCK..ttyS2";
        int ready[2], go[2];
        ASSERT_TRUE(pipe(ready) == 0 && pipe(go) == 0);
        const pid_t child = fork();
        if (child == 0) {
            // Told to release by a byte on go, or by the parent's end.
            close(go[1]);
            InstallExitRelease();
            UucpLock lock;
            (void)!write(ready[1], lock.Take(dir.Path(), "/dev/ttyS2") == LockResult::Taken ? "y" : "n", 1);
            char byte;
            (void)!read(go[0], &byte, 1);
            lock.Release();
            _exit(0);
        }
        char taken = 0;
        ASSERT_EQ(read(ready[0], &taken, 1), 1);
        ASSERT_EQ(taken, 'y');
        ASSERT_EQ(Left(path), Fhs(child));
        Replace(path, Fhs(child));
        if (bySignal)
            kill(child, SIGTERM);
        else
            (void)!write(go[1], "", 1);
        int status = 0;
        waitpid(child, &status, 0);
        for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
        EXPECT_TRUE(bySignal ? WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM : status == 0);
        EXPECT_EQ(Left(path), Fhs(child));
    }
}

}  // namespace
