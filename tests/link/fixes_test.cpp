// Faults a connection must survive: a line that holds the probe back, an
// open while a connection is open, a reader held inside a read past the end's
// bound, a port or an event that cannot be had, a read or a write that fails.
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

TEST_F(LinkTest, ProbeOnALineThatHoldsItBackLeavesTheProbeWindowWhole) {
    AttachModem(2);
    ASSERT_TRUE(HoldLine(2));
    Connect(2, false);
    ASSERT_TRUE(link_->IsOpen());
    const DWORD start = GetTickCount();
    port_->Write(kProbeCommand, kProbeCommandLength);
    // A write that waited would take the whole write timeout, 1000 ms.
    EXPECT_LT(GetTickCount() - start, 300u) << "the write waited for the held line";
    Sleep(300);
    ASSERT_EQ(Received(Transcript(2)), "") << "the line did not hold the write back: this proves nothing";
    // The end cancels the write before its bytes and record go away.
    Close();
    EXPECT_FALSE(link_->IsOpen());
}

TEST_F(LinkTest, OpeningWhileOpenEndsTheOpenConnectionFirst) {
    AttachModem(2);
    AttachModem(3);
    Connect(2, false);
    const HANDLE firstReader = CopyHandle(port_->ReaderThread());
    const HANDLE firstPort = port_->Handle();
    const std::wstring firstObject = ObjectName(firstPort);
    ASSERT_FALSE(firstObject.empty());
    Connect(3, true);
    EXPECT_TRUE(ThreadEnded(firstReader)) << "the first connection's reader still runs";
    EXPECT_NE(ObjectName(firstPort), firstObject) << "the first connection's port was left open";
    EXPECT_TRUE(WaitForFound(300));
    CloseHandle(firstReader);
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
    ASSERT_FALSE(ThreadEnded(reader));
    stop_ = 0;  // as the next connection does: the late reader must still see its own stop
    SetEvent(held::release);
    EXPECT_EQ(WaitForSingleObject(reader, kReplyLimit), WAIT_OBJECT_0) << "the reader did not end";
    EXPECT_TRUE(held::portUsable) << "the port was closed under the reader";
    CloseHandle(reader);
}

namespace failing {
std::atomic<int> calls{0};
int failAt = 0;

HANDLE WINAPI CreateEventFailingOnce(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCSTR name) {
    if (++calls == failAt) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return nullptr;
    }
    return CreateEventA(security, manual, initial, name);
}
}  // namespace failing

// A connection that does not open: no reader, no write, nothing found. Wine
// gives COM1..COM6 a device object even with nothing behind it and opens
// them; only a port Wine has no device for (COM9) fails at the open itself.
// An event the connection cannot make ends it as a failed open does,
// reported with the call and the system's code.
TEST_F(LinkTest, AConnectionThatDoesNotOpenHasNoReaderAndWritesNothing) {
    AttachModem(2);
    AttachModem(6);
    SetKnob(6, "present", "0");
    LinkCalls calls;
    calls.createEvent = &failing::CreateEventFailingOnce;
    // No device; never attached; attached but not present; then each event in turn fails.
    const struct {
        int port, failAt;
    } rows[] = {{9, 0}, {5, 0}, {6, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}};
    for (const auto& row : rows) {
        SCOPED_TRACE("COM" + std::to_string(row.port) + ", event " + std::to_string(row.failAt) + " fails");
        failing::calls = 0;
        failing::failAt = row.failAt;
        Connect(row.port, true, calls);
        EXPECT_FALSE(link_->IsOpen());
        EXPECT_EQ(port_->ReaderThread(), nullptr) << "a reader runs without a port";
        EXPECT_FALSE(Found());
        if (row.failAt > 0) {
            ASSERT_GE(failing::calls.load(), row.failAt) << "the failure was never injected";
            EXPECT_FALSE(link_->Report().usable);
            EXPECT_STREQ(link_->Report().configure.call, "CreateEventA");
            EXPECT_EQ(link_->Report().configure.systemError, ERROR_NO_SYSTEM_RESOURCES);
        }
        Close();
    }
    Sleep(300);
    EXPECT_EQ(Received(Transcript(6)), "");
    EXPECT_EQ(Received(Transcript(2)), "") << "a probe went out";
}

// A read and a write that fail outright, as on a port whose device went away.
BOOL WINAPI RefusedRead(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return SetLastError(ERROR_BAD_COMMAND), FALSE;
}
BOOL WINAPI RefusedWrite(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    return SetLastError(ERROR_GEN_FAILURE), FALSE;
}

TEST_F(LinkTest, AFailedReadOrWriteIsReportedAndTheStepsGoOn) {
    AttachModem(2);
    for (const bool read : {true, false}) {
        SCOPED_TRACE(read ? "read" : "write");
        LinkCalls calls;
        if (read)
            calls.readFile = &RefusedRead;
        else
            calls.writeFile = &RefusedWrite;
        link_.reset();
        port_.reset();
        Connect(2, true, calls);  // the modem answers the probe unless the write failed
        EXPECT_TRUE(drv::WaitUntil([&] { return !Found() && !link_->Report().line.Ok(); }, kReplyLimit));
        EXPECT_STREQ(link_->Report().line.call, read ? "ReadFile" : "WriteFile");
        EXPECT_EQ(link_->Report().line.systemError, read ? ERROR_BAD_COMMAND : ERROR_GEN_FAILURE);
        EXPECT_TRUE(link_->IsOpen()) << "a failure of the line closed the port";
        Close();
    }
}

}  // namespace
}  // namespace lnk
