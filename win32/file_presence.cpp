#include "win32/file_presence.h"

namespace {

bool Missing(DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool NothingAt(const char* path) { return Missing(GetFileAttributesA(path)); }
bool NothingAt(const wchar_t* path) { return Missing(GetFileAttributesW(path)); }
