#include "tools/driver/icon_bits.h"

#include "tools/driver/unique_handle.h"

namespace drv {

namespace {

constexpr int kTrayIconIds[] = {128, 189, 191};

// Bytes GetBitmapBits yields for a bitmap, rounded to whole words.
LONG BitsSize(const BITMAP& bitmap) {
    return (bitmap.bmPlanes * bitmap.bmWidth * bitmap.bmHeight * bitmap.bmBitsPixel + 15) / 16 * 2;
}

}  // namespace

std::uint64_t HashBytes(const void* data, std::size_t size) {
    std::uint64_t hash = 1469598103934665603ull;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::vector<unsigned char> IconBits(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return {};
    std::vector<unsigned char> bits;
    BITMAP mask = {}, colour = {};
    if (GetObjectW(info.hbmMask, sizeof mask, &mask) && info.hbmColor &&
        GetObjectW(info.hbmColor, sizeof colour, &colour)) {
        const LONG maskSize = BitsSize(mask);
        const LONG colourSize = BitsSize(colour);
        bits.resize(static_cast<size_t>(maskSize + colourSize));
        GetBitmapBits(info.hbmMask, maskSize, bits.data());
        GetBitmapBits(info.hbmColor, colourSize, bits.data() + maskSize);
    }
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return bits;
}

bool ProgramIcons::Load(const std::string& exePath, std::string* error) {
    HMODULE module = LoadLibraryExA(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        *error = "cannot load " + exePath + " as data";
        return false;
    }
    known_.clear();
    for (int id : kTrayIconIds) {
        HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        if (!icon) continue;
        const std::vector<unsigned char> bits = IconBits(icon);
        known_.push_back({id, HashBytes(bits.data(), bits.size())});
        DestroyIcon(icon);
    }
    FreeLibrary(module);
    if (known_.size() != std::size(kTrayIconIds)) {
        *error = "the program's tray icons could not all be loaded";
        return false;
    }
    return true;
}

int ProgramIcons::Identify(std::uint64_t bitsHash) const {
    for (const Known& k : known_)
        if (k.hash == bitsHash) return k.id;
    return 0;
}

}  // namespace drv
