// Shared set-up of the host library tests: a fresh drawing per test, and small
// helpers to read elements back.
#pragma once

#include "platform/veklib/VekHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { vekhost::Reset(); }
    void TearDown() override { vekhost::Reset(); }

    static std::vector<vekhost::Element> Elements(VekId segment) {
        auto s = vekhost::GetSegment(segment);
        return s ? s->elements : std::vector<vekhost::Element>{};
    }
    static std::vector<VekId> ElementIds(VekId segment) {
        std::vector<VekId> ids;
        for (const auto& e : Elements(segment)) {
            ids.push_back(e.id);
        }
        return ids;
    }
    static FigureRecord Figure(VekId element) {
        FigureKey key{vekhost::Context(), static_cast<uint32_t>(element)};
        FigureRecord r{};
        EXPECT_EQ(VekFigGetFigure(&key, &r), 0) << "element " << element;
        return r;
    }
    static double Dist(const double* a, const double* b) {
        return std::hypot(a[0] - b[0], a[1] - b[1]);
    }
};

// Seed of a property test: TARNEX_SEED when set (to repeat a failure), else a
// fresh one; the tests print it on failure.
inline uint64_t PropertySeed() {
    if (const char* s = std::getenv("TARNEX_SEED")) {
        return std::stoull(s);
    }
    return (uint64_t{std::random_device{}()} << 32) | std::random_device{}();
}

inline bool SameRecord(const FigureRecord& a, const FigureRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

#define EXPECT_POINT_NEAR(p, x, y, tol)  \
    do {                                 \
        EXPECT_NEAR((p)[0], (x), (tol)); \
        EXPECT_NEAR((p)[1], (y), (tol)); \
    } while (0)
