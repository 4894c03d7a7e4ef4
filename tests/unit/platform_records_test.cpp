// Records handed to the system: the tray record, the line settings, the
// device-change record, and the directory from the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_dir.h"
#include "app/main_dialog.h"
#include "app/supported_modems.h"
#include "app/tray_record.h"
#include "link/line_settings.h"

namespace {

TEST(TrayRecord, IsTheOriginal88ByteFormWithTheTipCutTo63) {
    NOTIFYICONDATAA record;
    const std::string longTip(70, 't');
    FillTrayRecord(record, reinterpret_cast<HWND>(0x1234), 1008, nullptr, longTip.c_str());
    EXPECT_EQ(record.cbSize, 88u);
    EXPECT_EQ(record.uID, 1008u);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 0x8064u);
    EXPECT_EQ(std::string(record.szTip), longTip.substr(0, 63));

    FillTrayRecord(record, nullptr, 1008, nullptr, nullptr);
    EXPECT_STREQ(record.szTip, "");
}

TEST(LineSettings, SetsTheLineAndHandshakeAndCarriesOtherFlagsOver) {
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fOutX = dcb.fInX = 1;
    dcb.fDsrSensitivity = dcb.fTXContinueOnXoff = dcb.fNull = dcb.fAbortOnError = 1;
    dcb.XonChar = 0x11;
    ApplyLineSettings(dcb);
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 1u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fDsrSensitivity + dcb.fTXContinueOnXoff + dcb.fNull + dcb.fAbortOnError, 4u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.XonChar, 0x11);
}

// A port record as the system broadcasts it, with room for the name.
std::vector<char> PortRecord(const char* name, DWORD type = DBT_DEVTYP_PORT, int sizeCut = 0) {
    const size_t size = offsetof(DEV_BROADCAST_PORT_A, dbcp_name) + std::strlen(name) + 1;
    std::vector<char> bytes(size + 8, 'Z');  // filler behind the record, no zero
    auto* record = reinterpret_cast<DEV_BROADCAST_PORT_A*>(bytes.data());
    record->dbcp_size = static_cast<DWORD>(size) - sizeCut;
    record->dbcp_devicetype = type;
    record->dbcp_reserved = 0;
    std::memcpy(record->dbcp_name, name, std::strlen(name) + 1);
    return bytes;
}

bool Supported(const std::vector<char>& bytes) {
    return IsSupportedModemPort(reinterpret_cast<const DEV_BROADCAST_HDR*>(bytes.data()));
}

TEST(SupportedModems, MatchWholeNamesExactlyWithinTheRecord) {
    EXPECT_TRUE(Supported(PortRecord("56K PC Card Fax Modem")));
    EXPECT_TRUE(Supported(PortRecord("Brimoth Portaline V.90 Fax Modem (RTI)")));
    EXPECT_TRUE(Supported(PortRecord("PC Card V.90 Fax Modem (RT)")));
    EXPECT_FALSE(Supported(PortRecord("56k PC Card Fax Modem")));
    EXPECT_FALSE(Supported(PortRecord("56K PC Card Fax Modem ")));
    EXPECT_FALSE(Supported(PortRecord("")));
    EXPECT_FALSE(Supported(PortRecord("56K PC Card Fax Modem", DBT_DEVTYP_VOLUME)));
    // The stated size ends before the terminator: the name is not read past it.
    EXPECT_FALSE(Supported(PortRecord("56K PC Card Fax Modem", DBT_DEVTYP_PORT, 1)));
    EXPECT_FALSE(IsSupportedModemPort(nullptr));
}

TEST(AppDir, IsTheExecutablesDirectoryWithItsBackslash) {
    char dir[MAX_PATH];
    ExeDirFromCommandLine("\"C:\\Program Files\\Korvane\\korvane.exe\" /x \"y\"", dir, sizeof dir);
    EXPECT_STREQ(dir, "C:\\Program Files\\Korvane\\");
    ExeDirFromCommandLine("C:\\tools\\korvane.exe", dir, sizeof dir);
    EXPECT_STREQ(dir, "C:\\tools\\");
    ExeDirFromCommandLine("korvane.exe", dir, sizeof dir);
    EXPECT_STREQ(dir, "");  // the current directory
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\korvane.exe";
    ExeDirFromCommandLine(deep.c_str(), dir, sizeof dir);
    EXPECT_STREQ(dir, "");  // does not fit: never a cut path
    char small[8];
    ExeDirFromCommandLine("C:\\abcdefgh\\k.exe", small, sizeof small);
    EXPECT_STREQ(small, "");
}

}  // namespace
