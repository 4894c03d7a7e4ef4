#include "tools/bench/size_figures.h"

#include <windows.h>

#include <utility>

#include "tools/driver/korvane_process.h"

namespace bench {

namespace {

BOOL CALLBACK CountFlag(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR data) {
    // The flags are the named bitmaps; the pictures have numbers.
    if (IS_INTRESOURCE(name)) return TRUE;
    auto* total = reinterpret_cast<std::pair<double, int>*>(data);
    if (HRSRC resource = FindResourceA(module, name, type)) {
        total->first += SizeofResource(module, resource);
        ++total->second;
    }
    return TRUE;
}

double FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

}  // namespace

void MeasureSize(const Context& context, SizeFigures& figures) {
    const double with = FileBytes(context.exe);
    if (with >= 0)
        figures.exeSize.values.push_back(with);
    else
        figures.exeSize.Fail("korvane.exe not found");
    const double without = FileBytes(drv::KorvaneBinDir() + "korvane_noflags.exe");
    if (without >= 0)
        figures.exeNoFlags.values.push_back(without);
    else
        figures.exeNoFlags.Fail("korvane_noflags.exe not built");
    HMODULE module = LoadLibraryExA(context.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::pair<double, int> flags{0, 0};
    if (module) {
        EnumResourceNamesA(module, RT_BITMAP, CountFlag, reinterpret_cast<LONG_PTR>(&flags));
        FreeLibrary(module);
    }
    figures.flagCount = flags.second;
    if (flags.second)
        figures.flagBytes.values.push_back(flags.first);
    else
        figures.flagBytes.Fail("no named bitmaps in the program's resources");
}

}  // namespace bench
