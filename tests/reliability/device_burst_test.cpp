// A burst of 200 arrivals and removals of a supported card, sent across
// processes as the system sends them, while the detection run the first
// arrival starts goes on; then one more arrival with the program idle. One
// detection at a time, and an end state on which window, tray and buttons
// agree; the same after a removal while a setting's box is open.
#include <windows.h>
#include <dbt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/driver/device_change.h"
#include "tools/driver/message_box.h"
#include "tools/driver/program_spy.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"
#include "tools/driver/window_query.h"
#include "tests/reliability/rig.h"

namespace rel {
namespace {

constexpr char kCardName[] = "56K PC Card Fax Modem";
constexpr int kEvents = 200;
constexpr int kSenders = 4;
constexpr int kModem = 3;   // answers: the first port probed
constexpr int kSilent = 6;  // takes every probe, answers none: shows the order of the runs' probes
constexpr UINT kSendLimit = 120000;  // ms an arrival may take: a whole run

// Sends device broadcasts from a few threads, each waiting for its answer,
// so the program gets them as fast as it takes them.
class Broadcasts {
public:
    Broadcasts(HWND window, std::vector<WPARAM> events) : window_(window), events_(std::move(events)) {}
    ~Broadcasts() { Join(); }

    void Start() {
        for (int i = 0; i < kSenders; ++i) threads_.emplace_back([this] { SendAll(); });
    }
    bool WaitAnswered(DWORD timeoutMs) {
        return drv::WaitUntil([&] { return answered_.load() + failed_.load() == static_cast<int>(events_.size()); },
                              timeoutMs);
    }
    int Failed() const { return failed_.load(); }
    void Join() {
        for (std::thread& t : threads_) t.join();
        threads_.clear();
    }

private:
    void SendAll() {
        const std::vector<unsigned char> record = drv::PortRecord(kCardName, DBT_DEVTYP_PORT);
        for (size_t i = next_++; i < events_.size(); i = next_++) {
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutA(window_, WM_DEVICECHANGE, events_[i], reinterpret_cast<LPARAM>(record.data()),
                                    SMTO_NORMAL, kSendLimit, &answer) && answer == TRUE)
                ++answered_;
            else
                ++failed_;
        }
    }

    HWND window_;
    std::vector<WPARAM> events_;
    std::atomic<size_t> next_{0};
    std::atomic<int> answered_{0}, failed_{0};
    std::vector<std::thread> threads_;
};

// Watches the progress dialogs of the program on a thread of its own: how
// many there were, and how many existed at the same time.
class ProgressDialogs {
public:
    explicit ProgressDialogs(DWORD pid) : pid_(pid), thread_([this] { Watch(); }) {}
    ~ProgressDialogs() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    size_t Seen() const { return seen_.size(); }
    size_t MostAtOnce() const { return mostAtOnce_; }

private:
    void Watch() {
        while (!stop_) {
            size_t now = 0;
            for (HWND window : drv::TopWindowsOf(pid_)) {
                if (drv::TextOf(window) != drv::kProgressTitle) continue;
                ++now;
                seen_.insert(window);
            }
            mostAtOnce_ = std::max(mostAtOnce_, now);
            Sleep(drv::kPollInterval);
        }
    }

    DWORD pid_;
    std::atomic<bool> stop_{false};
    std::set<HWND> seen_;
    size_t mostAtOnce_ = 0;
    std::thread thread_;
};

// What the program shows once everything has settled.
struct EndState {
    std::string tip;
    int icon = 0;
    bool set = false, current = false, visible = false;
    std::string status;
    bool menuOnClick = false;  // a left click on the tray icon opened the menu
};

std::string Describe(const EndState& s) {
    return "tip \"" + s.tip + "\" icon " + std::to_string(s.icon) + ", Set " + (s.set ? "on" : "off") +
           ", Current " + (s.current ? "on" : "off") + ", window " + (s.visible ? "shown" : "hidden") +
           ", status \"" + s.status + "\", tray click " + (s.menuOnClick ? "opens the menu" : "shows the window");
}

// Empty when the state is one the program can honestly be in: a modem known
// and usable, none found, or the card removed.
std::string Disagreement(const EndState& s, int com) {
    const bool enabled = s.set && s.current;
    const bool disabled = !s.set && !s.current;
    if (s.icon == kMainIcon) {
        if (enabled && s.visible && !s.menuOnClick && s.status == "Modem connected to COM" + std::to_string(com))
            return {};
    } else if (s.icon == kNoModemIcon && s.tip == kNoModemFoundTip) {
        if (disabled && s.menuOnClick && s.status == "No Modem in your system!") return {};
    } else if (s.icon == kNoModemIcon && s.tip == kRemovedTip) {
        if (disabled && s.menuOnClick && !s.visible) return {};
    }
    return "window, tray and buttons disagree: " + Describe(s);
}

class DeviceBurst : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rig_ = std::make_unique<Rig>();
        rig_->Start({{kModem, {}}, {kSilent, {{"silent", "1"}}}});
    }
    static void TearDownTestSuite() { rig_.reset(); }
    void SetUp() override { ASSERT_TRUE(R().Error().empty()) << R().Error(); }

    static Rig& R() { return *rig_; }

    static EndState Read() {
        EndState s;
        const std::vector<drv::TrayRecord> records = R().TrayRecords();
        if (!records.empty()) {
            s.tip = records.back().tip;
            s.icon = R().IconOf(records.back());
        }
        s.set = drv::IsEnabled(R().Item(kSet));
        s.current = drv::IsEnabled(R().Item(kCurrent));
        s.visible = drv::IsVisible(R().Main());
        s.status = drv::ControlText(R().Main(), kModemStatus);
        if (records.empty()) return s;
        drv::FakeTray::Notify(records.back(), WM_LBUTTONDOWN);
        // The menu's own loop handles the posted messages too.
        drv::WaitForPostedMessages(R().S().Combo(), kStepLimit);
        if (HWND popup = drv::FindPopupMenu(R().Pid())) {
            s.menuOnClick = true;
            drv::PressKey(popup, VK_ESCAPE);
            drv::WaitUntil([&] { return !drv::FindPopupMenu(R().Pid()); }, kStepLimit);
        }
        // A click with a modem known shows the window: put it back as it was.
        if (!s.visible && drv::IsVisible(R().Main())) ShowWindow(R().Main(), SW_HIDE);
        return s;
    }

    // Modem-clock times at which each port received a probe.
    static std::vector<std::pair<std::int64_t, int>> Probes() {
        std::vector<std::pair<std::int64_t, int>> probes;
        for (int com : {kModem, kSilent})
            if (auto entries = R().Modem().Transcript(com))
                for (const drv::TranscriptEntry& e : *entries)
                    if (e.received && e.bytes.find("ati3") != std::string::npos) probes.push_back({e.ms, com});
        std::sort(probes.begin(), probes.end());
        return probes;
    }

    static std::unique_ptr<Rig> rig_;
};

std::unique_ptr<Rig> DeviceBurst::rig_;

TEST_F(DeviceBurst, TwoHundredArrivalsAndRemovalsDuringARunStartNoOtherRunAndEndConsistent) {
    ASSERT_TRUE(R().Modem().Clear(kModem) && R().Modem().Clear(kSilent));
    std::vector<WPARAM> events;
    for (int i = 1; i < kEvents; ++i) events.push_back(i % 2 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL);
    const size_t half = events.size() / 2;
    ProgressDialogs dialogs(R().Pid());
    const DWORD start = GetTickCount();

    // The first arrival starts a run, and is answered when the run is over.
    drv::RunWatch run(R().S().program, R().S().tray);
    drv::DeviceChangeSend first(R().Main(), DBT_DEVICEARRIVAL, drv::PortRecord(kCardName, DBT_DEVTYP_PORT));
    ASSERT_NE(run.WaitForWindow(drv::kProgressTitle, kStepLimit), nullptr) << "the arrival started no run";
    // Half the rest at once, the other half once the run has found the modem.
    Broadcasts early(R().Main(), std::vector<WPARAM>(events.begin(), events.begin() + half));
    early.Start();
    ASSERT_TRUE(early.WaitAnswered(kRunLimit));
    const bool found = drv::WaitUntil(
        [&] {
            const std::vector<std::string> texts = run.ProgressTexts();
            return std::find(texts.begin(), texts.end(), "Modem connected to COM3") != texts.end();
        },
        kRunLimit);
    Broadcasts late(R().Main(), std::vector<WPARAM>(events.begin() + half, events.end()));
    late.Start();
    ASSERT_TRUE(late.WaitAnswered(kRunLimit));
    const DWORD burstMs = GetTickCount() - start;
    EXPECT_TRUE(found) << "the run never reported the modem";
    EXPECT_FALSE(first.Done()) << "the run ended before the burst did: the burst is not inside it";
    EXPECT_EQ(early.Failed() + late.Failed(), 0) << "broadcasts not answered with TRUE";

    ASSERT_TRUE(first.WaitDone(kRunLimit)) << "the run never ended";
    EXPECT_EQ(first.Result(), TRUE);
    ASSERT_TRUE(R().WaitIdle(kStepLimit));
    dialogs.Stop();
    EXPECT_EQ(dialogs.Seen(), 1u) << "more than one run";
    EXPECT_EQ(dialogs.MostAtOnce(), 1u);
    const auto probes = Probes();
    EXPECT_EQ(probes.size(), 2u) << "each port is probed once per run";
    EXPECT_EQ(R().Modem().Received(kModem).value_or(""), "ati3\r\nati9\r\n");
    EXPECT_TRUE(R().Responsive());
    const EndState end = Read();
    EXPECT_EQ(Disagreement(end, kModem), "");
    Figure("burst: events", std::to_string(kEvents) + " in " + std::to_string(burstMs) + " ms, runs " +
                                std::to_string(dialogs.Seen()) + ", end: " + Describe(end));

    // One more arrival, the program idle: a second run, after the first.
    drv::DeviceChangeSend next(R().Main(), DBT_DEVICEARRIVAL, drv::PortRecord(kCardName, DBT_DEVTYP_PORT));
    ASSERT_TRUE(next.WaitDone(kRunLimit)) << "the second run never ended";
    ASSERT_TRUE(R().WaitIdle(kStepLimit));
    const auto both = Probes();
    ASSERT_EQ(both.size(), 4u);
    EXPECT_EQ((std::vector<int>{both[0].second, both[1].second, both[2].second, both[3].second}),
              (std::vector<int>{kModem, kSilent, kModem, kSilent}))
        << "the runs' probes interleave";
    const EndState after = Read();
    EXPECT_EQ(Disagreement(after, kModem), "");
    EXPECT_EQ(after.icon, kMainIcon);
    EXPECT_EQ(after.tip, "United States");
}

// A card pulled while the box of a successful setting waits for its answer:
// the removal is handled inside the box's loop, before the setting's tip.
TEST_F(DeviceBurst, RemovalWhileASettingsBoxIsOpenEndsInTheRemovedState) {
    ASSERT_TRUE(R().BeginSet(R().IndexOf("Germany")));
    const HWND box = R().S().WaitForMessageBox(nullptr, nullptr, kStepLimit);
    ASSERT_NE(box, nullptr) << "no box";
    ASSERT_EQ(drv::MessageBoxText(box), kSuccessText);
    drv::DeviceChangeSend removal(R().Main(), DBT_DEVICEREMOVECOMPLETE, drv::PortRecord(kCardName, DBT_DEVTYP_PORT));
    ASSERT_TRUE(removal.WaitDone(kStepLimit)) << "the removal was not handled while the box was open";
    drv::AnswerMessageBox(box, IDOK);
    ASSERT_TRUE(drv::WaitUntil([&] { return !IsWindow(box); }, kStepLimit));
    ASSERT_TRUE(R().WaitIdle(kStepLimit));
    const EndState end = Read();
    EXPECT_EQ(Disagreement(end, kModem), "");
    EXPECT_EQ(end.tip, kRemovedTip);

    // The card back: its arrival finds it with the country just set.
    drv::DeviceChangeSend arrival(R().Main(), DBT_DEVICEARRIVAL, drv::PortRecord(kCardName, DBT_DEVTYP_PORT));
    ASSERT_TRUE(arrival.WaitDone(kRunLimit)) << "the run never ended";
    ASSERT_TRUE(R().WaitIdle(kStepLimit));
    const EndState back = Read();
    EXPECT_EQ(Disagreement(back, kModem), "");
    EXPECT_EQ(back.tip, "Germany");
}

}  // namespace
}  // namespace rel
