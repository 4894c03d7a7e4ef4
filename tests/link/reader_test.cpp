// The reader thread on a Wine pty: it reads everything that waits, in order,
// and waits quietly on a silent line.
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

TEST_F(LinkTest, AllOf1500WaitingBytesAreFedInOrder) {
    // 1500 printable bytes and a CR, written at once. A line wraps after 80
    // characters, so at the CR the line holds the last 1500 mod 80 = 60
    // bytes: they form the pattern only if every byte before them was fed,
    // in order. The capture holds the first 78.
    std::string text;
    for (int i = 0; i < 1500; ++i) {
        char c = static_cast<char>('!' + (i * 37 + i / 94) % 94);
        text.push_back(c == '\\' ? '#' : c);
    }
    AttachModem(2);
    Connect(2, false);
    link_->Matcher().SetPattern(0, text.substr(1440).c_str());
    ASSERT_TRUE(modem_->Send(2, text + "\\r"));
    EXPECT_TRUE(WaitForFound(kReplyLimit));
    EXPECT_EQ(Capture(), text.substr(0, ReplyCapture::kReplyCap));

    const std::vector<drv::TranscriptEntry> line = Transcript(2);
    ASSERT_EQ(line.size(), 1u) << "the modem did not write the bytes at once";
    EXPECT_EQ(line.front().bytes, text + "\r");
}

// Under Wine a comm-event wait on a pty runs on a helper thread of its own and
// fails within milliseconds. A reader that kept on waiting would spin, and
// the process would show one short-lived thread after another.
TEST_F(LinkTest, ReaderWaitsQuietlyOnASilentLine) {
    AttachModem(2);
    Connect(2, false);
    Sleep(500);  // the program's pause after the start: the first wait has failed by then
    const std::set<DWORD> threads = ThreadIds();
    EXPECT_FALSE(drv::WaitUntil([&] { return ThreadIds() != threads; }, 1000))
        << "threads come and go while the line is silent";

    // The reader still reads.
    ASSERT_TRUE(modem_->Send(2, "\\r\\nOK\\r\\n"));
    EXPECT_TRUE(WaitForCapture("OK"));
}

}  // namespace
}  // namespace lnk
