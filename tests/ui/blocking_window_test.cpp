// Another configuration tool's window keeps the program from starting.
#include <gtest/gtest.h>

#include "tools/driver/fake_tray.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_query.h"

namespace {

struct OwnWindow {
    explicit OwnWindow(const wchar_t* title)
        : window(CreateWindowExW(0, L"Static", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)) {}
    ~OwnWindow() {
        if (window) DestroyWindow(window);
    }
    HWND window;
};

TEST(BlockingWindow, ProgramEndsAtOnceWithoutAWindow) {
    drv::FakeTray tray;
    std::string error;
    ASSERT_TRUE(tray.Start(&error)) << error;
    OwnWindow blocker(L"Vantoria Select");
    ASSERT_NE(blocker.window, nullptr);

    drv::KorvaneProcess program;
    ASSERT_TRUE(program.Start({}, &error)) << error;
    bool sawVisibleWindow = false;
    const bool ended = drv::WaitUntil(
        [&] {
            for (HWND window : drv::TopWindowsOf(program.Pid()))
                if (drv::IsVisible(window)) sawVisibleWindow = true;
            return !program.Running();
        },
        10000);

    ASSERT_TRUE(ended) << "the program still runs";
    EXPECT_FALSE(sawVisibleWindow);
    EXPECT_TRUE(tray.Records().empty()) << "the program reached the notification area";
}

}  // namespace
