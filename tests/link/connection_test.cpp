// A connection at work on a Wine pty: the DCB flag word, a probe written on a
// line that holds it back, and one connection's line settings and reader.
// (What each command writes, and what counts as its answer, is the core's
// native test.)
#include <cstring>
#include <vector>

#include "core/modem_commands.h"
#include "link/line_settings.h"
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

// 19200 bit/s, 8 data bits, no parity, one stop bit; and in the flag word that
// follows BaudRate the bits of 0x1310 cleared, those of 0x202F set, all others
// carried over, whatever they were.
TEST(LineSettings, ClearTheFlagBits0x1310AndSet0x202FCarryingTheRestOver) {
    constexpr size_t kFlagWord = offsetof(DCB, BaudRate) + sizeof(DWORD);
    for (DWORD before : {0x0u, 0x7FFFu, 0x1310u, 0x4CC0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(before);
        DCB dcb = {};
        dcb.ByteSize = 7, dcb.Parity = EVENPARITY, dcb.StopBits = TWOSTOPBITS, dcb.XonChar = 0x11;
        std::memcpy(reinterpret_cast<char*>(&dcb) + kFlagWord, &before, sizeof before);
        ApplyLineSettings(dcb);
        EXPECT_EQ(std::vector<int>({int(dcb.BaudRate), dcb.ByteSize, dcb.Parity, dcb.StopBits, dcb.XonChar}),
                  std::vector<int>({19200, 8, NOPARITY, ONESTOPBIT, 0x11}));
        DWORD after;
        std::memcpy(&after, reinterpret_cast<const char*>(&dcb) + kFlagWord, sizeof after);
        EXPECT_EQ(after, (before & ~0x1310u) | 0x202Fu);
    }
}

TEST_F(LinkTest, ProbeOnALineThatHoldsItBackLeavesTheProbeWindowWhole) {
    AttachModem(2);
    // Wine stops the tty's output for XOFF; the stop outlives our handle and
    // the program's own settings, until the modem's pty is made afresh.
    const HANDLE line = CreateFileA(ComPortName(2).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(line, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(EscapeCommFunction(line, SETXOFF));
    CloseHandle(line);
    Connect(2, false);
    ASSERT_TRUE(link_->IsOpen());
    const DWORD start = GetTickCount();
    port_->Write(kProbeCommand, kProbeCommandLength);
    // A write that waited would take the whole write timeout, 1000 ms.
    EXPECT_LT(GetTickCount() - start, 300u) << "the write waited for the held line";
    Sleep(300);
    ASSERT_EQ(ReceivedOn(2), "") << "the line did not hold the write back: this proves nothing";
    // The end cancels the write before its bytes and record go away.
    Close();
    EXPECT_FALSE(link_->IsOpen());
}

// One connection on a fresh pty: the line settings it takes; a reader that
// waits quietly on a silent line (under Wine a comm-event wait on a pty runs
// on a helper thread of its own and fails within milliseconds: a reader that
// kept on waiting would spin, and the process would show one short-lived
// thread after another); and all of 1500 waiting bytes read in order.
TEST_F(LinkTest, AConnectionTakesItsSettingsWaitsQuietlyAndReadsEverything) {
    // A Linux pty reports 8 data bits and no parity whatever the host sets:
    // csize and parenb prove nothing here.
    const char* const settings[] = {"baud=19200 ", "cstopb=0", "crtscts=1"};
    AttachModem(2);
    const std::string fresh = modem_->Termios(2).value_or("") + " ";
    ASSERT_EQ(fresh.find(settings[0]), std::string::npos) << "a fresh pty must not already run at 19200";
    ASSERT_EQ(fresh.find(settings[2]), std::string::npos);
    Connect(2, false);
    // Every setting taken, so nothing is reported.
    EXPECT_TRUE(link_->Report().configure.Ok()) << link_->Report().configure.call;
    const std::string set = modem_->Termios(2).value_or("") + " ";
    for (const char* setting : settings)
        EXPECT_NE(set.find(setting), std::string::npos) << setting << " in " << set;

    Sleep(500);  // the program's pause after the start: the first wait has failed by then
    const std::set<DWORD> threads = ThreadIds();
    EXPECT_FALSE(drv::WaitUntil([&] { return ThreadIds() != threads; }, 1000))
        << "threads come and go while the line is silent";

    // 1500 printable bytes and a CR, written at once. A line wraps after 80
    // characters, so at the CR the line holds the last 1500 mod 80 = 60
    // bytes: they form the pattern only if every byte before them was fed,
    // in order.
    std::string text;
    for (int i = 0; i < 1500; ++i) {
        char c = static_cast<char>('!' + (i * 37 + i / 94) % 94);
        text.push_back(c == '\\' ? '#' : c);
    }
    link_->Matcher().SetPattern(0, text.substr(1440).c_str());
    ASSERT_TRUE(modem_->Send(2, text + "\\r"));
    EXPECT_TRUE(drv::WaitUntil([&] { return Found(); }, kReplyLimit));
    ASSERT_EQ(modem_->Transcript(2).value_or(std::vector<drv::TranscriptEntry>{}).size(), 1u)
        << "the modem did not write the bytes at once";
}

}  // namespace
}  // namespace lnk
