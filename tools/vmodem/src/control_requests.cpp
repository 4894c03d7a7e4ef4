#include "control_requests.h"

#include <optional>
#include <exception>

#include "engine_knobs.h"
#include "text_escape.h"

namespace {

struct BadRequest {
    std::string reason;
};

// Splits a request into space-separated words; a text argument is the
// rest of the line after the single space that follows the previous word.
class Args {
public:
    explicit Args(std::string_view line) : rest_(line) {}

    std::string_view word(const char* what) {
        std::size_t start = rest_.find_first_not_of(' ');
        if (start == std::string_view::npos) throw BadRequest{"missing " + std::string(what)};
        rest_.remove_prefix(start);
        std::size_t end = std::min(rest_.find(' '), rest_.size());
        std::string_view w = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return w;
    }

    std::string_view text(const char* what) {
        if (rest_.empty()) throw BadRequest{"missing " + std::string(what)};
        std::string_view t = rest_.substr(1);
        rest_ = {};
        return t;
    }

    void end() {
        if (rest_.find_first_not_of(' ') != std::string_view::npos) throw BadRequest{"unexpected argument"};
    }

private:
    std::string_view rest_;
};

std::uint64_t parse_number(std::string_view text, std::uint64_t max) {
    if (text.empty() || text.size() > 12) throw BadRequest{"bad number"};
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw BadRequest{"bad number"};
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max) throw BadRequest{"number too large"};
    return value;
}

bool parse_flag(std::string_view text) {
    if (text != "0" && text != "1") throw BadRequest{"expected 0 or 1"};
    return text == "1";
}

int port_number(Args& args) {
    std::string_view w = args.word("port number");
    if (w.size() != 1 || w[0] < '0' + ModemRack::kFirstPort || w[0] > '0' + ModemRack::kLastPort)
        throw BadRequest{"bad port number"};
    return w[0] - '0';
}

ModemPort& attached(ModemRack& rack, int n) {
    ModemPort* port = rack.find(n);
    if (!port) throw BadRequest{"COM" + std::to_string(n) + " not attached"};
    return *port;
}

ModemPort& present(ModemRack& rack, int n) {
    ModemPort& port = attached(rack, n);
    if (!port.present()) throw BadRequest{"COM" + std::to_string(n) + " not present"};
    return port;
}

std::string value_answer(const std::string& value) { return "= " + value + "\nOK\n"; }

std::string set_request(Args& args, ModemRack& rack, int n) {
    std::string_view knob = args.word("knob");
    std::string_view value = args.text("value");
    ModemPort& port = attached(rack, n);
    if (knob == "present") {
        port.set_present(parse_flag(value));
    } else if (std::optional<std::string> error = set_knob(port.engine().settings(), knob, value)) {
        throw BadRequest{*error};
    }
    return "OK\n";
}

std::string get_request(Args& args, ModemRack& rack, int n) {
    std::string_view knob = args.word("knob");
    args.end();
    ModemPort& port = attached(rack, n);
    if (knob == "present") return value_answer(port.present() ? "1" : "0");
    std::optional<std::string> value = get_knob(port.engine().settings(), knob);
    if (!value) throw BadRequest{"unknown knob"};
    return value_answer(*value);
}

std::string attach_request(Args& args, ModemRack& rack, int n) {
    args.end();
    rack.attach(n);
    return "OK\n";
}

std::string detach_request(Args& args, ModemRack& rack, int n) {
    args.end();
    rack.detach(n);
    return "OK\n";
}

std::string send_request(Args& args, ModemRack& rack, int n) {
    std::optional<std::string> bytes = unescape(args.text("text"));
    if (!bytes) throw BadRequest{"bad escape"};
    present(rack, n).send(std::move(*bytes));
    return "OK\n";
}

std::string flood_request(Args& args, ModemRack& rack, int n) {
    std::uint64_t count = parse_number(args.word("byte count"), 1ull << 32);
    args.end();
    present(rack, n).flood(count);
    return "OK\n";
}

std::string endless_request(Args& args, ModemRack& rack, int n) {
    bool on = parse_flag(args.word("0 or 1"));
    args.end();
    present(rack, n).set_endless(on);
    return "OK\n";
}

std::string transcript_request(Args& args, ModemRack& rack, int n) {
    args.end();
    return attached(rack, n).transcript().render() + "OK\n";
}

std::string clear_request(Args& args, ModemRack& rack, int n) {
    args.end();
    attached(rack, n).transcript().clear();
    return "OK\n";
}

std::string host_request(Args& args, ModemRack& rack, int n) {
    args.end();
    ModemPort& port = attached(rack, n);
    return value_answer(std::to_string(port.host_opened()) + " " + std::to_string(port.host_closed()));
}

std::string termios_request(Args& args, ModemRack& rack, int n) {
    args.end();
    std::optional<std::string> settings = present(rack, n).line_settings();
    if (!settings) throw BadRequest{"cannot read line settings"};
    return value_answer(*settings);
}

// Requests about one port; each takes the port number as its first argument.
struct PortRequest {
    const char* name;
    std::string (*handle)(Args& args, ModemRack& rack, int n);
};

const PortRequest kPortRequests[] = {
    {"attach", attach_request},   {"detach", detach_request},
    {"set", set_request},         {"get", get_request},
    {"send", send_request},       {"flood", flood_request},
    {"endless", endless_request}, {"transcript", transcript_request},
    {"clear", clear_request},     {"termios", termios_request},
    {"host", host_request},
};

}  // namespace

ControlAnswer handle_control_request(std::string_view line, ModemRack& rack, const Clock& clock) {
    try {
        Args args(line);
        std::string_view request = args.word("request");
        if (request == "now") {
            args.end();
            return {value_answer(std::to_string(clock.now_ms()))};
        }
        if (request == "quit") {
            args.end();
            return {"OK\n", true};
        }
        for (const PortRequest& known : kPortRequests)
            if (request == known.name) return {known.handle(args, rack, port_number(args))};
        throw BadRequest{"unknown request"};
    } catch (const BadRequest& bad) {
        return {"ERR " + bad.reason + "\n"};
    } catch (const std::exception& e) {
        return {"ERR " + std::string(e.what()) + "\n"};
    }
}
