// The vmodem program over its pseudo-terminals and its control channel.
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

// The transcript's lines as "rx <bytes>" / "tx <bytes>" / "tx flood <n>", with their times.
std::vector<std::pair<long, std::string>> transcript(VmodemProcess& vm, int com)
{
    std::vector<std::pair<long, std::string>> entries;
    std::istringstream in(vm.request("transcript " + std::to_string(com)));
    for (std::string direction, payload, count; in >> direction && direction != "OK";) {
        long ms = 0;
        in >> ms >> payload;
        std::string text = direction + " ";
        if (in.peek() == ' ' && in >> count)
            text += payload + " " + count;
        else
            for (std::size_t i = 0; i + 1 < payload.size(); i += 2)
                text += static_cast<char>(std::stoi(payload.substr(i, 2), nullptr, 16));
        entries.emplace_back(ms, text);
    }
    return entries;
}

TEST(VmodemEndToEnd, ConversationIsAnsweredPacedAndRecordedExactly)
{
    VmodemProcess vm({"--modem", "4:B5"});
    SerialClient host(vm.link(4));
    EXPECT_EQ(vm.request("termios 4"), "= baud=19200 csize=8 parenb=0 cstopb=0 crtscts=1\nOK\n");
    host.write("at%t19,0,3d\r");
    EXPECT_EQ(host.read(12 + kOk.size(), 2000), "at%t19,0,3d\r" + kOk);
    EXPECT_EQ(vm.request("get 4 country"), "= 3D\nOK\n");

    ASSERT_EQ(vm.request("set 4 delay 300"), "OK\n");
    ASSERT_EQ(vm.request("set 4 split 4"), "OK\n");
    ASSERT_EQ(vm.request("set 4 gap 30"), "OK\n");
    ASSERT_EQ(vm.request("clear 4"), "OK\n");
    host.write("ati9\r");
    EXPECT_EQ(host.read(5, 250), "ati9\r");  // the echo at once
    EXPECT_EQ(host.read(16, 2000), "\r\nFRANCE\r\n\r\nOK\r\n");
    const auto entries = transcript(vm, 4);
    ASSERT_EQ(entries.size(), 6u);  // received, echo, four reply pieces
    EXPECT_EQ(entries[0].second, "rx ati9\r");
    EXPECT_EQ(entries[2].second, "tx \r\nFR");
    // The transcript stamps whole milliseconds: a gap may read one short.
    EXPECT_GE(entries[2].first - entries[0].first, 299);
    EXPECT_GE(entries[3].first - entries[2].first, 29);
}

TEST(VmodemEndToEnd, FloodsAndEndlessLinesReachTheHostAndAClosedPeerCostsNoCpu)
{
    VmodemProcess vm({"--modem", "4"});
    const std::size_t flood = 200000;  // far more than a pty buffers
    ASSERT_EQ(vm.request("flood 4 " + std::to_string(flood)), "OK\n");
    const double cpu_before = vm.cpu_seconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(vm.cpu_seconds() - cpu_before, 0.2);
    {
        SerialClient host(vm.link(4));
        EXPECT_EQ(host.read(flood, 5000).size(), flood);
        ASSERT_EQ(vm.request("endless 4 1"), "OK\n");
        const std::string line = host.read(20000, 2000);
        EXPECT_EQ(line.size(), 20000u);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        ASSERT_EQ(vm.request("endless 4 0"), "OK\n");
    }
    std::size_t flooded = 0;
    const auto entries = transcript(vm, 4);
    for (const auto& entry : entries)
        flooded += entry.second.rfind("tx flood ", 0) == 0 ? std::stoul(entry.second.substr(9)) : 0;
    EXPECT_EQ(flooded, flood);
    EXPECT_EQ(entries.back().second.rfind("tx endless ", 0), 0u);
}

TEST(VmodemEndToEnd, LinksComeAndGoAndTheControlChannelSurvivesBadInput)
{
    VmodemProcess vm({"--modem", "4", "--modem", "6:04"});
    EXPECT_EQ(fs::read_symlink(vm.link(4)).string().rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(vm.request("set 4 present 0"), "OK\n");
    EXPECT_FALSE(fs::is_symlink(vm.link(4)));
    EXPECT_EQ(vm.request("send 4 at").rfind("ERR ", 0), 0u);
    EXPECT_EQ(vm.request("set 4 present 1"), "OK\n");
    SerialClient(vm.link(4)).write("at\r");
    EXPECT_EQ(vm.request("detach 2"), "OK\n");
    vm.send_raw(std::string(5000, 'x') + "\nnow\r\n");
    EXPECT_EQ(vm.read_answer(), "ERR line too long\n");
    EXPECT_EQ(vm.read_answer().rfind("= ", 0), 0u);
    EXPECT_EQ(vm.request("frobnicate 4"), "ERR unknown request\n");
    EXPECT_EQ(vm.request("set 4 delay soon").rfind("ERR ", 0), 0u);
    EXPECT_EQ(vm.request("get 6 country"), "= 04\nOK\n");
    ControlConnection second(vm.control_port());
    EXPECT_EQ(second.request("set 4 okword ok\\r"), "OK\n");
    EXPECT_EQ(vm.request("get 4 okword"), "= ok\\r\nOK\n");
    ASSERT_EQ(::kill(vm.pid(), SIGTERM), 0);
    EXPECT_EQ(vm.wait_exit(3000), 0);
    EXPECT_FALSE(fs::is_symlink(vm.link(4)));
    EXPECT_FALSE(fs::is_symlink(vm.link(6)));
}

}  // namespace
