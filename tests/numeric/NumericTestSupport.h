// For the portable functions' tests: arguments drawn the same way on every
// target (a SplitMix64 generator of our own, as the standard distributions
// differ between libraries, and doubles made from its bits with exact or
// correctly rounded operations), digests and distances in ulps.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace numeric_test {

class Draw {
public:
    explicit Draw(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Bits() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return z ^ (z >> 31);
    }

    // In [0, 1), a multiple of 2^-53.
    double Unit() { return static_cast<double>(Bits() >> 11) * 0x1p-53; }

    double Between(double low, double high) { return low + (high - low) * Unit(); }

    // Either sign, a random significand and an exponent in [low, high]
    // (unbiased; -1023 gives subnormals).
    double AnyBinade(int low, int high) {
        const std::uint64_t r = Bits();
        const int exponent = low + static_cast<int>(r % static_cast<std::uint64_t>(high - low + 1));
        const std::uint64_t word = (r & 0x8000000000000000u) |
                                   (std::uint64_t(exponent + 1023) << 52) |
                                   (Bits() & 0x000fffffffffffffu);
        double x;
        std::memcpy(&x, &word, sizeof x);
        return x;
    }

    bool Coin() { return (Bits() & 1) != 0; }

private:
    std::uint64_t state_;
};

inline std::uint64_t WordOf(double x) {
    std::uint64_t w;
    std::memcpy(&w, &x, sizeof w);
    return w;
}

// A property test's seed: TARNEX_SEED when set (to repeat a failure), else a
// fresh one; the tests print it on failure.
inline std::uint64_t PropertySeed() {
    if (const char* s = std::getenv("TARNEX_SEED")) {
        return std::stoull(s);
    }
    return (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
}

inline std::string Hex(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", x);
    return text;
}

// How many doubles apart two values lie (-0 and +0 are one apart); 0 for
// two NaNs, the most for a NaN and a number.
inline std::uint64_t UlpsApart(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b) ? 0 : UINT64_MAX;
    }
    auto ordered = [](double x) {
        const std::uint64_t w = WordOf(x);
        return (w >> 63) != 0 ? std::int64_t(0) - std::int64_t(w & 0x7fffffffffffffffu)
                              : std::int64_t(w) + 1;
    };
    const std::int64_t d = ordered(a) - ordered(b);
    return d < 0 ? std::uint64_t(-d) : std::uint64_t(d);
}

// FNV-1a over the bit patterns of a sequence of doubles.
class Digest {
public:
    void Add(double x) {
        const std::uint64_t w = WordOf(x);
        for (int i = 0; i < 8; ++i) {
            hash_ = (hash_ ^ ((w >> (8 * i)) & 0xff)) * 0x100000001b3u;
        }
    }
    std::uint64_t Value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325u;
};

}  // namespace numeric_test
