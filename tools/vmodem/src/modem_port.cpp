#include "modem_port.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "line_settings.h"

namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kBulkChunk = 4096;
constexpr std::size_t kMaxQueued = 1u << 20;      // queued echo/reply/send bytes
constexpr std::size_t kMaxWritePass = 64 * 1024;  // per event, to stay fair to other ports
constexpr std::size_t kEndlessPerTick = 1024;
constexpr std::int64_t kEndlessTickMs = 10;
constexpr std::size_t kMaxEndlessBudget = 16 * kEndlessPerTick;
constexpr std::int64_t kErrorPauseMs = 100;
// A modem waking from its deafness answers the lines it kept one this far
// after the other, as a modem working through its input does.
constexpr std::int64_t kWakeLineMs = 10;
constexpr std::size_t kMaxHeard = 4096;

}  // namespace

ModemPort::ModemPort(std::string link_path, const Clock& clock)
    : clock_(clock), link_path_(std::move(link_path)), random_(std::random_device{}()) {}

void ModemPort::set_present(bool present) {
    if (present == this->present()) return;
    if (present) {
        pty_ = std::make_unique<PtyPort>(link_path_);
        return;
    }
    pty_.reset();
    drop_output();
    endless_ = false;
    paused_until_ = -1;
    hosts_ = 0;
    deaf_until_ = ring_next_ = -1;
    heard_while_deaf_.clear();
    engine_.reset_line();
}

void ModemPort::send(std::string bytes) {
    push_segment(std::move(bytes));
    write_output();
}

void ModemPort::flood(std::uint64_t count) {
    flood_left_ += count;
    write_output();
}

void ModemPort::set_endless(bool on) {
    if (on && !endless_) endless_next_tick_ = clock_.now_ms();
    endless_ = on;
    if (!on) endless_budget_ = 0;
    run_timers();
}

std::optional<std::string> ModemPort::line_settings() const {
    if (!pty_ || pty_->slave() < 0) return std::nullopt;
    return describe_line_settings(pty_->slave());
}

int ModemPort::poll_fd() const { return pty_ && !paused() ? pty_->master() : -1; }

int ModemPort::host_fd() const { return pty_ ? pty_->host_watch() : -1; }

void ModemPort::handle_host_events() {
    if (!pty_) return;
    const std::int64_t now = clock_.now_ms();
    const int before = hosts_;
    hosts_ = std::max(0, hosts_ + pty_->take_host_changes());
    if (before == 0 && hosts_ > 0) {
        host_opened_ = now;
        host_closed_ = -1;
        deaf_until_ = engine_.settings().deaf_ms ? now + engine_.settings().deaf_ms : -1;
        heard_while_deaf_.clear();
    }
    if (before > 0 && hosts_ == 0) host_closed_ = now;
}

short ModemPort::poll_events() const { return static_cast<short>(POLLIN | (has_output() ? POLLOUT : 0)); }

void ModemPort::handle_events(short revents) {
    if (!pty_) return;
    if (revents & (POLLIN | POLLHUP | POLLERR)) receive();
    if (revents & POLLOUT) write_output();
}

void ModemPort::run_timers() {
    if (!pty_) return;
    const std::int64_t now = clock_.now_ms();
    if (paused() && now >= paused_until_) paused_until_ = -1;
    if (deaf_until_ >= 0 && !deaf(now)) wake(now);
    tick_ring(now);
    release_due_replies(now);
    tick_endless(now);
    write_output();
}

std::optional<std::int64_t> ModemPort::next_deadline() const {
    if (!pty_) return std::nullopt;
    std::optional<std::int64_t> next;
    auto consider = [&](std::int64_t t) { next = next ? std::min(*next, t) : t; };
    if (!replies_.empty()) consider(replies_.front().due_ms);
    if (endless_) consider(endless_next_tick_);
    if (paused()) consider(paused_until_);
    if (deaf_until_ >= 0) consider(deaf_until_);
    if (ring_next_ >= 0) consider(ring_next_);
    return next;
}

void ModemPort::wake(std::int64_t now) {
    deaf_until_ = -1;
    const std::string heard = std::move(heard_while_deaf_);
    heard_while_deaf_.clear();
    std::int64_t offset = 0;
    for (std::size_t start = 0; start < heard.size(); offset += kWakeLineMs) {
        const std::size_t end = std::min(heard.find('\r', start), heard.size() - 1) + 1;
        queue(engine_.feed(std::string_view(heard).substr(start, end - start)), now, offset);
        start = end;
    }
}

void ModemPort::tick_ring(std::int64_t now) {
    const std::uint32_t every = engine_.settings().ring_ms;
    if (every == 0) {
        ring_next_ = -1;
        return;
    }
    if (ring_next_ < 0) ring_next_ = now + every;
    if (now < ring_next_) return;
    ring_next_ = now + every;
    push_segment(engine_.ring());
}

void ModemPort::receive() {
    char buffer[kReadChunk];
    for (int reads = 0; reads < 16; ++reads) {
        ssize_t n = ::read(pty_->master(), buffer, sizeof buffer);
        if (n > 0) {
            const std::int64_t now = clock_.now_ms();
            std::string_view data(buffer, static_cast<std::size_t>(n));
            transcript_.received(now, data);
            if (!deaf(now))
                queue(engine_.feed(data), now);
            else if (engine_.settings().deafkeep && heard_while_deaf_.size() + data.size() <= kMaxHeard)
                heard_while_deaf_ += data;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        pause_after_error();  // e.g. EIO: the other side is gone
        break;
    }
    write_output();
}

void ModemPort::queue(std::vector<Emission> emissions, std::int64_t now, std::int64_t offset_ms) {
    for (Emission& e : emissions) {
        // Echo is never delayed; replies keep their order among themselves.
        std::int64_t due = now + offset_ms + e.delay_ms;
        if (e.kind == Emission::Kind::Echo || (due <= now && replies_.empty())) {
            push_segment(std::move(e.bytes));
            continue;
        }
        if (!replies_.empty()) due = std::max(due, replies_.back().due_ms);
        replies_.push_back({due, e.spacing_ms, std::move(e.bytes)});
    }
    release_due_replies(now);
}

void ModemPort::push_segment(std::string bytes) {
    if (bytes.empty() || out_bytes_ + bytes.size() > kMaxQueued) return;
    out_bytes_ += bytes.size();
    out_.push_back({std::move(bytes), 0});
}

void ModemPort::release_due_replies(std::int64_t now) {
    while (!replies_.empty() && replies_.front().due_ms <= now) {
        push_segment(std::move(replies_.front().bytes));
        replies_.pop_front();
        if (!replies_.empty()) {
            PendingReply& next = replies_.front();
            next.due_ms = std::max(next.due_ms, now + next.spacing_ms);
        }
    }
}

void ModemPort::tick_endless(std::int64_t now) {
    if (!endless_) return;
    while (endless_next_tick_ <= now) {
        endless_budget_ = std::min(endless_budget_ + kEndlessPerTick, kMaxEndlessBudget);
        endless_next_tick_ += kEndlessTickMs;
    }
}

bool ModemPort::has_output() const { return !out_.empty() || flood_left_ > 0 || endless_budget_ > 0; }

void ModemPort::write_output() {
    if (!pty_ || paused()) return;
    std::size_t written = 0;
    while (written < kMaxWritePass) {
        if (!out_.empty()) {
            Segment& s = out_.front();
            ssize_t n = ::write(pty_->master(), s.bytes.data() + s.offset, s.bytes.size() - s.offset);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) pause_after_error();
                return;
            }
            auto count = static_cast<std::size_t>(n);
            transcript_.sent(clock_.now_ms(), std::string_view(s.bytes).substr(s.offset, count));
            written += count;
            s.offset += count;
            if (s.offset < s.bytes.size()) return;  // the pty is full; wait for POLLOUT
            out_bytes_ -= s.bytes.size();
            out_.pop_front();
        } else if (flood_left_ > 0) {
            std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(flood_left_, kBulkChunk));
            std::size_t before = flood_left_;
            if (!write_bulk("flood", want, true)) return;
            written += before - flood_left_;
        } else if (endless_budget_ > 0) {
            std::size_t before = endless_budget_;
            if (!write_bulk("endless", std::min(endless_budget_, kBulkChunk), false)) return;
            written += before - endless_budget_;
        } else {
            return;
        }
    }
}

// Writes up to `want` generated bytes of a flood (random) or endless line
// (printable, never CR or LF). False when the pty took less than offered.
bool ModemPort::write_bulk(const char* label, std::size_t want, bool random) {
    static constexpr char kLine[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    constexpr std::size_t kLineLength = sizeof kLine - 1;
    char buffer[kBulkChunk];
    for (std::size_t i = 0; i < want; ++i)
        buffer[i] = random ? static_cast<char>(random_() & 0xff) : kLine[(endless_position_ + i) % kLineLength];

    ssize_t n = ::write(pty_->master(), buffer, want);
    if (n < 0) {
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) pause_after_error();
        return false;
    }
    auto count = static_cast<std::size_t>(n);
    transcript_.sent_bulk(clock_.now_ms(), label, count);
    if (random) {
        flood_left_ -= count;
    } else {
        endless_budget_ -= count;
        endless_position_ = (endless_position_ + count) % kLineLength;
    }
    return count == want;
}

void ModemPort::drop_output() {
    out_.clear();
    out_bytes_ = 0;
    replies_.clear();
    flood_left_ = 0;
    endless_budget_ = 0;
}

bool ModemPort::paused() const { return paused_until_ >= 0; }

// A failing pty must not make the loop spin: stop watching it for a moment.
void ModemPort::pause_after_error() {
    drop_output();
    paused_until_ = clock_.now_ms() + kErrorPauseMs;
}
