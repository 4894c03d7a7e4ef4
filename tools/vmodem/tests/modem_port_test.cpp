// The modem's timed states on a real pseudo-terminal, as rows: a host opens
// the port, writes and closes at its times, and every byte it reads is
// checked, with the time of the first, and the times at which the modem saw
// the open and the close. The modem rings the line, and is deaf for a while
// after each open, losing or keeping what it hears.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "engine_knobs.h"
#include "modem_port.h"
#include "unique_fd.h"

namespace {

const std::string kOk = "\r\nOK\r\n", kRing = "\r\nRING\r\n";

struct Step {
    std::int64_t at;  // ms after the start
    enum What { Open, Write, Close } what;
    std::string bytes = "";
};

struct Row {
    const char* what;
    const char* knobs;
    std::vector<Step> steps;
    std::int64_t end;  // ms after the start
    std::string heard;
    // The first byte heard comes within these bounds, in ms after the start.
    std::int64_t first_at_least = 0, first_at_most = -1;
};

// When the last Open step and the Close after it came, -1 for none.
std::pair<std::int64_t, std::int64_t> host_times(const Row& row) {
    std::int64_t opened = -1, closed = -1;
    for (const Step& step : row.steps) {
        if (step.what == Step::Open) opened = step.at, closed = -1;
        if (step.what == Step::Close) closed = step.at;
    }
    return {opened, closed};
}

struct Heard {
    std::string bytes;
    std::int64_t first = -1;
    std::int64_t opened = -1, closed = -1;  // the last host's, as the modem saw them
};

// Runs the modem's side and the host's side in turn until the row's end.
Heard play(const Row& row, const std::string& link) {
    Clock clock;
    ModemPort modem(link, clock);
    modem.set_present(true);
    std::istringstream knobs(row.knobs);
    for (std::string knob; knobs >> knob;)
        EXPECT_EQ(
            set_knob(modem.engine().settings(), knob.substr(0, knob.find('=')), knob.substr(knob.find('=') + 1)),
            std::nullopt);
    modem.run_timers();
    UniqueFd host;
    Heard heard;
    std::size_t next = 0;
    for (std::int64_t now = clock.now_ms(); now < row.end; now = clock.now_ms()) {
        for (; next < row.steps.size() && row.steps[next].at <= now; ++next) {
            const Step& step = row.steps[next];
            if (step.what == Step::Open) host.reset(::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
            if (step.what == Step::Write) {
                EXPECT_EQ(::write(host.get(), step.bytes.data(), step.bytes.size()),
                          static_cast<ssize_t>(step.bytes.size()));
            }
            if (step.what == Step::Close) host.reset();
        }
        pollfd fds[3] = {
            {modem.host_fd(), POLLIN, 0}, {modem.poll_fd(), modem.poll_events(), 0}, {host.get(), POLLIN, 0}};
        const std::int64_t wake = std::min(modem.next_deadline().value_or(row.end), row.end);
        ::poll(fds, 3, static_cast<int>(std::clamp<std::int64_t>(wake - now, 0, 5)));
        if (fds[0].revents) modem.handle_host_events();
        if (fds[1].revents) modem.handle_events(fds[1].revents);
        modem.run_timers();
        char buffer[256];
        for (ssize_t n; host && (n = ::read(host.get(), buffer, sizeof buffer)) > 0;) {
            if (heard.first < 0) heard.first = clock.now_ms();
            heard.bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    heard.opened = modem.host_opened();
    heard.closed = modem.host_closed();
    return heard;
}

// How late a busy machine may run the loop that notices an open or a close.
constexpr std::int64_t kSchedulingSlack = 60;

TEST(ModemPort, TimedStates) {
    using S = Step;
    // clang-format off
    const Row rows[] = {
        {"a modem that hears at once", "echo=0", {{0, S::Open}, {0, S::Write, "AT\r"}}, 150, kOk, 0, 50},
        {"deaf after the open: the first command lost, the next answered", "echo=0 deaf=300",
         {{0, S::Open}, {0, S::Write, "AT\r"}, {400, S::Write, "AT\r"}}, 500, kOk, 400, 450},
        {"deaf, keeping what it hears: each command answered when it wakes", "echo=0 deaf=300 deafkeep=1",
         {{0, S::Open}, {0, S::Write, "AT\r"}, {100, S::Write, "ATI9\r"}},
         450, kOk + "\r\nUNITED STATES\r\n" + kOk, 300, 350},
        {"deaf again after each open", "echo=0 deaf=200",
         {{0, S::Open}, {250, S::Write, "AT\r"}, {300, S::Close}, {350, S::Open}, {400, S::Write, "AT\r"},
          {600, S::Write, "AT\r"}},
         700, kOk + kOk, 250, 300},
        {"deafness counts from the open, not from the knob", "echo=0 deaf=200",
         {{300, S::Open}, {350, S::Write, "AT\r"}, {550, S::Write, "AT\r"}}, 650, kOk, 550, 600},
        {"RING every 100 ms", "ring=100", {{0, S::Open}}, 350, kRing + kRing + kRing, 100, 150},
        {"a host that opens and closes", "echo=0", {{50, S::Open}, {60, S::Write, "AT\r"}, {150, S::Close}},
         250, kOk, 60, 110},
    };
    // clang-format on
    char dir[] = "/tmp/vmodem-port.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Heard heard = play(row, std::string(dir) + "/com1");
        EXPECT_EQ(heard.bytes, row.heard);
        EXPECT_GE(heard.first, row.first_at_least);
        EXPECT_LE(heard.first, row.first_at_most);
        // The modem saw the host's open and close when this loop next ran: on
        // a loaded machine that can be some tens of ms later, never earlier.
        const auto [opened, closed] = host_times(row);
        EXPECT_GE(heard.opened, opened);
        EXPECT_LE(heard.opened, opened + kSchedulingSlack);
        EXPECT_GE(heard.closed, closed);
        EXPECT_LE(heard.closed, closed < 0 ? -1 : closed + kSchedulingSlack);
    }
    ::rmdir(dir);
}

}  // namespace
