// Which country table a Linux korvane-cli reads. A Linux program has no
// "beside the program" for its data: the administrator's copy under the
// system configuration directory it was installed for (/etc/korvane) comes
// first, then the package's own under its data directory
// (/usr/share/korvane), then the one beside the program, which is what a
// build tree has.
#pragma once
#include <string>
#include <vector>

// The places looked at, in order: the file given with --table alone when
// there is one; else <sysconfdir>/korvane/korvane.ini,
// <datadir>/korvane/korvane.ini and <programDir>/korvane.ini.
std::vector<std::string> TableCandidates(const std::string& given, const std::string& programDir);

// The first candidate that exists, even one that cannot be read (so that a
// broken /etc copy is reported, not passed over); "" when none does.
std::string FindTable(const std::vector<std::string>& candidates);

// The directory of the running program, from /proc/self/exe.
std::string ProgramDirectory();
