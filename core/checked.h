#pragma once

#include <cstdint>

#include "runtime_error.h"

// Coordinates, the running sum and the loop counter are 32-bit and must never
// wrap: a cursor at INT32_MAX has no right-hand neighbour, it has an error.
[[noreturn]] inline void raiseOverflow() {
    throw RuntimeError(RuntimeError::kOverflow, "Overflow");
}

inline std::int32_t checkedAdd(std::int32_t a, std::int32_t b) {
    std::int32_t result;
    if (__builtin_add_overflow(a, b, &result)) {
        raiseOverflow();
    }
    return result;
}

inline std::int32_t checkedSub(std::int32_t a, std::int32_t b) {
    std::int32_t result;
    if (__builtin_sub_overflow(a, b, &result)) {
        raiseOverflow();
    }
    return result;
}
