// Conversions between the wide texts Windows hands across processes and
// the narrow texts the program uses.
#pragma once
#include <string>

namespace drv {

std::string Narrow(const std::wstring& wide);
std::wstring Widen(const std::string& narrow);

}  // namespace drv
