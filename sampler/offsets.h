#pragma once

#include <array>
#include <cstdint>

struct SampleOffset {
    std::int32_t dx;  // to the right
    std::int32_t dy;  // downwards
};

inline constexpr int kSwatchCount = 9;

// By swatch index: the order swatches are filled, listed and summed. It is not
// row by row; the window places each swatch by its offset instead.
inline constexpr std::array<SampleOffset, kSwatchCount> kSampleOffsets{{
    {0, 0},    // under the cursor
    {0, -1},   // above
    {1, -1},   // above right
    {1, 0},    // right
    {0, 1},    // below
    {1, 1},    // below right
    {-1, -1},  // above left
    {-1, 0},   // left
    {-1, 1},   // below left
}};
