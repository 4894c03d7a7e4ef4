// Opening a connection: the probe and the virtual modem's identification
// lines, the line settings the pty sees and the DCB flag word. (What each
// command writes, and what counts as its answer, is the core's native test.)
#include <cstring>
#include <vector>

#include "core/modem_commands.h"
#include "link/line_settings.h"
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

const std::string kId1 = kModemId1;

TEST_F(LinkTest, ProbeAsksOnceAndOnlyAnIdentificationInItsOwnCaseCounts) {
    struct Case {
        const char* knob;
        const char* value;
        std::string line;
        bool found;
    } const cases[] = {
        {"id", "1", kId1, true},
        {"id", "2", kModemId2, true},
        {"idtext", "qtrxfm330hwnf1*gen", "qtrxfm330hwnf1*gen", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        AttachModem(3);
        SetKnob(3, c.knob, c.value);
        Connect(3, true);
        // The detection run looks at found 300 ms after the probe was written.
        EXPECT_EQ(WaitForFound(300), c.found);
        // Once the capture holds the whole reply, its identification line has
        // been through the matcher.
        EXPECT_TRUE(WaitForCapture(c.line + "OK"));
        EXPECT_EQ(Found(), c.found);
        EXPECT_EQ(Received(Transcript(3)), "ati3\r\n");
        Close();
    }
}

TEST_F(LinkTest, ConfigureSetsTheLineSettingsThePtyCanShow) {
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
}

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

}  // namespace
}  // namespace lnk
