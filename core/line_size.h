// The line size of the program.
#pragma once
#include <cstddef>

// Characters in a line of text, its terminating zero included: a reply line
// as the matcher assembles it, a pattern, the reply capture, a country's name
// and every status text the program formats.
constexpr std::size_t kLineSize = 80;
