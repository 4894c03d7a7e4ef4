// The pictures at the system's DPI: a copy of the program at 96, one at 120
// and one at 144 DPI, each measured from the pixels its main window shows.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tools/driver/program.h"
#include "tools/driver/program_spy.h"
#include "tools/driver/window_input.h"

namespace {

using namespace drv;

// The system's DPI for the programs started while it lives (Wine reads
// LogPixels when a process starts); 96, Wine's own, again after.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi) { Set(dpi); }
    ~LogPixels() { Set(96); }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;

private:
    static void Set(DWORD dpi) {
        SetUserValue("Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
};

// A child window's rectangle in the main window's client coordinates.
RECT RectIn(HWND main, HWND child) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool HasStyle(HWND window, const char* className, LONG mask, LONG style) {
    return ClassOf(window) == className && (GetWindowLongA(window, GWL_STYLE) & mask) == style;
}

// The logo: the main window's picture control that is not the flag's.
HWND LogoControl(HWND main) {
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (HasStyle(child, "Static", SS_TYPEMASK, SS_BITMAP) && GetDlgCtrlID(child) != IDC_FLAG) return child;
    return nullptr;
}

// The group box around a control.
RECT FrameAround(HWND main, HWND control) {
    const RECT inside = RectIn(main, control);
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT frame = RectIn(main, child);
        RECT both;
        if (HasStyle(child, "Button", BS_TYPEMASK, BS_GROUPBOX) && IntersectRect(&both, &frame, &inside) &&
            EqualRect(&both, &inside))
            return frame;
    }
    return {};
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

// What one copy shows of a picture: the group box that frames it, and the
// box of its drawn pixels, looked for a little beyond its control (whose
// size is the program's own word) on the dialog's plain face.
struct Drawn {
    RECT frame, picture;
};

Drawn Measure(Program& p, HWND control) {
    // The choice's handler sets the name before the picture: a message the
    // window answers comes after both, and so does the control's new size.
    SendWithTimeout(p.main, WM_NULL, 0, 0);
    RECT around = RectIn(p.main, control);
    InflateRect(&around, 4, 4);
    const spy::Query* drawn = p.process.Spy().Ask(p.main, spy::kQueryDrawnBox, HandleToULong(p.main), around);
    return {FrameAround(p.main, control), drawn ? drawn->box : RECT{}};
}

// At 96 DPI the pictures are drawn at their own size. Above it they grow
// with their frames: each keeps the share of its frame's width it has at 96
// DPI, and its proportions. (A frame's height follows the font's, which Wine
// rounds apart from the DPI: 233 pixels at 96 DPI, 341 at 144.)
TEST(Dpi, PicturesGrowWithTheirFrames) {
    const DWORD dpis[] = {96, 120, 144};
    std::vector<std::unique_ptr<Program>> copies;
    for (DWORD dpi : dpis) {
        const LogPixels system(dpi);
        copies.push_back(std::make_unique<Program>());
        ASSERT_TRUE(copies.back()->Start({}, {}, false)) << dpi << " DPI: " << copies.back()->error;
    }
    std::vector<Drawn> flags, logos;
    for (auto& p : copies) {
        ASSERT_TRUE(p->WaitRunEnd({}) && p->Choose("United States")) << "the run did not end";
        flags.push_back(Measure(*p, p->Item(IDC_FLAG)));
        logos.push_back(Measure(*p, LogoControl(p->main)));
    }
    EXPECT_EQ(Width(flags[0].picture) * 1000 + Height(flags[0].picture), 150100) << "the flag at 96 DPI";
    EXPECT_EQ(Width(logos[0].picture) * 1000 + Height(logos[0].picture), 241085) << "the logo at 96 DPI";
    EXPECT_GT(Width(flags[2].frame), Width(flags[0].frame) * 14 / 10) << "the 144 DPI copy is not at 144 DPI";
    for (const auto* pictures : {&flags, &logos}) {
        const Drawn& at96 = (*pictures)[0];
        for (size_t i = 1; i < pictures->size(); ++i) {
            SCOPED_TRACE(std::string(pictures == &flags ? "flag" : "logo") + " at " + std::to_string(dpis[i]) +
                         " DPI");
            const Drawn& d = (*pictures)[i];
            EXPECT_NEAR(Width(d.picture), Width(at96.picture) * Width(d.frame) / Width(at96.frame), 2);
            EXPECT_NEAR(Height(d.picture), Height(at96.picture) * Width(d.picture) / Width(at96.picture), 2);
        }
    }
}

}  // namespace
