// Splits a fuzzer's byte string into the pieces a target needs. Works the same
// under libFuzzer and under the plain replay driver (no clang headers needed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    // A piece of at most `max` bytes whose length comes from the next byte (or
    // two when max > 255).
    std::string piece(std::size_t max) {
        std::size_t n = byte();
        if (max > 255) n = (n << 8) | byte();
        if (n > max) n %= max + 1;
        return take(n);
    }

    std::string rest() { return take(size_ - at_); }

private:
    std::string take(std::size_t n) {
        if (n > size_ - at_) n = size_ - at_;
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Stops the run the way a sanitizer finding does, with a message, so that
// libFuzzer saves the input and the replay driver fails.
[[noreturn]] void fuzzFailure(const char* what, const std::string& detail);
#define FUZZ_CHECK(cond, detail)                   \
    do {                                           \
        if (!(cond)) fuzzFailure(#cond, (detail)); \
    } while (0)
