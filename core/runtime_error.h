#pragma once

#include <stdexcept>
#include <string>

// The one kind of failure the program knows: a number and a text, raised by a
// control that refuses a value or by 32-bit arithmetic that overflows.
class RuntimeError : public std::runtime_error {
public:
    static constexpr int kOverflow = 6;
    static constexpr int kInvalidValue = 380;

    RuntimeError(int number, const std::string& text) : std::runtime_error(text), number_(number) {}

    int number() const noexcept { return number_; }
    std::string text() const { return what(); }

private:
    int number_;
};
