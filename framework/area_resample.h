// Resampling a picture by area: each target pixel is the mean of the source
// area it covers, each source pixel weighted by how much of it lies there.
// Enlarged, a flat colour stays flat and the edge between two colours takes
// at most one pixel of their blend, so flags and lettering stay sharp; at a
// whole ratio every source pixel becomes a block of its own colour.
#pragma once
#include <cstdint>

// Pictures are rows of 32-bit pixels, top row first, with no gap between
// rows; each of the four bytes of a pixel is averaged on its own.
void ResampleByArea(const std::uint32_t* source, int sourceWidth, int sourceHeight, std::uint32_t* target,
                    int targetWidth, int targetHeight);
