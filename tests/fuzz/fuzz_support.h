// What the fuzz targets share: reading an input as fields, and failing
// loudly when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Fields are read little-endian from the front. An input that runs out reads
// as zeros, so that short inputs still reach every path.
class FuzzReader {
public:
    FuzzReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return position_ >= size_; }
    uint8_t U8() { return static_cast<uint8_t>(Bytes(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Bytes(2)); }
    uint32_t U32() { return Bytes(4); }
    int32_t I32() { return static_cast<int32_t>(U32()); }

    // The rest as text from the system would arrive: cut at the first NUL.
    std::string RestAsText() {
        std::string text;
        while (position_ < size_ && data_[position_] != 0) {
            text += static_cast<char>(data_[position_++]);
        }
        position_ = size_;
        return text;
    }

private:
    uint32_t Bytes(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            const uint32_t byte = position_ < size_ ? data_[position_++] : 0;
            value |= byte << (8 * i);
        }
        return value;
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Aborts, so that libFuzzer reports the input as a crash and keeps it.
[[noreturn]] inline void FuzzFail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : FuzzFail(#condition, __FILE__, __LINE__))
