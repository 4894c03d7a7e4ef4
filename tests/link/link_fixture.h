// A port connection made the way the program makes one, through the modem
// link but without its pauses and without any window, and the virtual modem
// on the other end of the line; and what the tests observe from outside a
// connection: the virtual modem's view of the line, the process's threads
// and handles.
#pragma once
#include <windows.h>

#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/modem_link.h"
#include "core/probe_order.h"
#include "link/port_connection.h"
#include "tests/support/no_pauses.h"
#include "tools/driver/vmodem_client.h"
#include "tools/driver/wait_for.h"

namespace lnk {

constexpr DWORD kReplyLimit = 5000;  // ms for the modem's reply to reach the connection

// The threads of this process now.
inline std::set<DWORD> ThreadIds() {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

// A handle of our own to the thread, valid after the connection closes its own.
inline HANDLE CopyHandle(HANDLE handle) {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

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
        FreshStart();
        for (int com = 1; com <= 6; ++com) modem_->Detach(com);
    }

    // Opens COMn as OpenPort does: open, settings, reader (probe patterns in
    // probe mode), and in probe mode the probe. The connection is made, with
    // its calls, at the first Connect after a fresh start.
    void Connect(int com, bool probe, const LinkCalls& calls = LinkCalls()) {
        if (!port_) {
            port_ = std::make_unique<PortConnection>(stop_, calls);
            link_ = std::make_unique<ModemLink>(*port_, kNoPauses);
        }
        link_->Open(ComPortName(com).c_str(), probe ? LinkMode::Probe : LinkMode::Plain);
    }
    void Close() { link_->Release(Teardown::AfterProbe); }
    void FreshStart() {
        link_.reset();
        port_.reset();
    }

    // A fresh modem (default knobs, empty transcript) on COMn.
    static void AttachModem(int com) { ASSERT_TRUE(modem_->Attach(com)) << "COM" << com; }
    // All bytes the modem on COMn received, in order.
    static std::string ReceivedOn(int com) {
        std::optional<std::vector<drv::TranscriptEntry>> entries = modem_->Transcript(com);
        EXPECT_TRUE(entries.has_value()) << "no transcript of COM" << com;
        std::string bytes;
        for (const drv::TranscriptEntry& e : entries.value_or(std::vector<drv::TranscriptEntry>{}))
            if (e.received) bytes += e.bytes;
        return bytes;
    }

    // What has arrived by now, through the connection's matcher.
    bool Found() { return link_->Identified(); }

    static inline std::unique_ptr<drv::VModemClient> modem_;
    static inline std::string setupError_;
    std::atomic<int> stop_{0};
    std::unique_ptr<PortConnection> port_;
    std::unique_ptr<ModemLink> link_;
};

}  // namespace lnk
