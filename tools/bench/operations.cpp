#include "tools/bench/operations.h"

#include <windows.h>
#include <psapi.h>

#include <cstring>
#include <string>

#include "tools/bench/detection_runs.h"
#include "tools/bench/window_edge.h"
#include "tools/driver/message_box.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"

namespace bench {

namespace {

double FileTimeMs(const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
}

// One operation on the running program, with the context it needs.
class Operations {
public:
    Operations(Context& context, TimedProgram& program, HWND main, OperationFigures& figures)
        : c_(context), program_(program), main_(main), f_(figures) {}

    // Waits for the tray records that end an operation, then for the UI thread.
    bool WaitForOperationEnd(size_t trayBefore, size_t records) {
        if (records && !drv::WaitUntil([&] { return c_.tray.Records().size() >= trayBefore + records; }, 10000))
            return false;
        // The tray call is a sent message, during which the UI thread would
        // answer the query; after it, the thread only sleeps and closes the port.
        Sleep(30);
        auto answer = program_.Ask(main_, 10000);
        return answer && !answer->waitCursor;
    }

    // The press of Current to the cursor restored.
    void Query() {
        const size_t from = program_.EventCount();
        const size_t trayNow = c_.tray.Records().size();
        const int host = program_.HostPid();
        const double cpu0 = HostCpuMs(host);
        drv::Click(GetDlgItem(main_, kCurrentButton));
        auto press = WaitForPress(from, kCurrentButton);
        if (!drv::WaitUntil([&] { return c_.tray.Records().size() > trayNow; }, 10000)) {
            f_.query.Fail("the query made no tray record");
            return;
        }
        Sleep(30);
        auto answer = program_.Ask(main_, 10000);
        const double cpu1 = HostCpuMs(host);
        if (!press || !answer || answer->waitCursor) {
            f_.query.Fail("the press or the restored cursor was not seen");
            return;
        }
        const double ms = answer->ms - QpcToMs(press->qpc);
        f_.query.values.push_back(ms);
        if (cpu0 >= 0 && cpu1 >= 0) f_.queryCpu.values.push_back(cpu1 - cpu0);
        Log("  query %.1f ms", ms);
    }

    // Nothing happens in the window.
    void Idle() {
        const int host = program_.HostPid();
        const size_t from = program_.EventCount();
        const double cpu0 = HostCpuMs(host);
        Sleep(static_cast<DWORD>(c_.opt.idleSeconds) * 1000);
        const double cpu1 = HostCpuMs(host);
        if (cpu0 < 0 || cpu1 < 0) {
            f_.idleCpu.Fail("the program's host process was not found");
        } else if (program_.EventCount() != from) {
            f_.idleCpu.Fail("the program was not idle");
        } else {
            f_.idleCpu.values.push_back(cpu1 - cpu0);
            Log("  idle CPU %.0f ms over %d s", cpu1 - cpu0, c_.opt.idleSeconds);
        }
    }

    // Success, then failure with a silent modem.
    void Settings() {
        bool success = false;
        double ms = 0;
        double toBox = -1;
        if (PressSet(&success, &ms, nullptr, nullptr, &toBox) && success) {
            f_.setOk.values.push_back(ms);
            if (toBox >= 0) f_.setOkToBox.values.push_back(toBox), f_.setOkBoxShowing.values.push_back(ms - toBox);
            Log("  setting, success: %.1f ms (%.1f ms to the box's creation)", ms, toBox);
        } else {
            f_.setOk.Fail("the setting did not succeed");
        }
        c_.modem.Set(kModemCom, "silent", "1");
        double cpu = -1, remote = -1;
        if (PressSet(&success, &ms, &cpu, &remote) && !success) {
            f_.setFail.values.push_back(ms);
            if (cpu >= 0) f_.setFailCpu.values.push_back(cpu);
            f_.setFailRemoteCpu.values.push_back(remote);
            Log("  setting, failure: %.1f ms (CPU %.0f ms; GetProcessTimes says %.0f ms)", ms, cpu, remote);
        } else {
            f_.setFail.Fail("the setting did not fail with a silent modem");
        }
        c_.modem.Set(kModemCom, "silent", "0");
    }

    // After start-up, the run and every operation.
    void Memory() {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(program_.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof counters)) {
            f_.peakWorkingSet.values.push_back(static_cast<double>(counters.PeakWorkingSetSize));
            // Wine fills only PagefileUsage, which Windows keeps equal to PrivateUsage.
            const SIZE_T privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
            if (privateBytes)
                f_.privateBytes.values.push_back(static_cast<double>(privateBytes));
            else
                f_.privateBytes.Fail("PrivateUsage and PagefileUsage are 0");
            f_.privateUsageZero = counters.PrivateUsage == 0;
            f_.pagefile.values.push_back(static_cast<double>(counters.PagefileUsage));
        } else {
            f_.peakWorkingSet.Fail("GetProcessMemoryInfo failed");
        }
        const int host = program_.HostPid();
        const double hwm = HostStatusBytes(host, "VmHWM");
        if (hwm >= 0) f_.hostPeakRss.values.push_back(hwm);
        const double anon = HostStatusBytes(host, "RssAnon");
        if (anon >= 0) f_.hostPrivate.values.push_back(anon);
    }

    void SettingEdge(bool checkBracket) {
        auto trial = [&](int delay) -> std::optional<bool> {
            bool success = false;
            double ms = 0;
            if (!c_.modem.Attach(kModemCom) || !c_.modem.Set(kModemCom, "delay", std::to_string(delay)) ||
                !PressSet(&success, &ms, nullptr, nullptr))
                return std::nullopt;
            return success;
        };
        std::string failure;
        const std::optional<int> edge =
            FindWindowEdge(static_cast<int>(kAnswerWindow) - 200, static_cast<int>(kAnswerWindow) + 200,
                           c_.opt.settingResolution, checkBracket, trial, &failure);
        c_.modem.Attach(kModemCom);
        if (!edge) {
            f_.settingEdge.Fail(failure);
            return;
        }
        f_.settingEdge.values.push_back(*edge);
        Log("  setting window edge %d ms", *edge);
    }

private:
    std::optional<timing::Event> WaitForPress(size_t from, int button) {
        const DWORD mainId = HandleToULong(main_);
        return program_.WaitEvent(
            from,
            [&](const timing::Event& e) {
                return e.message == WM_COMMAND && e.hwnd == mainId && e.wParam == MAKEWPARAM(button, BN_CLICKED);
            },
            5000);
    }

    // One press of Set: the time to the message box, and its verdict.
    // toBoxMs, if given: the press to the box's WM_CREATE, where the
    // program's own part ends and the system's message box begins.
    bool PressSet(bool* success, double* ms, double* cpuMs, double* remoteCpuMs, double* toBoxMs = nullptr) {
        const size_t from = program_.EventCount();
        const int host = program_.HostPid();
        const double cpu0 = HostCpuMs(host);
        FILETIME created, exited, kernel0, user0, kernel1, user1;
        GetProcessTimes(program_.Process(), &created, &exited, &kernel0, &user0);
        drv::Click(GetDlgItem(main_, kSetButton));
        auto press = WaitForPress(from, kSetButton);
        const DWORD mainId = HandleToULong(main_);
        auto shown = program_.WaitEvent(
            from,
            [&](const timing::Event& e) {
                return e.message == WM_SHOWWINDOW && e.wParam && e.hwnd != mainId &&
                       !std::strcmp(e.className, "#32770");
            },
            15000);
        const double cpu1 = HostCpuMs(host);
        GetProcessTimes(program_.Process(), &created, &exited, &kernel1, &user1);
        if (!press || !shown) return false;
        const HWND box = drv::WaitFor([&] { return drv::FindMessageBox(program_.Pid(), nullptr, nullptr); },
                                      [](HWND w) { return w != nullptr; }, 5000)
                             .last;
        if (!box) return false;
        const std::string text = drv::MessageBoxText(box);
        *success = text.find("successfully") != std::string::npos;
        const bool failed = text.find("failed") != std::string::npos;
        drv::AnswerMessageBox(box, IDOK);
        if (!drv::WaitUntil([&] { return !IsWindow(box); }, 5000)) return false;
        if (!WaitForOperationEnd(0, 0)) return false;
        *ms = QpcToMs(shown->qpc) - QpcToMs(press->qpc);
        if (toBoxMs) {
            const auto created = program_.WaitEvent(
                from, [&](const timing::Event& e) { return e.message == WM_CREATE && e.hwnd == shown->hwnd; }, 0);
            if (created) *toBoxMs = QpcToMs(created->qpc) - QpcToMs(press->qpc);
        }
        if (cpuMs && cpu0 >= 0 && cpu1 >= 0) *cpuMs = cpu1 - cpu0;
        if (remoteCpuMs)
            *remoteCpuMs = FileTimeMs(kernel1) + FileTimeMs(user1) - FileTimeMs(kernel0) - FileTimeMs(user0);
        return *success || failed;
    }

    Context& c_;
    TimedProgram& program_;
    HWND main_;
    OperationFigures& f_;
};

}  // namespace

void RunWithModem(Context& context, DetectionFigures& detection, OperationFigures& figures) {
    if (!context.OnlyModemOn(kModemCom)) {
        detection.modem.Fail("the virtual modem did not attach COM4");
        return;
    }
    const size_t trayBefore = context.tray.Records().size();
    HWND main = nullptr;
    double cpu = -1;
    auto program = StartAndDetect(context, detection, detection.modem, &main, &cpu);
    if (!program) return;
    if (cpu >= 0) detection.cpuModem.values.push_back(cpu);
    if (!ProgramShowed(*program, "Modem connected to COM4")) {
        detection.modem.values.pop_back();
        detection.modem.Fail("the run did not find the modem on COM4");
        return;
    }
    Operations operations(context, *program, main, figures);
    // The query that follows the run: icon added, detecting, country.
    if (!operations.WaitForOperationEnd(trayBefore, 3)) {
        figures.query.Fail("the query after the run did not end");
        return;
    }
    operations.Query();
    operations.Idle();
    operations.Settings();
    operations.Memory();
    operations.SettingEdge(figures.settingEdge.values.empty() && figures.settingEdge.failure.empty());
}

}  // namespace bench
