// A bitmap resource of the program's file, as the program would load it.
#pragma once
#include <string>

namespace drv {

// spy::HashBits of the bits of the named bitmap resource of exePath, loaded
// as a device-dependent bitmap like LoadBitmap does; 0 when it cannot be loaded.
unsigned long long ResourceBitmapBitsHash(const std::string& exePath, const std::string& name);

}  // namespace drv
