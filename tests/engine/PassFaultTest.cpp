// Both passes over two closed squares with one host call refused while the
// second square is converted: the run stops with the call's message, the
// first square stays converted exactly as without the fault, and the second
// is left exactly as it was, with nothing made of it beside it.
#include "tests/engine/EngineFixture.h"
#include "tests/engine/FaultRun.h"
#include "tests/engine/TestFigures.h"

#include <ostream>

namespace {

struct FaultCase {
    Pass pass;
    const char* call;
    int nth;  // counted over both squares: a use while the second converts
    std::u16string error;
    int copies;  // working copies still listed when the pass returns

    friend void PrintTo(const FaultCase& c, std::ostream* out) {
        *out << PassName(c.pass) << " pass, use " << c.nth << " of " << c.call;
    }
};

class PassFaultTest : public EngineTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    // A fresh drawing of the two squares at three places; the first and the
    // second square.
    static std::pair<VekId, VekId> TwoSquares() {
        Restart(3, 0, kOrigin);
        const VekId first = Square(0, 0);
        return {first, Square(20, 0)};
    }
    static constexpr double kOrigin[2] = {0, 0};
};

TEST_P(PassFaultTest, StopsWithItsMessageAndLeavesNoHalfFigure) {
    const FaultCase c = GetParam();
    // Without the fault: what the first square becomes.
    auto [first, second] = TwoSquares();
    RunFailing(c.pass, {first, second});
    DeleteListedCopies();
    const std::vector<Content> converted = MadeFrom(first);
    ASSERT_FALSE(converted.empty());

    std::tie(first, second) = TwoSquares();
    const Content before(Seg(second));
    EXPECT_EQ(RunFailing(c.pass, {first, second}, c.call, c.nth), 0);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{c.error});
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{}) << "a count shown after a stop";
    EXPECT_EQ(vekhost::OpenSelectionCount(), 0) << "selections left open";
    EXPECT_EQ(CopyList.count, c.copies) << "working copies listed";
    EXPECT_FALSE(Exists(first)) << "the first square was not replaced";
    EXPECT_TRUE(Exists(second) && Content(Seg(second)) == before)
        << "the second square was changed";
    // Once the command has ended: nothing but the first square's pieces and
    // the second square.
    DeleteListedCopies();
    const std::vector<Content> made = MadeFrom(first);
    EXPECT_TRUE(made == converted)
        << "the first square came out otherwise: " << made.size() << " segments made of it, "
        << converted.size() << " without the fault";
    EXPECT_EQ(vekhost::SegmentCount(), converted.size() + 1) << "segments left";
}

INSTANTIATE_TEST_SUITE_P(
    Standard, PassFaultTest,
    ::testing::Values(FaultCase{Pass::Standard, "VekSgmEditSegment", 2, kCopyRefused, 1},
                      // 4 + 4 reads per square, then 4 by the second arc step
                      FaultCase{Pass::Standard, "VekFigGetFigure", 13, kUnreadable, 2},
                      FaultCase{Pass::Standard, "VekFigCreateFigure", 2, kCreate1, 2},
                      FaultCase{Pass::Standard, "VekFigInsertFigure", 5, kInsert2, 2},
                      FaultCase{Pass::Standard, "VekSgmChangeLayer", 2, kLayer, 2},
                      // -1 is the host's failure, never a value
                      FaultCase{Pass::Standard, "VekElmGetType", 5, kUnreadable, 2},
                      FaultCase{Pass::Standard, "VekFigGetLineType", 5, kUnreadable, 2},
                      FaultCase{Pass::Standard, "VekSgmGetLayer", 2, kLayer, 2},
                      // walks cut short: arcs to corners, element walk
                      FaultCase{Pass::Standard, "VekElmGetNextElementId", 7, kUnreadable, 2},
                      FaultCase{Pass::Standard, "VekElmGetNextElementId", 10, kUnreadable, 2},
                      FaultCase{Pass::Standard, "VekSgmGetHeadElementId", 3, kUnreadable, 2},
                      FaultCase{Pass::Standard, "VekSgmGetTailElementId", 4, kUnreadable, 2},
                      // refused writes of the new figure
                      FaultCase{Pass::Standard, "VekSgmCreateSegment", 2, kCreate1, 2},
                      FaultCase{Pass::Standard, "VekFigSetLineType", 6, kCreate1, 2},
                      FaultCase{Pass::Standard, "VekFigIsClosed", 8, kCreate1, 2},
                      FaultCase{Pass::Standard, "VekSgmDeleteSegment", 2, kPickedNotDeleted, 2}));

INSTANTIATE_TEST_SUITE_P(
    Exploded, PassFaultTest,
    ::testing::Values(FaultCase{Pass::Exploded, "VekFigGetFigure", 6, kUnreadable, 0},
                      FaultCase{Pass::Exploded, "VekFigCreateFigure", 7, kCreate100, 0},
                      FaultCase{Pass::Exploded, "VekSgmChangeLayer", 7, kLayer, 0},
                      FaultCase{Pass::Exploded, "VekSgmCreateSegment", 8, kCreate100, 0},
                      // an exploded form that cannot be read
                      FaultCase{Pass::Exploded, "VekFigGetFigure2", 2, kUnreadable, 0},
                      // -1 is the host's failure, never a value
                      FaultCase{Pass::Exploded, "VekElmGetType", 5, kUnreadable, 0},
                      FaultCase{Pass::Exploded, "VekFigGetLineType", 6, kUnreadable, 0},
                      FaultCase{Pass::Exploded, "VekSgmGetLayer", 5, kLayer, 0},
                      FaultCase{Pass::Exploded, "VekElmGetNextElementId", 4, kUnreadable, 0},
                      // refused writes
                      FaultCase{Pass::Exploded, "VekFigSetLineType", 6, kCreate100, 0},
                      FaultCase{Pass::Exploded, "VekSgmDeleteSegment", 2, kPickedNotDeleted, 0}));

}  // namespace
