#include "framework/area_resample.h"

#include <algorithm>
#include <vector>

namespace {

// One line of pixels, stride apart: targetCount samples from sourceCount.
// Positions are counted in units of 1/(sourceCount * targetCount) of the
// line: source pixel i spans [i * targetCount, (i + 1) * targetCount),
// target pixel x spans [x * sourceCount, (x + 1) * sourceCount).
void ResampleLine(const std::uint32_t* source, int sourceCount, std::uint32_t* target, int targetCount, int stride) {
    for (long x = 0; x < targetCount; ++x) {
        const long begin = x * sourceCount, end = begin + sourceCount;
        unsigned long sum[4] = {};
        for (long i = begin / targetCount; i * targetCount < end; ++i) {
            const unsigned long weight = std::min(end, (i + 1) * targetCount) - std::max(begin, i * targetCount);
            const std::uint32_t pixel = source[i * stride];
            for (int byte = 0; byte < 4; ++byte) sum[byte] += ((pixel >> (8 * byte)) & 0xFF) * weight;
        }
        std::uint32_t mean = 0;
        for (int byte = 0; byte < 4; ++byte)
            mean |= static_cast<std::uint32_t>((sum[byte] + sourceCount / 2) / sourceCount) << (8 * byte);
        target[x * stride] = mean;
    }
}

}  // namespace

void ResampleByArea(const std::uint32_t* source, int sourceWidth, int sourceHeight, std::uint32_t* target,
                    int targetWidth, int targetHeight) {
    // Across first, into a picture of the target's width, then down.
    std::vector<std::uint32_t> across(static_cast<std::size_t>(targetWidth) * sourceHeight);
    for (int y = 0; y < sourceHeight; ++y)
        ResampleLine(source + static_cast<std::size_t>(y) * sourceWidth, sourceWidth,
                     across.data() + static_cast<std::size_t>(y) * targetWidth, targetWidth, 1);
    for (int x = 0; x < targetWidth; ++x)
        ResampleLine(across.data() + x, sourceHeight, target + x, targetHeight, targetWidth);
}
