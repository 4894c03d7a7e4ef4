// A port connection made the way the program makes one, through the modem
// link but without its pauses and without any window, and the virtual modem
// on the other end of the line.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/modem_link.h"
#include "core/probe_order.h"
#include "link/port_connection.h"
#include "tests/link/link_support.h"
#include "tools/driver/vmodem_client.h"
#include "tools/driver/wait_for.h"

namespace lnk {

constexpr DWORD kReplyLimit = 5000;  // ms for the modem's reply to reach the connection

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

    void SetUp() override { ASSERT_TRUE(setupError_.empty()) << setupError_; }
    void TearDown() override {
        link_.reset();
        port_.reset();
        for (int com = 1; com <= 6; ++com) modem_->Detach(com);
    }

    // Opens COMn as OpenPort does: open, settings, reader (probe patterns in
    // probe mode), and in probe mode the probe. The test's one connection is
    // made, with its calls, at the first Connect.
    void Connect(int com, bool probe, const LinkCalls& calls = LinkCalls()) {
        if (!port_) {
            port_ = std::make_unique<PortConnection>(stop_, calls);
            link_ = std::make_unique<ModemLink>(*port_, kNoPauses);
        }
        link_->Open(ComPortName(com).c_str(), probe ? LinkMode::Probe : LinkMode::Plain);
    }
    void Close() { link_->Release(Teardown::AfterProbe); }

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

    // What has arrived by now, through the connection's matcher.
    bool Found() { return link_->Identified(); }
    std::string Capture() {
        link_->ListenUntil(ModemClock::now());
        ReplyCapture::Text text;
        link_->Matcher().Capture().Take(text);
        return text;
    }
    bool WaitForFound(DWORD limit) {
        return drv::WaitUntil([&] { return Found(); }, limit);
    }
    bool WaitForCapture(const std::string& text) {
        return drv::WaitUntil([&] { return Capture().find(text) != std::string::npos; }, kReplyLimit);
    }

    static constexpr ModemTiming kNoPauses = [] {
        ModemTiming timing;
        timing.settle = timing.readerStart = timing.nextProbe = ModemTiming::Ms(0);
        timing.commandRelease = timing.quitRelease = ModemTiming::Ms(0);
        return timing;
    }();
    static inline std::unique_ptr<drv::VModemClient> modem_;
    static inline std::string setupError_;
    std::atomic<int> stop_{0};
    std::unique_ptr<PortConnection> port_;
    std::unique_ptr<ModemLink> link_;
};

}  // namespace lnk
