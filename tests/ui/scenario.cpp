#include "tests/ui/scenario.h"

#include <dbt.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <regex>

#include "tools/driver/message_box.h"
#include "tools/driver/program_spy.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_input.h"

namespace {

using namespace drv;

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find(separator, at);
        if (end == std::string::npos) end = text.size();
        if (end > at) parts.push_back(text.substr(at, end - at));
        at = end + separator.size();
    }
    return parts;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

// A virtual modem request made once a port has received a text, on a
// connection of its own, while the row's steps go on (run it asynchronously).
// Answers why it was not made: a row that passes without its fault proves nothing.
std::string RequestWhenReceived(int com, const std::string& text, const std::string& request) {
    VModemClient client;
    std::string error;
    if (!client.Connect(VModemClient::SessionPort().value_or(0), &error))
        return "cannot reach the virtual modem: " + error;
    // Only what arrives from now on: a text the port got before this step
    // would fire the fault after the operation it is meant for.
    const size_t from = client.Received(com).value_or("").size();
    if (!WaitUntil([&] { return client.Received(com).value_or("").find(text, from) != std::string::npos; },
                   kRunLimit))
        return "COM" + std::to_string(com) + " never received " + text;
    const VModemAnswer answer = client.Request(request);
    return answer.ok ? "" : "the virtual modem refused \"" + request + "\": " + answer.error;
}

// The program's threads and kernel handles as they were, and no port open.
bool AtLevel(const Level& now, const Level& before) {
    return before.process.ok && now.process.ok && now.process.programThreads == before.process.programThreads &&
           now.process.handles == before.process.handles && now.process.serialHandles == 0;
}

// Everything one row did and saw, for its facts.
struct Row {
    Program& p;
    Mark mark;
    std::int64_t commandStart = 0;  // the modem's clock when the row's last Current or Set was clicked
    Box box;
    std::vector<std::string> selection;
    std::vector<std::future<std::string>> triggers;  // why each "when" request was not made

    void Step(const std::string& step) {
        const size_t space = step.find(' ');
        const std::string verb = step.substr(0, space),
                          arg = space == std::string::npos ? "" : step.substr(space + 1);
        const std::map<std::string, int> controls = {
            {"set", IDC_SET}, {"current", IDC_CURRENT}, {"other", IDC_OTHER_MODEM}, {"quit", IDC_QUIT}};
        const std::map<std::string, std::pair<UINT, WPARAM>> posts = {{"close", {WM_CLOSE, 0}},
                                                                      {"sysclose", {WM_SYSCOMMAND, SC_CLOSE}},
                                                                      {"quit", {WM_COMMAND, ID_TRAY_QUIT}},
                                                                      {"show", {WM_COMMAND, ID_TRAY_SHOW}},
                                                                      {"autodetect", {WM_COMMAND, ID_TRAY_AUTODETECT}}};
        const std::map<std::string, int> answers = {{"ok", IDOK}, {"yes", IDYES}, {"no", IDNO}};
        const std::map<std::string, WPARAM> events = {{"arrive", DBT_DEVICEARRIVAL},
                                                      {"remove", DBT_DEVICEREMOVECOMPLETE},
                                                      {"query-remove", DBT_DEVICEQUERYREMOVE}};
        if (verb == "query") {
            const Mark start = p.Now();
            commandStart = p.modem.Now().value_or(0);
            Click(p.Item(IDC_CURRENT));
            EXPECT_TRUE(WaitUntil([&] { return !p.TrayRecords(start).empty(); }, kStepLimit)) << "no tray record";
        } else if (verb == "set" || verb == "set-none") {
            if (verb == "set")
                EXPECT_TRUE(p.Choose(arg)) << arg << " was not shown";
            else
                SendWithTimeout(p.Item(IDC_COUNTRY_LIST), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            commandStart = p.modem.Now().value_or(0);
            Click(p.Item(IDC_SET));
            box = p.AnswerBox();
            EXPECT_TRUE(box.shown) << "Set brought no message box";
        } else if (verb == "choose") {
            EXPECT_TRUE(p.Choose(arg)) << arg << " was not shown";
        } else if (verb == "run") {
            const Mark start = p.Now();
            PostMessageW(p.main, WM_COMMAND, ID_TRAY_AUTODETECT, 0);
            if (!arg.empty()) Pick(arg, kRunLimit);
            EXPECT_TRUE(p.WaitRunEnd(start)) << "the run did not end";
        } else if (events.count(verb)) {
            EXPECT_EQ(p.DeviceChange(events.at(verb), arg).get(), TRUE) << "the broadcast was not answered TRUE";
        } else if (controls.count(verb == "click" ? arg : "")) {
            Click(p.Item(controls.at(arg)));
        } else if (verb == "post" && posts.count(arg)) {
            PostMessageW(p.main, posts.at(arg).first, posts.at(arg).second, 0);
        } else if (verb == "answer" && answers.count(arg)) {
            box = p.AnswerBox(answers.at(arg));
            EXPECT_TRUE(box.shown) << "no message box to answer " << arg;
        } else if (verb == "pick") {
            Pick(arg, kStepLimit);
        } else if (verb == "since-start") {
            mark = {};
        } else {
            StepAside(verb, arg);
        }
        if (verb == "click" || verb == "post" || verb == "tray" || verb == "key") Settle(arg == "other");
    }

    // The steps beside the operations: keys, the tray, the About box, the
    // progress dialog, waits, and the virtual modem's requests.
    void StepAside(const std::string& verb, const std::string& arg) {
        if (verb == "key") {
            PressKey(p.main, arg == "escape" ? VK_ESCAPE : VK_RETURN);
        } else if (verb == "tray") {
            const std::vector<TrayRecord> records = p.TrayRecords();
            ASSERT_FALSE(records.empty());
            FakeTray::Notify(records.back(), arg == "left" ? WM_LBUTTONDOWN : WM_RBUTTONDOWN);
        } else if (verb == "hide") {
            ShowWindow(p.main, SW_HIDE);
            EXPECT_TRUE(WaitUntil([&] { return !IsVisible(p.main); }, kStepLimit));
        } else if (verb == "about") {
            PostMessageW(p.main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            const HWND about = p.WaitWindow("About Korvane");
            ASSERT_NE(about, nullptr) << "the system menu's About opened nothing";
            Click(GetDlgItem(about, IDOK));
            EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, kStepLimit)) << "the About box stayed";
        } else if (verb == "progress-keys") {
            const HWND progress = p.WaitWindow(kProgressTitle);
            PressKeyOn(progress, VK_ESCAPE);
            PressKeyOn(progress, VK_RETURN);
            PostMessageW(progress, WM_CLOSE, 0, 0);
            PostMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (verb == "wait-box") {
            EXPECT_TRUE(WaitUntil([&] { return FindMessageBox(p.process.Pid(), nullptr, nullptr); }, kStepLimit));
        } else if (verb == "wait-progress") {
            EXPECT_NE(p.WaitWindow(kProgressTitle), nullptr) << "no detection run started";
        } else if (verb == "wait-run") {
            EXPECT_TRUE(p.WaitRunEnd(mark)) << "the run did not end";
        } else if (verb == "burst") {
            Burst(std::atoi(arg.c_str()));
        } else if (verb == "do") {
            const VModemAnswer answer = p.modem.Request(arg);
            EXPECT_TRUE(answer.ok) << "the virtual modem refused \"" << arg << "\": " << answer.error;
        } else if (verb == "when") {
            const size_t got = arg.find(" got "), act = arg.find(" do ");
            triggers.push_back(std::async(std::launch::async, RequestWhenReceived, std::atoi(arg.c_str()),
                                          arg.substr(got + 5, act - got - 5), arg.substr(act + 4)));
        } else {
            ADD_FAILURE() << "unknown step \"" << verb << " " << arg << "\"";
        }
    }

    // Line N of the selection dialog, once it shows, then Continue.
    void Pick(const std::string& line, DWORD limitMs) {
        const HWND dialog = p.WaitWindow(kSelectionTitle, limitMs);
        ASSERT_NE(dialog, nullptr) << "no selection dialog to pick from";
        selection = ListItems(GetDlgItem(dialog, IDC_MODEM_LIST));
        SendWithTimeout(GetDlgItem(dialog, IDC_MODEM_LIST), LB_SETCURSEL, std::atoi(line.c_str()), 0);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kStepLimit))
            << "Continue left the selection open";
        Settle(false);
    }

    void Burst(int count) {
        const char* name = "56K PC Card Fax Modem";
        auto first = p.DeviceChange(DBT_DEVICEARRIVAL, name);
        ASSERT_NE(p.WaitWindow(kProgressTitle), nullptr) << "the arrival started no run";
        std::vector<std::future<LRESULT>> answers;
        for (int i = 0; i < count; ++i) {
            // The second half once the run has found the modem, while it is still going on.
            if (i == count / 2) {
                EXPECT_TRUE(WaitUntil([&] { return Fact("found", "") == "4"; }, kRunLimit))
                    << "COM4 was not found";
            }
            answers.push_back(p.DeviceChange(i % 2 ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, name));
        }
        for (auto& answer : answers) EXPECT_EQ(answer.get(), TRUE);
        EXPECT_EQ(first.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
            << "the burst came after the run";
        EXPECT_EQ(first.get(), TRUE);
    }

    // Lets what a click or a posted message began run to its end, noting the
    // selection dialog's lines if one opens.
    void Settle(bool other) {
        // Other Modem opens the selection, or a run when no modem is known.
        HWND dialog = nullptr;
        if (other)
            WaitUntil(
                [&] { return (dialog = p.WaitWindow(kSelectionTitle, 0)) || p.WaitWindow(kProgressTitle, 0); },
                kStepLimit);
        if (dialog) selection = ListItems(GetDlgItem(dialog, IDC_MODEM_LIST));
        if (!p.Sync()) {
            EXPECT_TRUE(p.process.WaitForExit(kStepLimit)) << "the program stopped answering";
        }
    }

    // The facts timed on the modem's clock, from COM4's transcript: the port's
    // close after the last byte received, or the first receipt after the click.
    std::string TimingFact(const std::string& key) {
        std::int64_t lastReceived = 0, firstAfterClick = -1;
        for (const TranscriptEntry& e : p.modem.Transcript(4).value_or(std::vector<TranscriptEntry>{})) {
            if (!e.received) continue;
            lastReceived = e.ms;
            if (firstAfterClick < 0 && e.ms >= commandStart) firstAfterClick = e.ms;
        }
        // The lead is the port's opening pauses.
        if (key == "lead")
            return firstAfterClick < 0 ? "(nothing received)" : std::to_string(firstAfterClick - commandStart);
        // Both ends on the modem's clock: the window and the closing pause
        // alone, whatever the load does to the moment the box is seen.
        long long opened = 0, closed = -1;
        const std::optional<std::string> host = p.modem.Request("host 4").value;
        if (!host || std::sscanf(host->c_str(), "%lld %lld", &opened, &closed) != 2 || closed < 0)
            return "(not closed)";
        return std::to_string(closed - lastReceived);
    }

    // The ports the progress texts name: probed, found, and the runs.
    std::string ProgressFact(const std::string& key) {
        std::vector<std::string> ports;
        std::string probing;
        int runs = 0;
        for (const std::string& text : p.TextsSince(mark, IDC_DETECT_STATUS, false)) {
            runs += text.rfind("Detecting COM3", 0) == 0;
            if (text.rfind("Detecting COM", 0) == 0 && key == "probed") ports.push_back(text.substr(13, 1));
            if (key == "found" && text == "Modem connected to COM" + probing) ports.push_back(probing);
            probing = text.rfind("Detecting COM", 0) == 0 ? text.substr(13, 1) : "";
        }
        return key == "runs" ? std::to_string(runs) : Join(ports, " ");
    }

    std::string Fact(const std::string& key, const std::string& expected) {
        if (key == "box") return box.shown ? box.text : "(none)";
        if (key == "caption") return box.caption;
        if (key == "closed" || key == "lead") return TimingFact(key);
        if (key.size() == 3 && key.rfind("rx", 0) == 0)
            return p.modem.Received(key[2] - '0').value_or("(no transcript)");
        if (key == "probed" || key == "found" || key == "runs") return ProgressFact(key);
        if (key == "alive") return p.process.WaitForExit(p.process.Running() ? 0 : kStepLimit) ? "no" : "yes";
        if (key == "level") {
            // Against the level the program had when it first came home, so a
            // leak of any earlier row counts too.
            const Level now = p.Measure();
            return AtLevel(now, p.homeLevel) ? "same"
                                             : "at home: " + Describe(p.homeLevel) + "; now: " + Describe(now);
        }
        if (key == "selection") return Join(selection, " / ");
        if (key == "boxes") return FindMessageBox(p.process.Pid(), nullptr, nullptr) ? "1 or more" : "0";
        if (key == "gone") {
            if (!p.process.WaitForExit(kStepLimit)) return "no: the program still runs";
            const std::vector<TrayRecord> all = p.TrayRecords();
            return !all.empty() && all.back().operation == NIM_DELETE ? "yes" : "no: the icon stayed";
        }
        if (key == "tip" || key == "icon" || key == "tips" || key == "records") return TrayFact(key);
        return WindowFact(key, expected);
    }

    // The tray records since the row began: the last one's tip or icon, every
    // tip, or every record (operation, icon, tip).
    std::string TrayFact(const std::string& key) {
        std::vector<std::string> each;
        for (const TrayRecord& r : p.TrayRecords(mark)) {
            const std::string icon = std::to_string(Program::Tray().IconOf(r));
            each.push_back(key == "icon"      ? icon
                           : key == "records" ? std::to_string(r.operation) + " " + icon + " \"" + r.tip + "\""
                                              : r.tip);
        }
        if (key == "tips" || key == "records") return Join(each, " / ");
        return each.empty() ? "(none)" : each.back();
    }

    // What the main window shows, or showed since the row began.
    std::string WindowFact(const std::string& key, const std::string& expected) {
        if (key == "status") return ControlText(p.main, IDC_MODEM_STATUS);
        if (key == "progress") return Join(p.TextsSince(mark, IDC_DETECT_STATUS, false), " / ");
        if (key == "buttons") {
            const bool set = IsEnabled(p.Item(IDC_SET)), current = IsEnabled(p.Item(IDC_CURRENT));
            return set && current ? "on" : !set && !current ? "off" : "mixed";
        }
        if (key == "window") return IsVisible(p.main) ? "shown" : "hidden";
        if (key == "list") {
            const int at = ComboSelection(p.Item(IDC_COUNTRY_LIST));
            return at < 0 ? "(none)" : ComboItems(p.Item(IDC_COUNTRY_LIST)).at(static_cast<size_t>(at));
        }
        if (key == "name") return ControlText(p.main, IDC_COUNTRY_NAME);
        if (key == "flag") return p.ShowsFlag(expected) ? expected : "another picture";
        if (key == "menu") return MenuFact();
        return "(no such fact)";
    }

    // "key=value" or "key=low..high" (numbers, both ends included).
    void Check(const std::string& fact) {
        const size_t at = fact.find('=');
        const std::string key = fact.substr(0, at), value = fact.substr(at + 1);
        const std::string seen = Fact(key, value);
        // A range is two numbers and nothing else: a text with ".." in it (the
        // tray's "Detecting Modem ...Please wait.") is compared as a text.
        static const std::regex kRange("([0-9]+)\\.\\.([0-9]+)");
        std::smatch range;
        if (std::regex_match(value, range, kRange)) {
            const long long n = std::atoll(seen.c_str());
            EXPECT_TRUE(n >= std::stoll(range[1]) && n <= std::stoll(range[2]))
                << key << " is " << seen << ", not within " << value;
        } else {
            EXPECT_EQ(seen, value) << key;
        }
    }

    // Whether a popup menu is open, which Escape then closes.
    std::string MenuFact() {
        const HWND popup = FindPopupMenu(p.process.Pid());
        if (!popup) return "closed";
        PressKey(popup, VK_ESCAPE);
        WaitUntil([&] { return !FindPopupMenu(p.process.Pid()); }, kStepLimit);
        return "open";
    }
};

}  // namespace

Program& Home() {
    static std::unique_ptr<Program> program;
    // A row that ended the program meant to: Play fails any other.
    if (program && !program->process.Running()) program.reset();
    if (!program) {
        program = std::make_unique<Program>();
        if (!program->Start({{4, ""}})) ADD_FAILURE() << program->error;
        // The first operations load what the process then keeps (Wine takes
        // two handles and 1.5 MB some seconds in): its level is taken once
        // a choice, a query and a setting leave it where the last ones did.
        for (int warmUps = 0; warmUps < 4; ++warmUps) {
            // One of each first; then a query at a time, until nothing more comes.
            Play(*program, {{"warm-up", "4:", warmUps ? "query" : "choose France|query|set United States",
                             "tip=United States"}});
            const Level now = program->Measure();
            const bool settled = AtLevel(now, program->homeLevel);
            program->homeLevel = now;
            if (settled) break;
        }
    }
    Program& p = *program;
    const bool home = ControlText(p.main, IDC_MODEM_STATUS) == "Modem connected to COM4" && IsEnabled(p.Item(IDC_SET)) &&
                      IsVisible(p.main) && !p.TrayRecords().empty() &&
                      p.TrayRecords().back().tip != "Modem Removed";
    if (!home) Play(p, {{"back home", "1: none; 2: none; 3: none; 5: none; 6: none; 4:", "run", "found=4"}});
    return p;
}

void Play(Program& p, const std::vector<Scenario>& table) {
    const char* rows = std::getenv("KORVANE_ROWS");
    const std::string only = rows ? rows : "all";
    for (const Scenario& s : table) {
        if (s.what != "back home" && s.what != "warm-up" &&
            ((only == "quick" && !s.quick) || (only == "rest" && s.quick)))
            continue;
        SCOPED_TRACE(s.what);
        ASSERT_TRUE(p.process.Running()) << "the program is not running";
        Modems modems;
        for (const std::string& modem : Split(s.modems, "; "))
            modems[std::atoi(modem.c_str())] = modem.substr(modem.find(':') + 1);
        ASSERT_TRUE(p.SetModems(modems)) << "the virtual modem refused " << s.modems << ": " << p.modem.LastFailure();
        Row row{p, p.Now(), 0, {}, {}, {}};
        for (const std::string& step : Split(s.steps, "|")) row.Step(step);
        for (auto& trigger : row.triggers) EXPECT_EQ(trigger.get(), "") << "a fault injection did not happen";
        const bool mayEnd =
            s.expect.find("gone=") != std::string::npos || s.expect.find("alive=no") != std::string::npos;
        if (p.Sync()) {
            EXPECT_TRUE(p.WaitIdle()) << "the program stayed busy";
        } else if (!mayEnd) {
            ADD_FAILURE() << "the program stopped answering or ended, exit code "
                          << (p.process.WaitForExit(0) ? std::to_string(*p.process.WaitForExit(0)) : "none yet");
        }
        for (const std::string& fact : Split(s.expect, "; ")) row.Check(fact);
    }
}
