// Ending connections: ends in a row, and the end of the reader. Under Wine a COM port can be opened again while another handle
// holds it, so the tests look at the connection's handle itself: its value
// and the object behind it.
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

TEST_F(LinkTest, SecondEndInARowClosesNothing) {
    AttachModem(2);
    Connect(2, false);
    const HANDLE programPort = port_->Handle();
    Close();
    // Reopen the port at once and take the connection's old handle value,
    // so that a second close of it would close a handle of ours.
    const HANDLE ours = OpenComPort(2);
    ASSERT_NE(ours, INVALID_HANDLE_VALUE);
    const std::vector<HANDLE> held = TakeHandleValue(programPort, ours);
    ASSERT_FALSE(held.empty()) << "the connection's port handle value never came free";
    link_->Release(Teardown::OnQuit);  // the second end as on quit: no line call either
    DWORD flags;
    for (HANDLE h : held) EXPECT_TRUE(GetHandleInformation(h, &flags)) << h << " was closed";
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    EXPECT_TRUE(GetCommState(ours, &dcb));
    for (HANDLE h : held) CloseHandle(h);
}

TEST_F(LinkTest, EveryEndStopsTheReaderAndClosesThePortAlsoWhileBytesArrive) {
    AttachModem(2);
    for (bool streaming : {false, true}) {
        for (bool dropDtr : {false, true}) {
            SCOPED_TRACE(std::string(dropDtr ? "as on quit" : "plain") +
                         (streaming ? " while bytes arrive" : " on a quiet line"));
            Connect(2, false);
            const HANDLE reader = CopyHandle(port_->ReaderThread());
            ASSERT_NE(reader, nullptr);
            const HANDLE programPort = port_->Handle();
            const std::wstring portObject = ObjectName(programPort);
            ASSERT_FALSE(portObject.empty());
            if (streaming) {
                ASSERT_TRUE(modem_->Request("endless 2 1").ok);
                EXPECT_TRUE(
                    drv::WaitUntil([&] { return Capture().size() == ReplyCapture::kReplyCap; }, kReplyLimit));
            }
            link_->Release(dropDtr ? Teardown::OnQuit : Teardown::AfterProbe);
            EXPECT_TRUE(ThreadEnded(reader));
            EXPECT_NE(ObjectName(programPort), portObject) << "the connection's port handle is still open";
            if (streaming) modem_->Request("endless 2 0");
            CloseHandle(reader);
        }
    }
}

}  // namespace
}  // namespace lnk
