#pragma once

#include <cstdint>
#include <limits>

#include "runtime_error.h"

// Coordinates, the running sum and the loop counter are 32-bit and must never
// wrap: a cursor at INT32_MAX has no right-hand neighbour, it has an error.
inline std::int32_t checked(std::int64_t result) {
    if (result < std::numeric_limits<std::int32_t>::min() ||
        result > std::numeric_limits<std::int32_t>::max()) {
        throw RuntimeError(RuntimeError::kOverflow, "Overflow");
    }
    return static_cast<std::int32_t>(result);
}

inline std::int32_t checkedAdd(std::int32_t a, std::int32_t b) {
    return checked(std::int64_t{a} + b);
}
