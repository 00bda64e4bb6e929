// Figures of a DXF drawing: random chains of lines and arcs, written in a
// shuffled file order with entities drawn either way, are found again as
// one figure each at any scale and distance from the origin; ends join
// within the tolerance relative to the entities and not beyond; and the
// palette's line types repeat what their pictures show.
#include "tests/app/DxfGenerated.h"
#include "tests/dxf/DxfFragments.h"
#include "tools/dxf/DxfNumbers.h"
#include "tools/vekhost/DxfFigures.h"
#include "tools/vekhost/DxfStyle.h"
#include "res/linetypes/LineTypePatterns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using vekhost_tool::BuildFigures;
using vekhost_tool::FigureKind;
using vekhost_tool::FigureSet;
using vekhost_tool::JoinOptions;

using dxftest::Chain;
using dxftest::MakeChain;

std::string Num(double v) {
    return dxf::FormatReal(v);
}

TEST(DxfFigures, ChainsAreFoundInAnyFileOrderScaleAndPlace) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int drawing = 0; drawing < 200; ++drawing) {
        const double scale = std::pow(10.0, -3 + 6 * unit(rng));
        const double far = unit(rng) < 0.5 ? 0 : 1e5 * scale;
        std::vector<Chain> chains(1 + static_cast<std::size_t>(unit(rng) * 4));
        struct Entry {
            std::size_t chain, piece;
        };
        std::vector<Entry> order;
        for (std::size_t c = 0; c < chains.size(); ++c) {
            // Chains far enough apart never to touch.
            chains[c] = MakeChain(rng, {far + 100 * scale * static_cast<double>(c), far}, scale);
            for (std::size_t k = 0; k < chains[c].pieces.size(); ++k) {
                order.push_back({c, k});
            }
        }
        std::shuffle(order.begin(), order.end(), rng);
        std::string entities;
        std::vector<std::vector<std::size_t>> entityOf(chains.size());
        for (std::size_t c = 0; c < chains.size(); ++c) {
            entityOf[c].resize(chains[c].pieces.size());
        }
        for (std::size_t i = 0; i < order.size(); ++i) {
            entities += (i ? "|" : "") + chains[order[i].chain].pieces[order[i].piece].text;
            entityOf[order[i].chain][order[i].piece] = i;
        }
        const dxf::Document doc = dxf::Document::Parse(dxftest::R12(dxftest::Tags(entities)));
        const FigureSet set = BuildFigures(doc, JoinOptions{});
        SCOPED_TRACE("drawing " + std::to_string(drawing) + ": " + entities);
        ASSERT_EQ(set.figures.size(), chains.size());
        for (std::size_t c = 0; c < chains.size(); ++c) {
            const auto& figure =
                set.figures[static_cast<std::size_t>(set.figureOf[entityOf[c][0]])];
            EXPECT_EQ(figure.kind, FigureKind::Chain);
            EXPECT_EQ(figure.closed, chains[c].closed);
            ASSERT_EQ(figure.parts.size(), chains[c].pieces.size());
            // The figure runs the chain from some piece, one way or the other.
            const std::size_t n = figure.parts.size();
            std::size_t start = 0;
            while (start < n && entityOf[c][start] != figure.parts[0].entity) {
                ++start;
            }
            ASSERT_LT(start, n);
            // An open chain starts at one of its ends; a lone entity keeps
            // its own direction.
            const bool forward = chains[c].closed
                                     ? entityOf[c][(start + 1) % n] == figure.parts[1].entity
                                 : n == 1 ? !chains[c].pieces[0].drawnBackwards
                                          : start == 0;
            if (!chains[c].closed) {
                ASSERT_TRUE(start == 0 || start == n - 1);
            }
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t piece = forward ? (start + k) % n : (start + n - k) % n;
                EXPECT_EQ(figure.parts[k].entity, entityOf[c][piece]) << "part " << k;
                EXPECT_EQ(figure.parts[k].reversed,
                          chains[c].pieces[piece].drawnBackwards == forward)
                    << "part " << k;
            }
            if (chains[c].closed) {
                EXPECT_FALSE(figure.parts[0].reversed) << "a closed chain runs its first entity "
                                                          "its own way";
            }
        }
    }
}

// Ends join within the tolerance times the shorter entity, wherever they
// are; a point where three ends meet joins none of them.
TEST(DxfFigures, EndsJoinWithinTheToleranceOfTheShorterEntity) {
    struct Case {
        const char* name;
        double gap;     // between the first line's end and the second's start
        double offset;  // of the whole drawing
        bool branch;    // a third line from the meeting point
        std::size_t figures;
    } cases[] = {
        {"Touching", 0, 0, false, 1},
        {"WithinTolerance", 0.9e-6, 0, false, 1},
        {"BeyondTolerance", 1.1e-6, 0, false, 2},
        {"WithinFarAway", 0.9e-6, 1e7, false, 1},
        {"BeyondFarAway", 1.1e-6, 1e7, false, 2},
        {"Branch", 0, 0, true, 3},
    };
    // An arc seen from below (its z -0 in the world) joins a line at z 0.
    const dxf::Document mirrored = dxf::Document::Parse(dxftest::R12(
        dxftest::Tags("0 LINE|8 0|10 0|20 0|11 10|21 0|0 ARC|8 0|10 -10|20 1|40 1|50 180|51 270|"
                      "210 0|220 0|230 -1")));
    EXPECT_EQ(BuildFigures(mirrored, JoinOptions{}).figures.size(), 1u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A line of length 10 and one of length 1: the shorter sets the tolerance.
        const double o = c.offset;
        std::string entities = "0 LINE|8 0|10 " + Num(o) + "|20 0|11 " + Num(o + 10) +
                               "|21 0|0 LINE|8 0|10 " + Num(o + 10) + "|20 " + Num(c.gap) + "|11 " +
                               Num(o + 10) + "|21 " + Num(1 + c.gap);
        if (c.branch) {
            entities += "|0 LINE|8 0|10 " + Num(o + 10) + "|20 0|11 " + Num(o + 11) + "|21 0";
        }
        const dxf::Document doc = dxf::Document::Parse(dxftest::R12(dxftest::Tags(entities)));
        EXPECT_EQ(BuildFigures(doc, JoinOptions{}).figures.size(), c.figures);
        EXPECT_EQ(BuildFigures(doc, JoinOptions{false}).figures.size(), c.branch ? 3u : 2u);
    }
}

// Each line type's period of dashes runs through its picture: the runs
// between the picture's first and last dash repeat it.
TEST(DxfLineTypes, DashesRepeatThePicture) {
    const auto& pictures = linetype::Patterns();
    EXPECT_TRUE(vekhost_tool::DashPeriod(1).empty());
    for (int position = 2; position <= 10; ++position) {
        SCOPED_TRACE("LINETYPE" + std::to_string(position));
        const std::vector<int> period = vekhost_tool::DashPeriod(position);
        ASSERT_FALSE(period.empty());
        ASSERT_EQ(period.size() % 2, 0u);
        const std::vector<int> runs(pictures[static_cast<std::size_t>(position - 1)].runs);
        // Between the first and the last run: gap, dash, ..., gap.
        const std::vector<int> inner(runs.begin() + 1, runs.end() - 1);
        bool found = false;
        for (std::size_t phase = 1; phase < period.size() && !found; phase += 2) {
            found = true;
            for (std::size_t k = 0; k < inner.size(); ++k) {
                found = found && inner[k] == period[(phase + k) % period.size()];
            }
        }
        EXPECT_TRUE(found);
    }
    // The host's code 1 is LINETYPE05; colour index 4 is MAINCOLOR05. A
    // pixel is a millimetre, or a millimetre's worth of inches.
    const vekhost_tool::PaletteLook look = vekhost_tool::PaletteLookOf({4, 1, {0, 0}}, false);
    EXPECT_EQ(look.lineType, "TARNEX_LINETYPE05");
    EXPECT_EQ(look.pattern, (std::vector<double>{6, -4}));
    EXPECT_EQ(look.rgb, 0xE0E000u);
    EXPECT_EQ(look.aci, 2);
    EXPECT_DOUBLE_EQ(vekhost_tool::PaletteLookOf({4, 1, {0, 0}}, true).pattern[0], 6 / 25.4);
    EXPECT_EQ(vekhost_tool::PaletteLookOf({0, 0, {0, 0}}, false).lineType, "CONTINUOUS");
}

}  // namespace
