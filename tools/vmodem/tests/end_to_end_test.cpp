#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "serial_client.h"
#include "vmodem_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kOk = "\r\nOK\r\n";
std::string info(const std::string& text) { return "\r\n" + text + "\r\n"; }

struct Entry {
    bool received;
    long ms;
    std::string bytes;  // empty for bulk entries
    std::string bulk;   // "flood <n>" / "endless <n>"
};

std::string from_hex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::vector<Entry> parse_transcript(const std::string& answer)
{
    std::vector<Entry> entries;
    std::istringstream in(answer);
    std::string line;
    while (std::getline(in, line) && line != "OK") {
        std::istringstream fields(line);
        std::string direction, payload, count;
        Entry e{};
        fields >> direction >> e.ms >> payload;
        e.received = direction == "rx";
        if (fields >> count)
            e.bulk = payload + " " + count;
        else
            e.bytes = from_hex(payload);
        entries.push_back(e);
    }
    return entries;
}

long clock_now(VmodemProcess& vm)
{
    std::string answer = vm.request("now");
    return std::stol(answer.substr(2));
}

TEST(VmodemEndToEnd, ConversationIsAnsweredAndRecordedExactly)
{
    VmodemProcess vm({"--modem", "4:B5"});
    SerialClient host(vm.link(4));
    const long start = clock_now(vm);

    const std::pair<std::string, std::string> exchanges[] = {
        {"ati3\r\n", "ati3\r" + info("QTRXFM330HWNF1*GEN") + kOk + "\n"},
        {"at%t19,0,3d\r", "at%t19,0,3d\r" + kOk},
        {"ati9\r", "ati9\r" + info("FRANCE") + kOk},
    };
    std::string sent, received;
    for (const auto& [ask, answer] : exchanges) {
        host.write(ask);
        std::string got = host.read(answer.size(), 2000);
        EXPECT_EQ(got, answer);
        sent += ask;
        received += got;
    }
    EXPECT_EQ(host.read(1, 100), "");
    const long end = clock_now(vm);

    std::string rx, tx;
    long last = start;
    std::vector<Entry> entries = parse_transcript(vm.request("transcript 4"));
    ASSERT_FALSE(entries.empty());
    EXPECT_TRUE(entries.front().received);
    for (const Entry& e : entries) {
        EXPECT_TRUE(e.bulk.empty());
        EXPECT_GE(e.ms, last);
        last = e.ms;
        (e.received ? rx : tx) += e.bytes;
    }
    EXPECT_LE(last, end);
    EXPECT_EQ(rx, sent);
    EXPECT_EQ(tx, received);
    EXPECT_EQ(vm.request("get 4 country"), "= 3D\nOK\n");

    EXPECT_EQ(vm.request("clear 4"), "OK\n");
    EXPECT_EQ(vm.request("transcript 4"), "OK\n");
}

TEST(VmodemEndToEnd, ReportsTheLineSettingsTheHostChose)
{
    VmodemProcess vm({"--modem", "4"});
    SerialClient host(vm.link(4));
    EXPECT_EQ(vm.request("termios 4"), "= baud=19200 csize=8 parenb=0 cstopb=0 crtscts=1\nOK\n");
    // Linux ptys always keep 8 data bits without parity, whatever the host asks.
    host.configure(B9600, CS7, true, true, false);
    EXPECT_EQ(vm.request("termios 4"), "= baud=9600 csize=8 parenb=0 cstopb=1 crtscts=0\nOK\n");
}

TEST(VmodemEndToEnd, RepliesAreDelayedAndPacedWhileEchoIsImmediate)
{
    VmodemProcess vm({"--modem", "4"});
    SerialClient host(vm.link(4));
    ASSERT_EQ(vm.request("set 4 delay 300"), "OK\n");
    ASSERT_EQ(vm.request("set 4 split 4"), "OK\n");
    ASSERT_EQ(vm.request("set 4 gap 30"), "OK\n");

    const auto start = std::chrono::steady_clock::now();
    host.write("at\r");
    EXPECT_EQ(host.read(3, 250), "at\r");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 250ms);
    EXPECT_EQ(host.read(kOk.size(), 2000), kOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 320ms);

    std::vector<Entry> entries = parse_transcript(vm.request("transcript 4"));
    ASSERT_EQ(entries.size(), 4u);  // rx, echo, two reply pieces
    EXPECT_TRUE(entries[0].received);
    EXPECT_EQ(entries[1].bytes, "at\r");
    EXPECT_EQ(entries[2].bytes, "\r\nOK");
    EXPECT_EQ(entries[3].bytes, "\r\n");
    EXPECT_GE(entries[2].ms - entries[0].ms, 300);
    EXPECT_GE(entries[3].ms - entries[2].ms, 30);
}

TEST(VmodemEndToEnd, LinkExistsOnlyWhileTheModemIsPresent)
{
    VmodemProcess vm;
    ASSERT_EQ(vm.request("attach 2"), "OK\n");
    ASSERT_TRUE(fs::is_symlink(vm.link(2)));
    EXPECT_EQ(fs::read_symlink(vm.link(2)).string().rfind("/dev/pts/", 0), 0u);

    EXPECT_EQ(vm.request("set 2 present 0"), "OK\n");
    EXPECT_FALSE(fs::is_symlink(vm.link(2)));
    EXPECT_EQ(vm.request("get 2 present"), "= 0\nOK\n");
    EXPECT_EQ(vm.request("send 2 at").rfind("ERR ", 0), 0u);

    EXPECT_EQ(vm.request("set 2 present 1"), "OK\n");
    {
        SerialClient host(vm.link(2));
        host.write("at\r");
        EXPECT_EQ(host.read(3 + kOk.size(), 2000), "at\r" + kOk);
    }
    EXPECT_EQ(vm.request("detach 2"), "OK\n");
    EXPECT_FALSE(fs::is_symlink(vm.link(2)));
    EXPECT_EQ(vm.request("get 2 present").rfind("ERR ", 0), 0u);
}

TEST(VmodemEndToEnd, ClosedPeerAndFullPtyNeitherBlockNorSpin)
{
    VmodemProcess vm({"--modem", "4"});
    const std::string stale = "ati3\r" + info("QTRXFM330HWNF1*GEN") + kOk;
    const std::size_t flood = 200000;  // far more than a pty buffers
    {
        SerialClient host(vm.link(4));
        host.write("ati3\r");
        std::this_thread::sleep_for(50ms);
    }  // closed without reading
    ASSERT_EQ(vm.request("flood 4 " + std::to_string(flood)), "OK\n");

    const double cpu_before = vm.cpu_seconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(vm.cpu_seconds() - cpu_before, 0.2);
    EXPECT_EQ(vm.request("now").rfind("= ", 0), 0u);

    // A new host gets the buffered reply and then the rest of the flood.
    SerialClient host(vm.link(4));
    std::string got = host.read(stale.size() + flood, 5000);
    ASSERT_EQ(got.size(), stale.size() + flood);
    EXPECT_EQ(got.substr(0, stale.size()), stale);
    EXPECT_EQ(host.read(1, 100), "");

    std::size_t flooded = 0;
    for (const Entry& e : parse_transcript(vm.request("transcript 4")))
        if (e.bulk.rfind("flood ", 0) == 0)
            flooded += std::stoul(e.bulk.substr(6));
    EXPECT_EQ(flooded, flood);

    host.write("at\r");
    EXPECT_EQ(host.read(3 + kOk.size(), 2000), "at\r" + kOk);
}

TEST(VmodemEndToEnd, EndlessLineStreamsWithoutLineEndsUntilStopped)
{
    VmodemProcess vm({"--modem", "4"});
    SerialClient host(vm.link(4));
    ASSERT_EQ(vm.request("endless 4 1"), "OK\n");
    std::string got = host.read(20000, 2000);
    EXPECT_EQ(got.size(), 20000u);
    EXPECT_EQ(got.find_first_of("\r\n"), std::string::npos);

    ASSERT_EQ(vm.request("endless 4 0"), "OK\n");
    std::this_thread::sleep_for(50ms);
    host.discard_input();
    EXPECT_EQ(host.read(1, 200), "");
    EXPECT_NE(vm.request("transcript 4").find(" endless "), std::string::npos);
}

TEST(VmodemEndToEnd, ControlChannelSurvivesBadInputAndServesSeveralClients)
{
    VmodemProcess vm({"--modem", "4"});
    vm.control().send_raw(std::string(5000, 'x') + "\nnow\r\n");
    EXPECT_EQ(vm.control().read_answer(), "ERR line too long\n");
    EXPECT_EQ(vm.control().read_answer().rfind("= ", 0), 0u);
    EXPECT_EQ(vm.request("frobnicate 4"), "ERR unknown request\n");
    EXPECT_EQ(vm.request("set 4 delay soon").rfind("ERR ", 0), 0u);
    EXPECT_EQ(vm.request("get 4 delay"), "= 0\nOK\n");

    ControlConnection second(vm.control_port());
    EXPECT_EQ(second.request("set 4 okword ok\\r"), "OK\n");
    EXPECT_EQ(vm.request("get 4 okword"), "= ok\\r\nOK\n");

    SerialClient host(vm.link(4));
    EXPECT_EQ(vm.request("send 4 RING\\r\\n\\x00"), "OK\n");
    EXPECT_EQ(host.read(7, 2000), std::string("RING\r\n\0", 7));

    EXPECT_EQ(second.request("quit"), "OK\n");
    EXPECT_EQ(vm.wait_exit(3000), 0);
    EXPECT_FALSE(fs::is_symlink(vm.link(4)));
}

TEST(VmodemEndToEnd, SigtermEndsCleanlyAndRemovesLinks)
{
    VmodemProcess vm({"--modem", "1", "--modem", "6:04"});
    ASSERT_TRUE(fs::is_symlink(vm.link(1)));
    ASSERT_TRUE(fs::is_symlink(vm.link(6)));
    EXPECT_EQ(vm.request("get 6 country"), "= 04\nOK\n");
    ASSERT_EQ(::kill(vm.pid(), SIGTERM), 0);
    EXPECT_EQ(vm.wait_exit(3000), 0);
    EXPECT_FALSE(fs::is_symlink(vm.link(1)));
    EXPECT_FALSE(fs::is_symlink(vm.link(6)));
}

}  // namespace
