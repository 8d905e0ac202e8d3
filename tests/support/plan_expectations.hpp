// What the patch plan writes for each of a few screens: float32 bit patterns,
// each worked out by hand in double precision and rounded once, so that the
// plan's own formulas are checked against an independent reckoning.
#pragma once

#include <cstdint>

namespace lkm::test {

struct ScreenExpectation {
    int x, y;
    uint32_t aspect, width, height, widthReciprocal, heightReciprocal, horizontalOffset, verticalOffset;
};

inline constexpr ScreenExpectation screenExpectations[] = {
    {1920, 1080, 0x3FE38E39, 0x44AAAAAB, 0x44400000, 0x3A400000, 0x3AAAAAAB, 0x432AAAAB, 0x00000000},
    {1280, 1024, 0x3FA00000, 0x44800000, 0x444CCCCD, 0x3A800000, 0x3AA00000, 0x00000000, 0x41CCCCCD},
    {1024, 768, 0x3FAAAAAB, 0x44800000, 0x44400000, 0x3A800000, 0x3AAAAAAB, 0x00000000, 0x00000000},
    {16384, 16384, 0x3F800000, 0x44800000, 0x44800000, 0x3A800000, 0x3A800000, 0x00000000, 0x43000000},
    {320, 200, 0x3FCCCCCD, 0x4499999A, 0x44400000, 0x3A555555, 0x3AAAAAAB, 0x42CCCCCD, 0x00000000},
    {1080, 1920, 0x3F100000, 0x44800000, 0x44E38E39, 0x3A800000, 0x3A100000, 0x00000000, 0x44038E39},
    // Rounding vw to float before 1/vw or vw - 1024 would give 0x3A7FD286 and 0x3EB60800.
    {1441, 1080, 0x3FAAC902, 0x448016C1, 0x44400000, 0x3A7FD285, 0x3AAAAAAB, 0x3EB60B61, 0x00000000},
};

} // namespace lkm::test
