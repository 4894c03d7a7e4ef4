#include "cli/posix/table_search.h"

#include <limits.h>
#include <unistd.h>

#include "core/country_table.h"

// KORVANE_SYSCONFDIR and KORVANE_DATADIR: where the build installs its tables.
std::vector<std::string> TableCandidates(const std::string& given, const std::string& programDir) {
    if (!given.empty()) return {given};
    return {std::string(KORVANE_SYSCONFDIR "/korvane/") + kCountryTableFile,
            std::string(KORVANE_DATADIR "/korvane/") + kCountryTableFile, programDir + "/" + kCountryTableFile};
}

std::string FindTable(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates)
        if (access(path.c_str(), F_OK) == 0) return path;
    return "";
}

std::string ProgramDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/'));
}
