#include "command_line_reader.h"

namespace {

bool is_a(char c) { return c == 'a' || c == 'A'; }
bool is_t(char c) { return c == 't' || c == 'T'; }

}  // namespace

std::optional<CommandLineReader::Line> CommandLineReader::push(char c) {
    if (c == '\r') {
        std::optional<Line> line;
        if (state_ == State::InCommand) line = Line{std::move(body_), overflow_};
        reset();
        return line;
    }
    if (c == '\n') return std::nullopt;

    switch (state_) {
    case State::Seeking:
        if (is_a(c)) state_ = State::SawA;
        break;
    case State::SawA: state_ = is_t(c) ? State::InCommand : is_a(c) ? State::SawA : State::Seeking; break;
    case State::InCommand:
        if (c == '\b' || c == 0x7f) {
            if (!body_.empty()) body_.pop_back();
        } else if (body_.size() < kMaxBody) {
            body_.push_back(c);
        } else {
            overflow_ = true;
        }
        break;
    }
    return std::nullopt;
}

void CommandLineReader::reset() {
    state_ = State::Seeking;
    body_.clear();
    overflow_ = false;
}
