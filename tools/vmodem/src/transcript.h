#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// Record of the traffic on one modem line, one entry per read or write.
// Bulk streams (flood, endless) are recorded as byte counts only. When the
// record grows past its cap the oldest entries are dropped.
class Transcript {
public:
    explicit Transcript(std::size_t cap_bytes = 2u << 20) : cap_(cap_bytes) {}

    void received(std::int64_t ms, std::string_view bytes);
    void sent(std::int64_t ms, std::string_view bytes);
    void sent_bulk(std::int64_t ms, const char* label, std::size_t count);
    void clear();

    // "rx <ms> <hex>", "tx <ms> <hex>" or "tx <ms> <label> <count>" lines.
    std::string render() const;

private:
    struct Entry {
        std::int64_t ms;
        bool received;
        std::string bytes;
        const char* bulk_label;  // non-null for a bulk entry
        std::size_t bulk_count;
    };

    void add(Entry entry);
    static std::size_t cost(const Entry& e) { return e.bytes.size() + 32; }

    std::size_t cap_;
    std::size_t stored_ = 0;
    std::deque<Entry> entries_;
};
