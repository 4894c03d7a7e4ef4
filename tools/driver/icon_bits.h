// The bits of an icon as the shell hands them to the notification area, and
// which of the program's icons a set of such bits shows.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace drv {

// FNV-1a over a byte range.
std::uint64_t HashBytes(const void* data, std::size_t size);

// The mask bits followed by the colour bits, extracted as shell32's
// Shell_NotifyIcon does (GetIconInfo + GetBitmapBits).
std::vector<unsigned char> IconBits(HICON icon);

// The program's tray icons, loaded from its file at 16 x 16 as it loads them.
class ProgramIcons {
public:
    bool Load(const std::string& exePath, std::string* error);
    // The resource id (128, 189, 191) whose bits hash to this value, or 0.
    int Identify(std::uint64_t bitsHash) const;

private:
    struct Known {
        int id;
        std::uint64_t hash;
    };
    std::vector<Known> known_;
};

}  // namespace drv
