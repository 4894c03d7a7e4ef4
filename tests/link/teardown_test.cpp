// Ending connections: ports without a modem, teardowns in a row, and the end
// of the reader. Under Wine a COM port can be opened again while another
// handle holds it, so the tests look at the program's handle itself: its
// value (from the reader's record) and the object behind it.
#include "link/reply_capture.h"
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

using Teardown = void (CMainDlg::*)();

struct NamedTeardown {
    const char* name;
    Teardown call;
};

const NamedTeardown kTeardowns[] = {
    {"ClosePort", &CMainDlg::ClosePort},
    {"ClosePortAfterCommand", &CMainDlg::ClosePortAfterCommand},
    {"ReleasePortOnQuit", &CMainDlg::ReleasePortOnQuit},
};

// Wine gives COM1..COM6 a device object even with nothing behind it, so only
// a port Wine has no device for fails to open.
TEST_F(LinkTest, PortThatCannotBeOpenedPausesAsUsualAndStartsNoReader) {
    const std::set<DWORD> before = ThreadIds();
    const double start = SystemMs();
    dialog_.OpenPort(9, true);
    const double took = SystemMs() - start;
    EXPECT_EQ(OpenNewThread(before), nullptr) << "a reader runs without a port";
    EXPECT_GE(took, kOpenPauses - 10);
    EXPECT_LE(took, kOpenPauses + 2500);
    ASSERT_NE(dialog_.m_reader, nullptr);
    EXPECT_EQ(dialog_.m_reader->found.load(), 0);
    dialog_.ClosePort();
    EXPECT_EQ(dialog_.m_reader, nullptr);
}

TEST_F(LinkTest, PortWithoutAModemPausesAsUsualWritesNothingAndStartsNoReader) {
    AttachModem(6);
    SetKnob(6, "present", "0");
    for (int port : {5, 6}) {  // never attached; attached but not present
        SCOPED_TRACE("COM" + std::to_string(port));
        const std::set<DWORD> before = ThreadIds();
        const double start = SystemMs();
        dialog_.OpenPort(port, true);
        const double took = SystemMs() - start;
        EXPECT_GE(took, kOpenPauses - 10);
        EXPECT_LE(took, kOpenPauses + 2500);
        ASSERT_NE(dialog_.m_reader, nullptr);
        EXPECT_EQ(dialog_.m_reader->found.load(), 0);
        // Wine opens a COM name whose device is gone; such a handle counts as no port.
        EXPECT_EQ(dialog_.m_reader->hComm, INVALID_HANDLE_VALUE);
        EXPECT_EQ(OpenNewThread(before), nullptr);
        dialog_.ClosePort();
    }
    EXPECT_EQ(Received(Transcript(6)), "");
}

TEST_F(LinkTest, SecondTeardownInARowClosesNothing) {
    // With no connection at all.
    for (const NamedTeardown& t : kTeardowns) (dialog_.*t.call)();

    AttachModem(2);
    const std::set<DWORD> before = ThreadIds();
    for (size_t i = 0; i < 3; ++i) {
        const NamedTeardown& first = kTeardowns[i];
        const NamedTeardown& second = kTeardowns[(i + 1) % 3];
        SCOPED_TRACE(std::string(first.name) + " then " + second.name);
        dialog_.OpenPort(2, false);
        ASSERT_NE(dialog_.m_reader, nullptr);
        const HANDLE programPort = dialog_.m_reader->hComm;
        (dialog_.*first.call)();

        // Reopen the port at once and take the program's old handle value, so
        // that a second close of it would close a handle of ours.
        const HANDLE ours = OpenComPort(2);
        ASSERT_NE(ours, INVALID_HANDLE_VALUE);
        const std::vector<HANDLE> held = TakeHandleValue(programPort, ours);
        ASSERT_FALSE(held.empty()) << "the program's port handle value never came free";
        (dialog_.*second.call)();
        DWORD flags;
        for (HANDLE h : held) EXPECT_TRUE(GetHandleInformation(h, &flags)) << h << " was closed";
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        EXPECT_TRUE(GetCommState(ours, &dcb));
        for (HANDLE h : held) CloseHandle(h);
        EXPECT_EQ(OpenNewThread(before), nullptr);
    }
}

TEST_F(LinkTest, EveryTeardownEndsTheReaderAndClosesThePortAlsoWhileBytesArrive) {
    AttachModem(2);
    for (bool streaming : {false, true}) {
        for (const NamedTeardown& t : kTeardowns) {
            SCOPED_TRACE(std::string(t.name) + (streaming ? " while bytes arrive" : " on a quiet line"));
            const std::set<DWORD> before = ThreadIds();
            ResetReply();
            dialog_.OpenPort(2, false);
            HANDLE reader = OpenNewThread(before);
            ASSERT_NE(reader, nullptr);
            const HANDLE programPort = dialog_.m_reader->hComm;
            const std::wstring portObject = ObjectName(programPort);
            ASSERT_FALSE(portObject.empty());
            if (streaming) {
                ASSERT_TRUE(modem_->Request("endless 2 1").ok);
                EXPECT_TRUE(drv::WaitUntil([] { return Capture().size() == kReplyCap; }, kReplyLimit));
            }
            (dialog_.*t.call)();
            EXPECT_TRUE(ThreadEnded(reader));
            EXPECT_NE(ObjectName(programPort), portObject) << "the program's port handle is still open";
            const HANDLE again = OpenComPort(2);
            EXPECT_NE(again, INVALID_HANDLE_VALUE);
            if (streaming) modem_->Request("endless 2 0");
            if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
            CloseHandle(reader);
        }
    }
}

}  // namespace
}  // namespace lnk
