#include "colour.h"

#include "runtime_error.h"

void requireColour(ColorValue value) {
    if (!isColour(value)) {
        throw RuntimeError(RuntimeError::kInvalidValue, "Invalid colour value " + decimal(value));
    }
}

std::string decimal(std::int32_t value) {
    return std::to_string(value);
}
