// Opening a port: the probe and its timing, which identification lines count,
// the line settings the pty sees, and the framing of AT commands.
#include <map>
#include <sstream>

#include "link/reply_capture.h"
#include "tests/link/link_fixture.h"

namespace lnk {
namespace {

const std::string kId1 = "QTRXFM330HWNF1*GEN";

std::map<std::string, std::string> TermiosFields(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::istringstream in(text);
    std::string field;
    while (in >> field) {
        const size_t eq = field.find('=');
        if (eq != std::string::npos) fields[field.substr(0, eq)] = field.substr(eq + 1);
    }
    return fields;
}

TEST_F(LinkTest, ProbeAsksOnceAfterBothPausesAndFindsTheModemWithinTheProbeWindow) {
    AttachModem(2);
    const std::set<DWORD> before = ThreadIds();
    const double opened = clock_.Now();
    dialog_.OpenPort(2, true);
    const double returned = clock_.Now();
    HANDLE reader = OpenNewThread(before);
    ASSERT_NE(reader, nullptr) << "no reader thread runs";
    const double readerStart = clock_.ToModem(ThreadCreatedMs(reader));
    CloseHandle(reader);

    // The detection run looks at found 300 ms after OpenPort returns.
    EXPECT_TRUE(WaitForFound(300));

    const std::vector<drv::TranscriptEntry> line = Transcript(2);
    EXPECT_EQ(Received(line), "ati3\r\n");
    ASSERT_FALSE(line.empty());
    ASSERT_TRUE(line.front().received);
    const double asked = static_cast<double>(line.front().ms);
    // Clock alignment and the modem's whole milliseconds: a few ms either way.
    EXPECT_GE(readerStart - opened, 1000 - 10) << "the reader started before the settle pause ended";
    EXPECT_GE(asked - readerStart, 500 - 10) << "the probe went out before the reader had 500 ms";
    EXPECT_GE(asked - opened, kOpenPauses - 10);
    EXPECT_LE(asked - opened, kOpenPauses + 2500);
    EXPECT_LE(asked, returned + 2) << "the probe went out after OpenPort returned";
}

TEST_F(LinkTest, OnlyAnIdentificationInItsOwnCaseCounts) {
    struct Case {
        const char* knob;
        const char* value;
        std::string line;
        bool found;
    } const cases[] = {
        {"id", "2", "QTRXPM330HWTF1*GEN", true},
        {"idtext", "qtrxfm330hwnf1*gen", "qtrxfm330hwnf1*gen", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        AttachModem(3);
        SetKnob(3, c.knob, c.value);
        ResetReply();
        dialog_.OpenPort(3, true);
        // Once the capture holds the whole reply, its identification line has
        // been through the matcher.
        EXPECT_TRUE(WaitForCapture(c.line + "OK"));
        EXPECT_EQ(Found(), c.found);
        dialog_.ClosePort();
    }
}

TEST_F(LinkTest, PlainConnectionWritesNothingAndMatchesNothing) {
    AttachModem(4);
    ResetReply();
    dialog_.OpenPort(4, false);
    ASSERT_TRUE(modem_->Send(4, "\\r\\n" + kId1 + "\\r\\n\\r\\nOK\\r\\n"));
    EXPECT_TRUE(WaitForCapture(kId1 + "OK"));
    EXPECT_FALSE(Found());
    EXPECT_EQ(Received(Transcript(4)), "");
}

TEST_F(LinkTest, OpenPortSetsTheLineSettingsThePtyCanShow) {
    AttachModem(2);
    const auto fresh = TermiosFields(modem_->Termios(2).value_or(""));
    ASSERT_NE(fresh.at("baud"), "19200") << "a fresh pty must not already run at 19200";
    ASSERT_EQ(fresh.at("crtscts"), "0");
    dialog_.OpenPort(2, false);
    const auto set = TermiosFields(modem_->Termios(2).value_or(""));
    EXPECT_EQ(set.at("baud"), "19200");
    EXPECT_EQ(set.at("cstopb"), "0");
    EXPECT_EQ(set.at("crtscts"), "1");
    // A Linux pty reports 8 data bits and no parity whatever the host sets:
    // csize and parenb prove nothing here.
}

TEST_F(LinkTest, SendAtFramesTheCommandAndSendsItsTextUnchanged) {
    AttachModem(2);
    dialog_.OpenPort(2, false);
    ResetReply();
    dialog_.SendAt("i9");
    EXPECT_TRUE(WaitForCapture("UNITED STATESOK"));
    EXPECT_EQ(Received(Transcript(2)), "ati9\r\n");

    // As the country setting does it: a fresh "OK" pattern, then the command.
    ASSERT_TRUE(modem_->Clear(2));
    dialog_.m_reader->found = 0;
    dialog_.m_reader->SetPattern(0, "OK");
    dialog_.SendAt("%t19,0,3D");
    EXPECT_TRUE(WaitForFound(kReplyLimit));
    const std::string sent = Received(Transcript(2));
    EXPECT_EQ(sent, "at%t19,0,3D\r\n");
    EXPECT_EQ(sent.size(), 13u);
    EXPECT_EQ(modem_->Get(2, "country").value_or(""), "3D");
    dialog_.ClosePortAfterCommand();
}

}  // namespace
}  // namespace lnk
