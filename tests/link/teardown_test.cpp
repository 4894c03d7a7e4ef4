// Ending connections, and the faults a connection must survive: an open over
// an open connection, a reader held inside a read past the end's bound, a port
// or an event that cannot be had, a read or a write that fails.
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

// An open of another port ends the open connection first: its reader stops.
// Every other end of a connection is the same end, whose threads and handles
// the program's own rows count after each of them.
TEST_F(LinkTest, OpeningAnotherPortEndsTheOpenConnectionFirst) {
    AttachModem(2);
    AttachModem(3);
    Connect(2, false);
    const HANDLE reader = CopyHandle(port_->ReaderThread());
    ASSERT_NE(reader, nullptr);
    Connect(3, true);
    EXPECT_EQ(WaitForSingleObject(reader, 0), WAIT_OBJECT_0) << "the first connection's reader still runs";
    EXPECT_TRUE(drv::WaitUntil([&] { return Found(); }, 300)) << "the new connection found no modem";
    CloseHandle(reader);
}

namespace held {
HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
std::atomic<int> reads{0};
std::atomic<bool> portUsable{false};

// The first read waits to be let go, then tells whether its port still works.
BOOL WINAPI HeldRead(HANDLE port, LPVOID buffer, DWORD count, LPDWORD got, LPOVERLAPPED overlapped) {
    if (reads++ == 0) {
        SetEvent(entered);
        WaitForSingleObject(release, 2 * kReplyLimit);
        DWORD errors = 0;
        COMSTAT status = {};
        portUsable = ClearCommError(port, &errors, &status) != FALSE;
    }
    return ReadFile(port, buffer, count, got, overlapped);
}
}  // namespace held

TEST_F(LinkTest, ReaderHeldInsideAReadPastTheEndsBoundKeepsItsPort) {
    AttachModem(2);
    LinkCalls calls;
    calls.readFile = &held::HeldRead;
    Connect(2, false, calls);
    const HANDLE reader = CopyHandle(port_->ReaderThread());
    ASSERT_TRUE(modem_->Send(2, "x"));
    ASSERT_EQ(WaitForSingleObject(held::entered, kReplyLimit), WAIT_OBJECT_0) << "the reader did not read";
    Close();  // gives up waiting for the reader after its bound
    ASSERT_EQ(WaitForSingleObject(reader, 0), WAIT_TIMEOUT);
    stop_ = 0;  // as the next connection does: the late reader must still see its own stop
    SetEvent(held::release);
    EXPECT_EQ(WaitForSingleObject(reader, kReplyLimit), WAIT_OBJECT_0) << "the reader did not end";
    EXPECT_TRUE(held::portUsable) << "the port was closed under the reader";
    CloseHandle(reader);
}

namespace failing {
std::atomic<int> events{0};
int eventFailing = 0;

HANDLE WINAPI CreateEventFailingOnce(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCSTR name) {
    if (++events == eventFailing) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return nullptr;
    }
    return CreateEventA(security, manual, initial, name);
}

// A read and a write that fail outright, as on a port whose device went away.
BOOL WINAPI RefusedRead(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return SetLastError(ERROR_BAD_COMMAND), FALSE;
}
BOOL WINAPI RefusedWrite(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return SetLastError(ERROR_GEN_FAILURE), FALSE;
}
}  // namespace failing

// A connection that does not open has no reader, writes nothing and finds
// nothing. Wine gives COM1..COM6 a device object even with nothing behind it
// and opens them, as the program's rows of a port that is gone show; a port
// Wine has no device for (COM9) fails at the open itself. An event the connection cannot make ends it as a failed open does.
// A failed read or write leaves the port open and the steps going on. Each
// failure is reported with its call and the system's code.
TEST_F(LinkTest, AFailureIsReportedAndAConnectionThatDoesNotOpenWritesNothing) {
    AttachModem(2);
    AttachModem(3);
    enum Line { Sound, ReadFails, WriteFails };  // the reads and writes on it
    const struct {
        const char* what;
        int port, eventFailing;
        Line line;
        bool opens;
        const char* call;  // the failed call reported; nullptr: not looked at
        int error;
    } rows[] = {
        {"no device", 9, 0, Sound, false, nullptr, 0},
        // The connection makes its five events in one loop: the first and the last.
        {"the 1st event fails", 2, 1, Sound, false, "CreateEventA", ERROR_NO_SYSTEM_RESOURCES},
        {"the 5th event fails", 2, 5, Sound, false, "CreateEventA", ERROR_NO_SYSTEM_RESOURCES},
        // The modem answers the probe unless the write failed.
        {"the read fails", 3, 0, ReadFails, true, "ReadFile", ERROR_BAD_COMMAND},
        {"the write fails", 3, 0, WriteFails, true, "WriteFile", ERROR_GEN_FAILURE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        failing::events = 0;
        failing::eventFailing = row.eventFailing;
        LinkCalls calls;
        calls.createEvent = &failing::CreateEventFailingOnce;
        if (row.line == ReadFails) calls.readFile = &failing::RefusedRead;
        if (row.line == WriteFails) calls.writeFile = &failing::RefusedWrite;
        FreshStart();
        Connect(row.port, true, calls);
        ASSERT_GE(failing::events.load(), row.eventFailing) << "the failure was never injected";
        if (row.opens) {  // Found() reads the port, which brings its failure to the report
            EXPECT_TRUE(drv::WaitUntil([&] { return !Found() && !link_->Report().line.Ok(); }, kReplyLimit));
        }
        EXPECT_FALSE(Found());
        EXPECT_EQ(link_->IsOpen(), row.opens);
        EXPECT_EQ(port_->ReaderThread() != nullptr, row.opens) << "a reader without a port, or a port without one";
        const LinkReport report = link_->Report();
        EXPECT_EQ(report.usable, row.opens);
        const PortStatus& failed = row.opens ? report.line : report.configure;
        if (row.call) {
            EXPECT_STREQ(failed.call, row.call);
            EXPECT_EQ(failed.systemError, row.error);
        }
        Close();
    }
    Sleep(300);
    EXPECT_EQ(ReceivedOn(2), "") << "a probe went out";
}

}  // namespace
}  // namespace lnk
