#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "clock.h"
#include "emission.h"
#include "modem_engine.h"
#include "pty_port.h"
#include "transcript.h"

// One attached modem: its command engine, its pty while present, the bytes
// waiting to go out and the transcript of the line. All writes to the pty
// are non-blocking; what does not fit waits for the event loop. It sees a
// host open and close the port; its own timers ring the line and end its
// deafness after the host's open.
class ModemPort {
public:
    ModemPort(std::string link_path, const Clock& clock);

    ModemEngine& engine() { return engine_; }
    Transcript& transcript() { return transcript_; }

    bool present() const { return pty_ != nullptr; }
    // Creating the pty may throw std::system_error. Going absent drops all
    // pending output and streams.
    void set_present(bool present);

    // These need the port present.
    void send(std::string bytes);
    void flood(std::uint64_t count);
    void set_endless(bool on);
    std::optional<std::string> line_settings() const;

    // Event loop hooks.
    int poll_fd() const;  // -1: nothing to watch now
    short poll_events() const;
    void handle_events(short revents);
    int host_fd() const;  // readable when a host opened or closed the port
    void handle_host_events();
    // The last host's open and close, ms on the clock; -1: none (yet).
    std::int64_t host_opened() const { return host_opened_; }
    std::int64_t host_closed() const { return host_closed_; }
    void run_timers();
    std::optional<std::int64_t> next_deadline() const;

private:
    struct Segment {
        std::string bytes;
        std::size_t offset = 0;
    };
    struct PendingReply {
        std::int64_t due_ms;
        std::uint32_t spacing_ms;
        std::string bytes;
    };

    void receive();
    // Replies are due offset_ms later than their own delay says.
    void queue(std::vector<Emission> emissions, std::int64_t now, std::int64_t offset_ms = 0);
    bool deaf(std::int64_t now) const { return deaf_until_ >= 0 && now < deaf_until_; }
    void wake(std::int64_t now);
    void tick_ring(std::int64_t now);
    void push_segment(std::string bytes);
    void release_due_replies(std::int64_t now);
    void tick_endless(std::int64_t now);
    bool has_output() const;
    void write_output();
    bool write_bulk(const char* label, std::size_t want, bool random);
    void drop_output();
    bool paused() const;
    void pause_after_error();

    const Clock& clock_;
    const std::string link_path_;
    ModemEngine engine_;
    Transcript transcript_;
    std::unique_ptr<PtyPort> pty_;

    std::deque<Segment> out_;  // echo, replies and sends, written in order
    std::size_t out_bytes_ = 0;
    std::deque<PendingReply> replies_;  // delayed reply writes, due times ascending
    std::uint64_t flood_left_ = 0;
    bool endless_ = false;
    std::int64_t endless_next_tick_ = 0;
    std::size_t endless_budget_ = 0;  // endless bytes allowed out now
    std::size_t endless_position_ = 0;
    std::int64_t paused_until_ = -1;  // back-off after an I/O error on the pty
    int hosts_ = 0;                   // hosts that have the port open
    std::int64_t host_opened_ = -1, host_closed_ = -1;
    std::int64_t deaf_until_ = -1;  // -1: hearing; a host's open starts the deafness
    std::string heard_while_deaf_;  // kept for the waking modem to answer (deafkeep)
    std::int64_t ring_next_ = -1;   // -1: no ringing
    std::mt19937 random_;
};
