// The index from identifiers to records against a plain map, over random
// sessions of giving, placing, removing and placing again; and what it
// holds once a long session has used identifiers up. A failure prints its
// seed; TARNEX_SEED=<seed> repeats it.
#include "platform/veklib/IdIndex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

namespace {

using vekhost::detail::IdIndex;

std::uint64_t Seed() {
    if (const char* s = std::getenv("TARNEX_SEED")) {
        return std::stoull(s);
    }
    return std::random_device{}();
}

// Every placed identifier, `samples` others at random, and the walk.
void ExpectSame(const IdIndex& index, const std::map<size_t, uint32_t>& placed, size_t given,
                std::mt19937_64& random) {
    ASSERT_EQ(index.size(), given);
    for (const auto& [id, at] : placed) {
        ASSERT_EQ(index[id], at) << "id " << id;
    }
    for (int k = 0; given > 0 && k < 2000; ++k) {
        const size_t id = random() % given;
        const auto it = placed.find(id);
        ASSERT_EQ(index[id], it == placed.end() ? IdIndex::kNowhere : it->second) << "id " << id;
    }
    std::map<size_t, uint32_t> seen;
    index.ForEachPlaced([&seen](size_t id, uint32_t at) { seen.emplace(id, at); });
    ASSERT_EQ(seen, placed);
}

TEST(IdIndex, AgreesWithAMap) {
    const std::uint64_t seed = Seed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    IdIndex index;
    std::map<size_t, uint32_t> placed;
    size_t given = 0;
    for (int step = 0; step < 12000; ++step) {
        const auto pick = random() % 8;
        if (pick == 0) {
            // A few, or now and then a load's worth across pages.
            given += random() % 16 ? random() % 8 : random() % 200000;
            index.Give(given);
        } else if (pick <= 4 && given > 0) {
            const size_t id = random() % given;
            const auto at = static_cast<uint32_t>(random() % 1000);
            index.Place(id, at);
            placed[id] = at;
        } else if (!placed.empty()) {
            auto it = placed.lower_bound(random() % (placed.rbegin()->first + 1));
            it = it == placed.end() ? placed.begin() : it;
            index.Remove(it->first);
            placed.erase(it);
        }
        if (step % 3000 == 0) {
            ExpectSame(index, placed, given, random);
        }
    }
    ExpectSame(index, placed, given, random);
}

// Runs of a command as the driver makes them: each gives new identifiers,
// places them, and removes them all again. The index keeps no more pages
// than a run needs, however many runs went before.
TEST(IdIndex, HoldsOnlyPagesInUse) {
    IdIndex index;
    size_t given = 1;
    index.Give(given);
    index.Place(0, 7);  // one identifier alive throughout
    for (int run = 0; run < 40; ++run) {
        const size_t first = given;
        given += 70000;
        index.Give(given);
        for (size_t id = first; id < given; ++id) {
            index.Place(id, static_cast<uint32_t>(id % 1000));
        }
        for (size_t id = first; id < given; ++id) {
            index.Remove(id);
        }
        ASSERT_LE(index.PagesHeld(), 3u) << "after run " << run;
    }
    EXPECT_EQ(index[0], 7u);
    // A removed identifier may be placed again: its page comes back.
    index.Place(given - 1, 3);
    EXPECT_EQ(index[given - 1], 3u);
    EXPECT_EQ(index[given - 2], IdIndex::kNowhere);
}

}  // namespace
