// Typed values taken off the front of a fuzzer's input. Past its end every
// value reads as zero, so that any input is a whole one.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    template <typename T>
    T Take() {
        T value{};
        const size_t n = sizeof(T) < Left() ? sizeof(T) : Left();
        if (n) {
            std::memcpy(&value, data_ + position_, n);
        }
        position_ += n;
        return value;
    }
    // 0 .. n - 1 (0 when n is 0).
    uint32_t Below(uint32_t n) { return n ? Take<uint32_t>() % n : 0; }
    std::vector<uint8_t> Bytes(size_t n) {
        n = n < Left() ? n : Left();
        std::vector<uint8_t> bytes(data_ + position_, data_ + position_ + n);
        position_ += n;
        return bytes;
    }
    // Any double: its bits as given, a small or a scaled integer, or one of
    // the values where arithmetic goes wrong first. A byte chooses which.
    double Double() {
        static const double kSpecial[] = {
            0.0,   -0.0,   1.0,   0.5, 1e-6, DBL_MAX, -DBL_MAX, DBL_MIN, 4.9e-324,
            1e154, 1e-154, 1e308, 2.5, 1e15, 1e-300,  25.40051, 1.0 / 3, 9007199254740993.0};
        switch (Take<uint8_t>() % 4) {
            case 0:
                return Take<double>();
            case 1:
                return double(Take<int16_t>()) / 16.0;
            case 2:
                return double(Take<int32_t>()) * 1e-3;
            default:
                return kSpecial[Below(sizeof kSpecial / sizeof kSpecial[0])];
        }
    }
    size_t Left() const { return size_ - position_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};
