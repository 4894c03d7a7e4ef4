// UUCP lock files, natively: the PID in every form other serial programs
// write it; taking, leaving and clearing locks live, stale, unreadable,
// planted and our own; a stale lock that another taker replaces between our
// look and its removal; the release of only the file we linked, on return
// and on a signal.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/posix/exit_release.h"
#include "link/posix/uucp_lock.h"
#include "posix_test_support.h"

namespace {

std::string Binary(int pid) { return std::string(reinterpret_cast<const char*>(&pid), sizeof pid); }

ino_t InodeOf(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Puts content under path as a new file (a new inode), the way a taker links its lock into place.
void Replace(const std::string& path, const std::string& content) {
    const std::string fresh = path + ".fresh";
    FILE* file = std::fopen(fresh.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(content.c_str(), file);
    std::fclose(file);
    ASSERT_EQ(rename(fresh.c_str(), path.c_str()), 0);
}

// Writes content into the file at path itself, as a program that rewrites its lock does.
void Rewrite(const std::string& path, const std::string& content) {
    FILE* file = std::fopen(path.c_str(), "r+");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(ftruncate(fileno(file), 0), 0);
    std::fputs(content.c_str(), file);
    std::fclose(file);
}

// The names in dir that begin with prefix.
std::vector<std::string> NamesIn(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(dir.c_str()), closedir);
    while (const dirent* entry = listing ? readdir(listing.get()) : nullptr)
        if (std::string(entry->d_name).compare(0, prefix.size(), prefix) == 0) names.push_back(entry->d_name);
    return names;
}

TEST(UucpLock, ReadsThePidInEveryForm) {
    const struct {
        std::string content;
        pid_t pid;
    } rows[] = {
        {Fhs(1234), 1234},                // the FHS form
        {"1234\n", 1234},                 // no padding
        {"1234", 1234},                   // no newline either
        {"1234\r\n", 1234},               // a line ended with CR LF
        {"  1234 minicom root\n", 1234},  // lockdev and minicom add the program and user
        {Binary(1234), 1234},             // old UUCP and Kermit: a native int
        {Binary(2570), 2570},             // binary bytes that are line feeds: "\n\n\0\0"
        {Binary(12337), 12337},           // binary bytes that begin like digits: "10\0\0"
    };
    for (const auto& row : rows) EXPECT_EQ(ParseLockPid(row.content), row.pid) << '"' << row.content << '"';
    // Neither text nor a PID the kernel can give.
    const std::vector<std::string> none = {"",
                                           "\n",
                                           "lock\n",
                                           "-5\n",
                                           "0\n",
                                           "99999999999\n",
                                           "12a\n",
                                           Binary(-1),
                                           Binary(0x7fffffff),
                                           "pid=1234\n",
                                           std::string("1234\0", 5),
                                           "1234\r"};
    for (const std::string& content : none) EXPECT_EQ(ParseLockPid(content), 0) << '"' << content << '"';
}

TEST(UucpLock, TakesLeavesAndClearsLocks) {
    const NamedChild live("etq-holder");
    const pid_t gone = GonePid();
    const std::string mine = Fhs(getpid());
    const std::string liveHolder = "PID " + std::to_string(live.Pid()) + " (etq-holder) in ";
    const std::string noProcess = ", which names no process: remove it once no program uses the port";
    const struct {
        const char* what;
        std::string content;
        int age;  // seconds since the lock was written; -1: no lock
        LockResult result;
        pid_t holder;
        std::string holderText;  // after the directory, or after the lock's path when it starts with ','
        const char* staleNote;   // after the lock's path
    } rows[] = {
        {"no lock", "", -1, LockResult::Taken, 0, "", ""},
        {"live, FHS", Fhs(live.Pid()), 0, LockResult::InUse, live.Pid(), liveHolder, ""},
        {"stale, binary", Binary(gone), 0, LockResult::Taken, 0, "", " of PID %d, which is gone"},
        {"ours: another port of this run took the device", mine, 60, LockResult::InUse, getpid(),
         "PID " + std::to_string(getpid()) + " (posix_units) in ", ""},
        {"no PID, old", "garbage", 60, LockResult::InUse, 0, noProcess, ""},
        {"empty, old", "", 60, LockResult::Taken, 0, "", ", which was empty"},
        {"empty, just made (its owner may be writing it)", "", 0, LockResult::InUse, 0,
         ", which is empty and new: its owner may be writing it", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        const std::string path = dir.Path() + "/LCK..ttyUSB0";
        if (row.age >= 0) {
            dir.Make("LCK..ttyUSB0", row.content);
            const timespec age[2] = {{time(nullptr) - row.age, 0}, {time(nullptr) - row.age, 0}};
            utimensat(AT_FDCWD, path.c_str(), age, 0);
        }
        {
            UucpLock lock;
            EXPECT_EQ(lock.Take(dir.Path(), "/dev/ttyUSB0"), row.result);
            EXPECT_EQ(lock.holderPid, row.holder);
            const std::string holder = row.holderText[0] == ',' ? path + row.holderText
                                       : row.holderText.empty() ? ""
                                                                : row.holderText + dir.Path();
            EXPECT_EQ(lock.Holder(), holder);
            char note[128] = "";
            if (*row.staleNote) std::snprintf(note, sizeof note, row.staleNote, gone);
            EXPECT_EQ(lock.staleNote, *note ? "removed the stale lock " + path + note : "");
            if (row.result == LockResult::Taken) {
                EXPECT_EQ(ReadAll(path), mine);
                struct stat info;
                ASSERT_EQ(stat(path.c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 0777, 0644u);
            } else {
                EXPECT_EQ(ReadAll(path), row.content);
            }
            EXPECT_EQ(NamesIn(dir.Path(), "LTMP."), std::vector<std::string>{});
        }
        // Released at the end of its scope; another's lock is left as it was.
        EXPECT_EQ(access(path.c_str(), F_OK) == 0, row.result == LockResult::InUse);
    }
}

// Whatever else lies under the lock's name locks the port, and is neither
// opened in a way that could block nor removed.
TEST(UucpLock, TakesNothingButARegularFileForALock) {
    const std::vector<std::pair<const char*, std::function<void(const ScratchDir&, const std::string&)>>> rows = {
        {"a FIFO", [](const ScratchDir&, const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }},
        {"a link to a stale lock",
         [](const ScratchDir& dir, const std::string&) { dir.Link("LCK..ttyS0", dir.Make("elsewhere", "1\n")); }},
        {"a directory",
         [](const ScratchDir&, const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0); }},
    };
    for (const auto& [what, plant] : rows) {
        SCOPED_TRACE(what);
        ScratchDir dir;
        const std::string path = dir.Path() + "/LCK..ttyS0";
        plant(dir, path);
        UucpLock lock;
        EXPECT_EQ(lock.Take(dir.Path(), "/dev/ttyS0"), LockResult::InUse);
        EXPECT_EQ(lock.Holder(), path + ", which is not a regular file");
        struct stat info;
        EXPECT_EQ(lstat(path.c_str(), &info), 0) << "removed";
    }
}

// Another taker acts between our finding a lock stale and its removal: the
// second look sees the change, and the other's lock stays.
TEST(UucpLock, RemovesOnlyTheStaleLockItJudged) {
    const NamedChild other("etq-other");
    const std::string stale = Fhs(GonePid()), others = Fhs(other.Pid());
    const struct {
        const char* what;
        std::function<void(const std::string&)> meanwhile;
        LockResult result;
        std::string left;  // the lock file's content afterwards
    } rows[] = {
        {"nothing happens", [](const std::string&) {}, LockResult::Taken, Fhs(getpid())},
        {"another taker links its lock in place", [&](const std::string& path) { Replace(path, others); },
         LockResult::InUse, others},
        {"the owner rewrites the same file", [&](const std::string& path) { Rewrite(path, others); },
         LockResult::InUse, others},
        {"a new file of the same stale content, every time",
         [&](const std::string& path) { Replace(path, stale); }, LockResult::InUse, stale},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        const std::string path = dir.Make("LCK..ttyS1", stale);
        UucpLock lock;
        lock.beforeStaleRemoval = [&] { row.meanwhile(path); };
        EXPECT_EQ(lock.Take(dir.Path(), "/dev/ttyS1"), row.result) << lock.Holder();
        EXPECT_EQ(ReadAll(path), row.left);
    }
}

// A file planted where an older release wrote its temporary lock (LTMP.<pid>.<device>) is never used.
TEST(UucpLock, WritesItsLockUnderANameNobodyCouldGuess) {
    ScratchDir dir;
    const std::string planted = dir.Make("LTMP." + std::to_string(getpid()) + ".ttyUSB3", "planted\n");
    const ino_t plantedInode = InodeOf(planted);
    UucpLock lock;
    ASSERT_EQ(lock.Take(dir.Path(), "/dev/ttyUSB3"), LockResult::Taken);
    EXPECT_EQ(ReadAll(planted), "planted\n");
    EXPECT_NE(InodeOf(lock.Path()), plantedInode);
    EXPECT_EQ(NamesIn(dir.Path(), "LTMP."),
              std::vector<std::string>{"LTMP." + std::to_string(getpid()) + ".ttyUSB3"});
}

// Release leaves a lock that is no longer the file we linked. (A directory
// that takes no lock is a row of linux_cli.)
TEST(UucpLock, LeavesWhatIsNotOurs) {
    const struct {
        const char* what;
        std::string content;
    } rows[] = {
        {"another program's lock, put in place of ours", Fhs(42)},
        {"a new file with our content: another port of this run took the device since", Fhs(getpid())},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        UucpLock lock;
        ASSERT_EQ(lock.Take(dir.Path(), "/dev/ttyS0"), LockResult::Taken);
        Replace(dir.Path() + "/LCK..ttyS0", row.content);
        lock.Release();
        EXPECT_EQ(ReadAll(dir.Path() + "/LCK..ttyS0"), row.content);
    }
}

// A signal that ends the process removes its lock, unless the file is no longer the one it linked.
TEST(UucpLock, ASignalRemovesOnlyTheLockItLinked) {
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced by a file of the same content" : "ours");
        ScratchDir dir;
        const std::string path = dir.Path() + "/LCK..ttyS2";
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            InstallExitRelease();
            UucpLock lock;
            (void)!write(ready[1], lock.Take(dir.Path(), "/dev/ttyS2") == LockResult::Taken ? "y" : "n", 1);
            for (;;) pause();
        }
        close(ready[1]);
        char taken = 0;
        ASSERT_EQ(read(ready[0], &taken, 1), 1);
        close(ready[0]);
        ASSERT_EQ(taken, 'y');
        ASSERT_EQ(ReadAll(path), Fhs(child));
        if (replaced) Replace(path, Fhs(child));
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        EXPECT_EQ(access(path.c_str(), F_OK) == 0, replaced);
    }
}

}  // namespace
