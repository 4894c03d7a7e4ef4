#include "core/country_table.h"

#include <cstring>

namespace {

constexpr int kLineBuffer = 255;  // fgets reads at most 254 characters a time
const char kDelimiters[] = ",\n";

// Copies a field cut to its width, always zero-terminated and zero-padded.
template <std::size_t N>
void CopyField(char (&field)[N], const char* value) {
    std::strncpy(field, value, N - 1);
    field[N - 1] = '\0';
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Lower-cases the ASCII letters A to Z only, whatever the locale.
void AsciiLower(char* text) {
    for (; *text; ++text) *text = AsciiLower(*text);
}

bool SameIgnoringAsciiCase(const char* a, const char* b) {
    for (; *a && AsciiLower(*a) == AsciiLower(*b); ++a, ++b) {}
    return *a == *b;
}

// Where a reader that reports its findings is: the line it reads, and
// whether the piece just read ended it.
class LineTracker {
public:
    explicit LineTracker(TableFindings* findings) : m_findings(findings) {}

    // Reads the next piece of at most kLineBuffer - 1 characters, as fgets does.
    bool Read(char* piece, std::FILE* file) {
        if (!m_findings) return std::fgets(piece, kLineBuffer, file) != nullptr;
        m_line += m_ended ? 1 : 0;
        // A piece may hold NULs: its end is the last byte that is no fill, its terminator.
        std::memset(piece, '\n', kLineBuffer);
        if (!std::fgets(piece, kLineBuffer, file)) return false;
        int end = kLineBuffer - 1;
        while (end > 0 && piece[end] == '\n') --end;
        const bool continues = !m_ended;
        m_ended = end > 0 && piece[end - 1] == '\n';
        m_blank = std::strspn(piece, "\r\n") == static_cast<std::size_t>(end);
        // The rest of a line read in more than one piece (a line end alone is no rest).
        if (continues) Note(TableFinding::Split);
        return true;
    }
    // Notes a finding for the current line, once.
    void Note(TableFinding::Kind kind) {
        if (!m_findings || m_blank) return;
        for (const TableFinding& finding : *m_findings)
            if (finding.line == m_line && finding.kind == kind) return;
        m_findings->push_back({kind, m_line});
    }
    bool ReadsPastTheLimit() const { return m_findings != nullptr; }

private:
    TableFindings* m_findings;
    int m_line = 0;
    bool m_ended = true;
    bool m_blank = false;
};

}  // namespace

int ReadCountryTable(std::FILE* file, CountryRecord* table, TableFindings* findings) {
    char line[kLineBuffer];
    LineTracker tracker(findings);
    int count = 0;
    while ((count < kMaxCountries || tracker.ReadsPastTheLimit()) && tracker.Read(line, file)) {
        const char* fields[4];
        fields[0] = std::strtok(line, kDelimiters);
        int found = fields[0] ? 1 : 0;
        while (found > 0 && found < 4 && (fields[found] = std::strtok(nullptr, kDelimiters))) ++found;
        if (found < 4) {
            tracker.Note(TableFinding::Dropped);
            continue;  // an empty line, only delimiters, or fewer than four fields
        }
        if (count == kMaxCountries) {
            tracker.Note(TableFinding::PastLimit);
            continue;
        }
        CountryRecord& record = table[count++];
        CopyField(record.name, fields[0]);
        CopyField(record.modemId, fields[1]);
        CopyField(record.bitmap, fields[2]);
        CopyField(record.code, fields[3]);
    }
    return count;
}

int LoadCountryFile(const char* path, CountryRecord* table) {
    std::FILE* file = std::fopen(path, "r");
    if (!file) return -1;
    const int count = ReadCountryTable(file, table);
    std::fclose(file);
    return count;
}

int FindCountry(const char* reply, const CountryRecord* table, int count) {
    char text[kLineSize];
    std::strncpy(text, reply, sizeof text - 1);
    text[sizeof text - 1] = '\0';
    AsciiLower(text);
    for (int i = 0; i < count; ++i) {
        char id[sizeof table[i].modemId];
        std::memcpy(id, table[i].modemId, sizeof id);
        id[sizeof id - 1] = '\0';
        AsciiLower(id);
        if (std::strstr(text, id)) return i;
    }
    return -1;
}

int FindCountryByNameOrCode(const char* text, const CountryRecord* table, int count) {
    for (int i = 0; i < count; ++i)
        if (SameIgnoringAsciiCase(table[i].name, text)) return i;
    for (int i = 0; i < count; ++i)
        if (SameIgnoringAsciiCase(table[i].code, text)) return i;
    return -1;
}
