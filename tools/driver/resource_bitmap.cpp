#include "tools/driver/resource_bitmap.h"

#include <windows.h>

#include <vector>

#include "tools/driver/spy_shared.h"

namespace drv {

unsigned long long ResourceBitmapBitsHash(const std::string& exePath, const std::string& name) {
    HMODULE module = LoadLibraryExA(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 0;
    unsigned long long hash = 0;
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module, name.c_str(), IMAGE_BITMAP, 0, 0, 0));
    BITMAP info = {};
    if (bitmap && GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
        std::vector<unsigned char> bits(static_cast<size_t>(info.bmWidthBytes * info.bmHeight * info.bmPlanes));
        const LONG got = GetBitmapBits(bitmap, static_cast<LONG>(bits.size()), bits.data());
        hash = spy::HashBits(bits.data(), static_cast<unsigned>(got));
    }
    if (bitmap) DeleteObject(bitmap);
    FreeLibrary(module);
    return hash;
}

}  // namespace drv
