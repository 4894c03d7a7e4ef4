#include "app/app_dir.h"

#include <cstring>

void ExeDirFromCommandLine(const char* commandLine, char* dir, std::size_t dirSize) {
    dir[0] = '\0';
    if (!commandLine) return;
    while (*commandLine == '"') ++commandLine;
    // The path runs to the next double quote or the end of the line.
    std::size_t length = std::strcspn(commandLine, "\"");
    // Keep everything up to and including the last backslash.
    while (length > 0 && commandLine[length - 1] != '\\') --length;
    if (length == 0 || length >= dirSize) return;
    std::memcpy(dir, commandLine, length);
    dir[length] = '\0';
}
