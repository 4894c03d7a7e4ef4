// Resampling by area, as the pictures are enlarged for the system's DPI:
// small pictures whose every target pixel is worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/area_resample.h"

namespace {

constexpr std::uint32_t A = 0xFF2040C0, B = 0xFFE0E0E0;

TEST(AreaResample, Pictures) {
    const struct {
        const char* what;
        int sourceWidth, sourceHeight;
        std::vector<std::uint32_t> source;
        int targetWidth, targetHeight;
        std::vector<std::uint32_t> target;
    } cases[] = {
        {"the same size: the same picture", 2, 1, {A, B}, 2, 1, {A, B}},
        {"twice the size: each pixel a block of its own colour", 2, 1, {A, B}, 4, 2, {A, A, B, B, A, A, B, B}},
        {"one and a half: an edge across a target pixel blends that one alone", 2, 1, {A, B}, 3, 1,
         {A, 0xFF8090D0, B}},
        {"one and a half: an edge between two target pixels stays sharp", 4, 1, {A, A, B, B}, 6, 1,
         {A, A, A, B, B, B}},
        {"one and a quarter: a flat colour stays flat", 4, 1, {A, A, A, A}, 5, 1, {A, A, A, A, A}},
        {"down as across", 1, 4, {A, B, B, B}, 1, 6, {A, 0xFF8090D0, B, B, B, B}},
        {"each byte on its own, rounded", 2, 1, {0xFF00FF00, 0x00FF00FF}, 1, 1, {0x80808080}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint32_t> target(c.target.size());
        ResampleByArea(c.source.data(), c.sourceWidth, c.sourceHeight, target.data(), c.targetWidth, c.targetHeight);
        EXPECT_EQ(target, c.target) << c.what;
    }
}

}  // namespace
