// The directory of the executable, taken from the process command line.
#pragma once
#include <cstddef>

// Writes into dir (of dirSize characters) the directory of the executable
// named first on commandLine, with its trailing backslash; an empty text
// (the current directory) when the name holds no backslash or the directory
// does not fit.
void ExeDirFromCommandLine(const char* commandLine, char* dir, std::size_t dirSize);
