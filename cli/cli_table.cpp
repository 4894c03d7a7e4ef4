// The country table as korvane-cli reads it: the window's rules, and what
// they pass over said on standard error, line by line.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "cli/cli_parts.h"

namespace {

// A table is a file: a device or a FIFO would feed the reader for ever or hold it up.
bool IsRegularFile(std::FILE* file) {
    struct stat info;
    return fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
}

// A table written on Windows ends its lines with CR LF: the CR is no part of the code.
void StripCarriageReturns(CountryRecord& record) {
    for (char* field : {record.name, record.modemId, record.bitmap, record.code})
        for (std::size_t end = std::strlen(field); end > 0 && field[end - 1] == '\r'; --end) field[end - 1] = '\0';
}

void Warn(const std::string& path, const TableFinding& finding) {
    static const char* const kWhat[] = {"longer than 254 characters, read as more than one line",
                                        "fewer than four fields, left out",
                                        "past the table's limit of 200 countries, left out"};
    CliSay("korvane-cli: %s line %d: %s\n", path.c_str(), finding.line, kWhat[finding.kind]);
}

}  // namespace

bool LoadTable(CliPlatform& platform, const CliOptions& options, CountryRecord* table, int& count,
               std::string& error) {
    count = 0;
    const std::string path = platform.TablePath(options.table, error);
    if (path.empty()) return false;
    std::FILE* file = platform.OpenTable(path);
    if (!file) {
        error = "the country table could not be read: " + path;
        return false;
    }
    const bool regular = IsRegularFile(file);
    TableFindings findings;
    if (regular) count = ReadCountryTable(file, table, &findings);
    std::fclose(file);
    if (!regular) {
        error = "the country table is not a regular file: " + path;
        return false;
    }
    for (const TableFinding& finding : findings) Warn(path, finding);
    for (int i = 0; i < count; ++i) StripCarriageReturns(table[i]);
    if (count == 0) error = "the country table holds no country: " + path;
    if (count > 0 && options.verbose)
        CliSay("korvane-cli: country table %s (%d countries)\n", path.c_str(), count);
    return count > 0;
}
