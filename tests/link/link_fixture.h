// A main window object that is never shown, whose port operations the tests
// call directly, and the virtual modem on the other end of the line.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "tools/driver/vmodem_client.h"
#include "tools/driver/wait_for.h"
#include "tests/link/link_support.h"

namespace lnk {

// OpenPort's two pauses: 1000 ms after the open, 500 ms after the reader starts.
constexpr double kOpenPauses = 1500;
constexpr DWORD kReplyLimit = 5000;  // ms for the modem's reply to reach the program

class LinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        modem_ = std::make_unique<drv::VModemClient>();
        const std::optional<int> port = drv::VModemClient::SessionPort();
        std::string error = "the session has no virtual modem";
        if (!port || !modem_->Connect(*port, &error)) {
            setupError_ = error;
            return;
        }
        for (int com = 1; com <= 6; ++com)
            if (!modem_->Detach(com)) setupError_ = "COM" + std::to_string(com) + " did not detach";
    }
    static void TearDownTestSuite() { modem_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(setupError_.empty()) << setupError_;
        ASSERT_TRUE(clock_.Align(*modem_));
    }
    void TearDown() override {
        dialog_.ClosePort();
        for (int com = 1; com <= 6; ++com) modem_->Detach(com);
    }

    // A fresh modem (default knobs, empty transcript) on COMn.
    static void AttachModem(int com) { ASSERT_TRUE(modem_->Attach(com)) << "COM" << com; }
    static void SetKnob(int com, const std::string& knob, const std::string& value) {
        ASSERT_TRUE(modem_->Set(com, knob, value)) << knob << " " << value;
    }
    static std::vector<drv::TranscriptEntry> Transcript(int com) {
        std::optional<std::vector<drv::TranscriptEntry>> entries = modem_->Transcript(com);
        EXPECT_TRUE(entries.has_value()) << "no transcript of COM" << com;
        return entries.value_or(std::vector<drv::TranscriptEntry>{});
    }

    bool Found() const { return dialog_.m_reader && dialog_.m_reader->found.load() == 1; }
    bool WaitForFound(DWORD limit) {
        return drv::WaitUntil([&] { return Found(); }, limit);
    }
    static bool WaitForCapture(const std::string& text) {
        return drv::WaitUntil([&] { return Capture().find(text) != std::string::npos; }, kReplyLimit);
    }

    static inline std::unique_ptr<drv::VModemClient> modem_;
    static inline std::string setupError_;
    ModemClock clock_;
    CMainDlg dialog_;
};

}  // namespace lnk
