// Whether anything is at a path, as the programs ask before choosing a table.
#pragma once
#include <windows.h>

// True only when nothing at all is at path. A file that is there but cannot
// be read, or a folder of that name, is present: its fault is reported, not
// passed over.
bool NothingAt(const char* path);
bool NothingAt(const wchar_t* path);
