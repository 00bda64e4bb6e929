// Playing the command over selections of any size: runs of at most one
// batch each, a run that stops, and --keep-going's play without the figures
// the command stopped at.
#include "tests/app/PluginSession.h"
#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/SettingsAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using flowtest::AddSquare;
using flowtest::PluginTest;
using vekhost_tool::CommandResult;
using vekhost_tool::kFiguresPerRun;
using vekhost_tool::PlayCommand;
using vekhost_tool::PlayOptions;

std::vector<VekId> Squares(size_t count) {
    std::vector<VekId> ids;
    for (size_t i = 0; i < count; ++i) {
        ids.push_back(AddSquare(static_cast<double>(i % 100) * 3 + 0.1234,
                                static_cast<double>(i / 100) * 3 + 0.5678, 1.00049));
    }
    return ids;
}

size_t StillThere(const std::vector<VekId>& ids) {
    return static_cast<size_t>(std::count_if(
        ids.begin(), ids.end(), [](VekId id) { return vekhost::GetSegment(id).has_value(); }));
}

// Segments made for `figure` that are still in the drawing.
size_t MadeFor(VekId figure) {
    size_t made = 0;
    for (VekId id : vekhost::Segments()) {
        made += id != figure && vekhost::SourceOf(id) == figure ? 1 : 0;
    }
    return made;
}

struct BatchCase {
    const char* name;
    size_t figures;
    size_t commands;
};

class Batches : public PluginTest, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(Batches, EachRunTakesAtMostOneBatchAndAllAreConverted) {
    const BatchCase& c = GetParam();
    const std::vector<VekId> picked = Squares(c.figures);

    const CommandResult result = PlayCommand({0, 0}, picked, {.showSteps = false});

    EXPECT_TRUE(result.pointTaken);
    EXPECT_FALSE(result.reportedError);
    EXPECT_EQ(result.commands, c.commands) << c.figures << " figures";
    EXPECT_EQ(StillThere(picked), 0u) << "picked figures left unconverted";
    EXPECT_EQ(vekhost::SegmentCount(), c.figures) << "one new figure for each picked";
}

INSTANTIATE_TEST_SUITE_P(CapacityBoundary, Batches,
                         ::testing::Values(BatchCase{"None", 0, 1}, BatchCase{"One", 1, 1},
                                           BatchCase{"ExactlyOneRun", kFiguresPerRun, 1},
                                           BatchCase{"OneOver", kFiguresPerRun + 1, 2}),
                         [](const auto& p) { return std::string(p.param.name); });

struct ElementShareCase {
    const char* name;
    size_t figures;            // squares of 4 elements each
    size_t elementsPerRun;     // the runs' share
    std::vector<size_t> runs;  // figures given to each run
};

class ElementShares : public PluginTest, public ::testing::WithParamInterface<ElementShareCase> {};

TEST_P(ElementShares, NoRunIsGivenMoreElementsThanItsShareUnlessOneFigureHasMore) {
    const ElementShareCase& c = GetParam();
    const std::vector<VekId> picked = Squares(c.figures);
    std::vector<size_t> runs;
    vekhost_tool::RunHooks hooks;
    hooks.before = [&runs](size_t, size_t count) { runs.push_back(count); };
    PlayOptions options{.showSteps = false};
    options.elementsOf = [](VekId) { return size_t{4}; };
    options.elementsPerRun = c.elementsPerRun;

    const CommandResult result = PlayCommand({0, 0}, picked, options, hooks);

    EXPECT_FALSE(result.reportedError);
    EXPECT_EQ(runs, c.runs);
    EXPECT_EQ(result.commands, c.runs.size());
    EXPECT_EQ(StillThere(picked), 0u) << "picked figures left unconverted";
}

INSTANTIATE_TEST_SUITE_P(Shares, ElementShares,
                         ::testing::Values(ElementShareCase{"AllInOne", 5, 20, {5}},
                                           ElementShareCase{"ExactlyTwoFigures", 5, 8, {2, 2, 1}},
                                           ElementShareCase{"NotQuiteThree", 5, 11, {2, 2, 1}},
                                           ElementShareCase{
                                               "AFigureOverTheShareRunsAlone", 3, 3, {1, 1, 1}},
                                           ElementShareCase{"FiguresStillLimited",
                                                            kFiguresPerRun + 1,
                                                            4 * (kFiguresPerRun + 1),
                                                            {kFiguresPerRun, 1}}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(PluginTest, ARunThatStopsEndsThePlayAndNamesItsFigures) {
    const std::vector<VekId> picked = Squares(kFiguresPerRun + 2);
    // The copy of the second figure of the second run is refused.
    vekhost::FailWhen("VekSgmEditSegment", [stop = picked[kFiguresPerRun + 1]](const auto& args) {
        return static_cast<VekId>(args[0]) == stop;
    });

    const CommandResult result = PlayCommand({0, 0}, picked, {.showSteps = false});

    EXPECT_TRUE(result.reportedError);
    EXPECT_EQ(result.commands, 2u);
    ASSERT_TRUE(result.failedBatch);
    EXPECT_EQ(result.failedBatch->first, kFiguresPerRun);
    EXPECT_EQ(result.failedBatch->second, kFiguresPerRun + 2);
    EXPECT_TRUE(result.refused.empty());
    EXPECT_EQ(StillThere(picked), 1u) << "the figures before the stop were converted";
}

struct KeepGoingCase {
    const char* name;
    bool exploded;
    const char* call;  // made to fail ...
    int nth;           // ... at its nth use
    int deleteFails;   // and VekSgmDeleteSegment at this use (0: never)
    size_t figures;    // picked
    size_t refusedAt;  // the figure the command stops at, from 0
    size_t commands;   // runs made
};

class KeepGoing : public PluginTest, public ::testing::WithParamInterface<KeepGoingCase> {};

TEST_P(KeepGoing, LeavesTheRefusedFigureAsItWasAndConvertsTheRest) {
    const KeepGoingCase& c = GetParam();
    vekhost_tool::StoreSetting("IsExploded", c.exploded ? "1" : "0");
    const std::vector<VekId> picked = Squares(c.figures);
    const vekhost::Segment before = *vekhost::GetSegment(picked[c.refusedAt]);
    vekhost::FailCall(c.call, c.nth);
    if (c.deleteFails > 0) {
        vekhost::FailCall("VekSgmDeleteSegment", c.deleteFails);
    }

    const CommandResult result =
        PlayCommand({0, 0}, picked, {.showSteps = false, .keepGoing = true});

    EXPECT_FALSE(result.reportedError);
    EXPECT_FALSE(result.failedBatch);
    EXPECT_EQ(result.commands, c.commands);
    ASSERT_EQ(result.refused.size(), 1u);
    const VekId refused = result.refused[0].figure;
    EXPECT_EQ(refused, picked[c.refusedAt]);
    EXPECT_FALSE(result.refused[0].message.empty()) << "the host's message is kept";
    EXPECT_EQ(MadeFor(refused), 0u) << "what the stopped run had made of it is gone";
    const auto now = vekhost::GetSegment(refused);
    ASSERT_TRUE(now);
    ASSERT_EQ(now->elements.size(), before.elements.size());
    for (size_t e = 0; e < before.elements.size(); ++e) {
        EXPECT_EQ(now->elements[e].figure.p1[0], before.elements[e].figure.p1[0]) << e;
    }
    EXPECT_EQ(StillThere(picked), 1u) << "every other figure is converted";
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, KeepGoing,
    ::testing::Values(
        // The copy of the third figure is refused before anything is made.
        KeepGoingCase{"CopyRefused", false, "VekSgmEditSegment", 3, 0, 5, 2, 2},
        // The second figure's new segment is made, then its layer refused.
        KeepGoingCase{"PartlyMade", false, "VekSgmChangeLayer", 2, 0, 4, 1, 2},
        // ... and the command cannot remove what it had made: vekhost does.
        KeepGoingCase{"PartlyMadeAndLeft", false, "VekSgmChangeLayer", 2, 2, 4, 1, 2},
        // The last figure of the selection: no further run is needed.
        KeepGoingCase{"LastFigure", false, "VekSgmChangeLayer", 3, 0, 3, 2, 1},
        // Exploded: the first figure's first side is made, its second refused.
        KeepGoingCase{"ExplodedPartlyMade", true, "VekSgmChangeLayer", 2, 0, 3, 0, 2},
        KeepGoingCase{"ExplodedPartlyMadeAndLeft", true, "VekSgmChangeLayer", 2, 1, 3, 0, 2}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
