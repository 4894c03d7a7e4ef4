#include "framework/dpi_pictures.h"

#include <cstdint>
#include <vector>

#include "framework/area_resample.h"
#include "framework/win_app.h"
#include "win32/scoped_handle.h"

namespace {

// The DPI the program's pictures are drawn for.
constexpr int kPictureDpi = 96;

int SystemDpi() {
    const ScopedWindowDC screen(nullptr);
    return screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : kPictureDpi;
}

// Pixels of 32 bits, the top row first, as GetDIBits and CreateDIBSection take them.
BITMAPINFO PixelFormat(int width, int height) {
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    return format;
}

HBITMAP ScaledCopy(HBITMAP picture, int dpi) {
    BITMAP size = {};
    if (GetObjectA(picture, sizeof size, &size) != sizeof size) return nullptr;
    const int width = MulDiv(size.bmWidth, dpi, kPictureDpi), height = MulDiv(size.bmHeight, dpi, kPictureDpi);
    const ScopedWindowDC screen(nullptr);
    BITMAPINFO sourceFormat = PixelFormat(size.bmWidth, size.bmHeight);
    std::vector<std::uint32_t> source(static_cast<std::size_t>(size.bmWidth) * size.bmHeight);
    if (GetDIBits(screen.Get(), picture, 0, size.bmHeight, source.data(), &sourceFormat, DIB_RGB_COLORS) !=
        size.bmHeight)
        return nullptr;
    const BITMAPINFO targetFormat = PixelFormat(width, height);
    void* bits = nullptr;
    HBITMAP scaled = CreateDIBSection(screen.Get(), &targetFormat, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!scaled) return nullptr;
    auto* target = static_cast<std::uint32_t*>(bits);
    ResampleByArea(source.data(), size.bmWidth, size.bmHeight, target, width, height);
    // Opaque: GetDIBits leaves the fourth byte 0.
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) target[i] |= 0xFF000000u;
    return scaled;
}

}  // namespace

HBITMAP DpiCopy(HBITMAP picture) {
    const int dpi = SystemDpi();
    return dpi == kPictureDpi ? nullptr : ScaledCopy(picture, dpi);
}

HBITMAP LoadDpiBitmap(const char* name) {
    HBITMAP resource = LoadBitmapA(AppInstance(), name);
    HBITMAP scaled = resource ? DpiCopy(resource) : nullptr;
    if (!scaled) return resource;
    DeleteObject(resource);
    return scaled;
}
