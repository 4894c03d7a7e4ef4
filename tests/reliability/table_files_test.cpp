// Bad country tables: a copy of the program beside a korvane.ini that is
// empty, missing, a directory, binary, 10 MiB long, 1000 lines, lines of
// commas, values longer than their fields, or cut by a Ctrl-Z. All copies run
// at once, with no modem on any port. Each starts, lists what the loader
// reads, finishes its detection run and still answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/driver/fake_tray.h"
#include "tools/driver/korvane_process.h"
#include "tools/driver/message_box.h"
#include "tools/driver/run_watch.h"
#include "tools/driver/vmodem_client.h"
#include "tools/driver/wait_for.h"
#include "tools/driver/window_log.h"
#include "tools/driver/window_query.h"
#include "tests/reliability/rig.h"

namespace rel {
namespace {

constexpr size_t kMaxCountries = 200;
constexpr size_t kNameWidth = 79;
constexpr char kBoxText[] = "The country table could not be read:\n";

// What the program's loader makes of a file, modelled independently: the C
// runtime's text mode (CR LF read as LF, Ctrl-Z ends the file), lines read at
// most 254 characters at a time and ended at a NUL, fields split at commas
// and line feeds with empty ones skipped, four fields to a record, at most
// 200 records, names cut to 79 characters.
std::vector<std::string> LoadedNames(const std::string& file) {
    std::string text;
    for (size_t i = 0; i < file.size() && file[i] != '\x1a'; ++i)
        if (!(file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')) text += file[i];
    std::vector<std::string> names;
    size_t at = 0;
    while (names.size() < kMaxCountries && at < text.size()) {
        size_t end = at;
        while (end < text.size() && end - at < 254)
            if (text[end++] == '\n') break;
        std::string line = text.substr(at, end - at);
        at = end;
        line = line.substr(0, line.find('\0'));
        std::vector<std::string> fields;
        std::string field;
        for (char c : line + ",") {
            if (c != ',' && c != '\n') {
                field += c;
            } else if (!field.empty()) {
                fields.push_back(field);
                field.clear();
            }
        }
        if (fields.size() >= 4) names.push_back(fields[0].substr(0, kNameWidth));
    }
    return names;
}

std::string Row(const std::string& name) { return name + ",ID,UK,01\n"; }

std::string Binary() {
    std::string bytes;
    std::uint32_t state = 12345;
    while (bytes.size() < 64 * 1024) {
        state = state * 1103515245u + 12345u;
        const char c = static_cast<char>(state >> 24);
        if (c != '\x1a') bytes += c;  // a Ctrl-Z would end it at once; it has a case of its own
    }
    return bytes;
}

std::string TenMebibytes() {
    std::string text(10 * 1024 * 1024 - 64, 'x');
    for (size_t i = 100; i < text.size(); i += 100) text[i] = ' ';
    return text + "\n" + Row("After the long line") + Row("Second") + Row("Third");
}

std::string ThousandLines() {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "Country " + std::to_string(i) + ",ID" + std::to_string(i) + ",UK,01\r\n";
    return text;
}

std::string Commas() {
    const std::string commas(300, ',');
    return commas + "\n" + Row("Before") + commas + "\n" + "Spread" + commas + "ID" + commas + "UK" + commas + "01\n" +
           Row("After") + commas + commas + "\n";
}

std::string LongValues() {
    return std::string(120, 'N') + "," + std::string(40, 'I') + "," + std::string(30, 'B') + ",123456\n" +
           std::string(300, 'L') + ",ID,UK,01\n" + Row("Short");
}

std::string CtrlZ() { return Row("First") + "Second,ID,UK,0\x1a" + "1\n" + Row("Third"); }

struct Case {
    const char* what;
    drv::StartOptions options;
    std::string content;  // the file's bytes, when there is a file
    bool readable = true;
};

std::vector<Case> Cases() {
    auto with = [](const std::string& content) {
        drv::StartOptions options;
        options.copyToTempDir = true;
        options.iniContent = content;
        return options;
    };
    drv::StartOptions missing, directory;
    missing.copyToTempDir = directory.copyToTempDir = true;
    missing.omitIni = true;
    directory.iniAsDirectory = true;
    return {
        {"empty", with(""), ""},
        {"missing", missing, "", false},
        {"a directory", directory, "", false},
        {"64 KiB of binary", with(Binary()), Binary()},
        {"10 MiB, one long line first", with(TenMebibytes()), TenMebibytes()},
        {"1000 lines", with(ThousandLines()), ThousandLines()},
        {"lines of 300 commas", with(Commas()), Commas()},
        {"values longer than their fields", with(LongValues()), LongValues()},
        {"Ctrl-Z in the middle", with(CtrlZ()), CtrlZ()},
    };
}

struct Started {
    Case c;
    std::unique_ptr<drv::KorvaneProcess> program = std::make_unique<drv::KorvaneProcess>();
    std::unique_ptr<drv::WindowLog> log;
    std::string error;
    std::string boxText;  // the box answered at the start, if any
    HWND main = nullptr;
};

class TableFiles : public ::testing::TestWithParam<size_t> {
protected:
    static void SetUpTestSuite() {
        tray_ = std::make_unique<drv::FakeTray>();
        const std::optional<int> port = drv::VModemClient::SessionPort();
        drv::VModemClient modem;
        if (!port || !modem.Connect(*port, &setupError_) || !tray_->Start(&setupError_)) return;
        for (int com = 1; com <= 6; ++com) modem.Detach(com);
        for (Case& c : Cases()) {
            started_.emplace_back();
            Started& s = started_.back();
            s.c = std::move(c);
            if (!s.program->Start(s.c.options, &s.error)) continue;
            s.log = std::make_unique<drv::WindowLog>(s.program->Pid());
        }
        // The boxes first, so every copy's run goes on while the others are checked.
        for (Started& s : started_) {
            if (!s.error.empty() || s.c.readable) continue;
            const HWND box = drv::WaitFor([&] { return drv::FindMessageBox(s.program->Pid(), "Korvane", nullptr); },
                                          [](HWND w) { return w != nullptr; }, kStepLimit)
                                 .last;
            if (!box) {
                s.error = "no message box";
                continue;
            }
            s.log->Sample();
            s.boxText = drv::MessageBoxText(box);
            drv::AnswerMessageBox(box, IDOK);
        }
    }
    static void TearDownTestSuite() {
        started_.clear();
        tray_.reset();
    }

    static std::unique_ptr<drv::FakeTray> tray_;
    static std::vector<Started> started_;
    static std::string setupError_;
};

std::unique_ptr<drv::FakeTray> TableFiles::tray_;
std::vector<Started> TableFiles::started_;
std::string TableFiles::setupError_;

TEST_P(TableFiles, ProgramStartsListsWhatTheLoaderReadsAndRunsToTheEnd) {
    ASSERT_TRUE(setupError_.empty()) << setupError_;
    Started& s = started_.at(GetParam());
    SCOPED_TRACE(s.c.what);
    ASSERT_TRUE(s.error.empty()) << s.error;
    s.main = s.program->WaitForWindow("Korvane 2.6", "#32770", kStepLimit);
    ASSERT_NE(s.main, nullptr) << "no main window";

    // The run ends with its "No Modem found" record; the list was filled before it began.
    const bool ended = drv::WaitUntil(
        [&] {
            s.log->Sample();
            const std::vector<drv::TrayRecord> records = tray_->Records();
            return std::any_of(records.begin(), records.end(), [&](const drv::TrayRecord& r) {
                return r.owner == s.main && r.tip == kNoModemFoundTip;
            });
        },
        kRunLimit);
    ASSERT_TRUE(ended) << "the detection run did not end";
    ASSERT_TRUE(s.program->Running()) << "the program ended";
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(s.main, WM_NULL, 0, 0, SMTO_NORMAL, drv::kSendTimeout, &answer));

    const std::vector<std::string> names = drv::ComboItems(GetDlgItem(s.main, kCountryList));
    EXPECT_LE(names.size(), kMaxCountries);
    for (const std::string& name : names) EXPECT_LE(name.size(), kNameWidth) << name;
    EXPECT_EQ(names, LoadedNames(s.c.content));

    s.log->Sample();
    const size_t boxes = s.log->Seen("Korvane").size();
    if (s.c.readable) {
        EXPECT_EQ(boxes, 0u) << "a readable table brought a message box";
    } else {
        EXPECT_EQ(boxes, 1u);
        const std::string path = s.program->ExePath().substr(0, s.program->ExePath().rfind('\\') + 1) + "korvane.ini";
        EXPECT_EQ(s.boxText, kBoxText + path);
        EXPECT_TRUE(names.empty());
    }
    Figure(std::string("table ") + s.c.what,
           std::to_string(s.c.content.size()) + " bytes, " + std::to_string(names.size()) + " names listed, " +
               std::to_string(boxes) + " message box(es)");
}

INSTANTIATE_TEST_SUITE_P(Tables, TableFiles, ::testing::Range<size_t>(0, 9));

// The model itself, on cases whose answer is known by hand.
TEST(LoaderModel, ReadsAsTheLoaderIsDocumentedTo) {
    EXPECT_EQ(LoadedNames(CtrlZ()), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(LoadedNames(Commas()), (std::vector<std::string>{"Before", "After"}));
    EXPECT_EQ(LoadedNames(ThousandLines()).size(), 200u);
    EXPECT_EQ(LoadedNames(TenMebibytes()), (std::vector<std::string>{"After the long line", "Second", "Third"}));
    const std::vector<std::string> longValues = LoadedNames(LongValues());
    ASSERT_EQ(longValues.size(), 3u);
    EXPECT_EQ(longValues[0], std::string(79, 'N'));
    EXPECT_EQ(longValues[1], std::string(300 - 254, 'L'));
}

}  // namespace
}  // namespace rel
