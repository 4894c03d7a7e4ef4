#include "transcript.h"

#include "text_escape.h"

void Transcript::received(std::int64_t ms, std::string_view bytes) {
    add({ms, true, std::string(bytes), nullptr, 0});
}

void Transcript::sent(std::int64_t ms, std::string_view bytes) {
    add({ms, false, std::string(bytes), nullptr, 0});
}

void Transcript::sent_bulk(std::int64_t ms, const char* label, std::size_t count) {
    add({ms, false, {}, label, count});
}

void Transcript::clear() {
    entries_.clear();
    stored_ = 0;
}

void Transcript::add(Entry entry) {
    stored_ += cost(entry);
    entries_.push_back(std::move(entry));
    while (stored_ > cap_ && !entries_.empty()) {
        stored_ -= cost(entries_.front());
        entries_.pop_front();
    }
}

std::string Transcript::render() const {
    std::string out;
    for (const Entry& e : entries_) {
        out += e.received ? "rx " : "tx ";
        out += std::to_string(e.ms);
        out += ' ';
        if (e.bulk_label)
            out += std::string(e.bulk_label) + ' ' + std::to_string(e.bulk_count);
        else
            out += to_hex(e.bytes);
        out += '\n';
    }
    return out;
}
