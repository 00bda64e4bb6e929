// The exploded pass run through the stand-in host.
#include "tests/engine/EngineFixture.h"
#include "tests/engine/TestFigures.h"
#include "engine/ExplodedPass.h"
#include "engine/StandardPass.h"

#include <array>
#include <cmath>

namespace {

using vekhost::Line;

int32_t RunPass() {
    return ExplodedPass(0, 0, 0, 0);
}

class ExplodedPassTest : public EngineTest {};

TEST_F(ExplodedPassTest, EventsOtherThanZeroDoNoWork) {
    vekhost::SetCallLog(true);
    EXPECT_EQ(ExplodedPass(7, 0, 0, 0), 0);
    for (int32_t event : {1, 2, 3, 8, -5}) {
        EXPECT_EQ(ExplodedPass(event, 0, 0, 0), 2) << event;
    }
    EXPECT_TRUE(vekhost::CallLog().empty());
}

struct ColorCase {
    int32_t color;
    bool configured;
};
class ExplodedColorTest : public ExplodedPassTest,
                          public ::testing::WithParamInterface<ColorCase> {};

TEST_P(ExplodedColorTest, FourLinesBecomeFourFiguresOnTheLayer) {
    const VekId layer = vekhost::AddLayer("Parts");
    const VekId seg = Square(0.00049, 0.0006, layer);
    // Each element its own line type, to see which one each figure gets.
    VekId element = VekSgmGetHeadElementId(seg);
    for (int32_t i = 0; element != VEK_NONE; ++i) {
        const LineTypeRecord lt = vekhost::MakeLineType(i, 10 + i);
        VekFigSetLineType(element, &lt);
        element = VekElmGetNextElementId(element);
    }
    vekhost::Select({seg});
    Settings(3);
    ActiveSettings.Color = GetParam().color;
    ActiveSettings.colorIndex = 7;
    ActiveSettings.lineTypeCode = 8;
    vekhost::ClearCallLog();
    EXPECT_EQ(RunPass(), 0);
    EXPECT_FALSE(Exists(seg));
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 4u);
    for (int32_t i = 0; i < 4; ++i) {
        const auto s = Seg(segments[size_t(i)]);
        EXPECT_EQ(s.layer, layer);
        EXPECT_FALSE(s.closed);
        ASSERT_EQ(s.elements.size(), 1u);
        EXPECT_EQ(s.elements[0].type, VEK_LINE);
        EXPECT_EQ(s.elements[0].figure.p1[1], i < 2 ? 0.001 : 10.001);
        const LineTypeRecord& lt = s.elements[0].lineType;
        EXPECT_EQ(lt.colorIndex, GetParam().configured ? 7 : i);
        EXPECT_EQ(lt.lineTypeCode, GetParam().configured ? 8 : 10 + i);
    }
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
    EXPECT_EQ(vekhost::CallCount("VekSgmEditSegment"), 0);
}

INSTANTIATE_TEST_SUITE_P(ColorModes, ExplodedColorTest,
                         ::testing::Values(ColorCase{0, false}, ColorCase{1, true},
                                           ColorCase{3, false}));

TEST_F(ExplodedPassTest, RoundedCornerBecomesAnArcFigure) {
    const VekId seg = CorneredSquare(VEK_ROUND_CORNER, 2.00049);
    vekhost::Select({seg});
    Settings(3);
    RunPass();
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 5u);
    const auto arc = Seg(segments[2]).elements.at(0);
    EXPECT_EQ(arc.type, VEK_ARC);
    EXPECT_DOUBLE_EQ(arc.figure.size, 2.0);
    EXPECT_NEAR(arc.figure.p1[0], 8.0, 1e-9);
    EXPECT_NEAR(arc.figure.p1[1], 8.0, 1e-9);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ExplodedPassTest, ChamferBecomesALineFigure) {
    const VekId seg = CorneredSquare(VEK_CHAMFER, 1.0004);
    vekhost::Select({seg});
    Settings(2);
    RunPass();
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 5u);
    const auto line = Seg(segments[2]).elements.at(0);
    EXPECT_EQ(line.type, VEK_LINE);
    EXPECT_DOUBLE_EQ(line.figure.p1[0], 10.0);
    EXPECT_DOUBLE_EQ(line.figure.p1[1], 9.0);
    EXPECT_DOUBLE_EQ(line.figure.p2[0], 9.0);
    EXPECT_DOUBLE_EQ(line.figure.p2[1], 10.0);
}

TEST_F(ExplodedPassTest, VanishedRecordsMakeNoFigureButTheFigureCounts) {
    const VekId seg = vekhost::AddSegment(
        {Line(0, 0, 0.04, 0.01), Line(0, 0, 5, 0), vekhost::Circle(1, 1, 0.02)});
    const VekId gone = vekhost::AddSegment({Line(0, 0, 0.04, 0.01)});
    vekhost::Select({seg, gone});
    Settings(1);
    RunPass();
    ASSERT_EQ(vekhost::SegmentCount(), 1u);
    EXPECT_EQ(Seg(vekhost::Segments()[0]).elements.at(0).figure.p2[0], 5.0);
    EXPECT_FALSE(Exists(gone));
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(2)});
}

TEST_F(ExplodedPassTest, UncorrectableArcIsReportedAndStillCreated) {
    // The rounded radius is far below half the distance between the ends.
    FigureRecord uncorrectable = vekhost::Arc(0.0004, 0.5, -1.0004, 0, 1.0004, 0, true);
    uncorrectable.size = 0.5;
    const VekId seg =
        vekhost::AddSegment({Line(-2, 0, -1.0004, 0), uncorrectable, Line(1.0004, 0, 2, 0)});
    vekhost::Select({seg});
    Settings(3);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(vekhost::CallCount("VekAriTanCir2Pnts"), 21);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kArcLoop});
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 3u);
    const auto arc = Seg(segments[1]).elements.at(0);
    EXPECT_EQ(arc.type, VEK_ARC);
    EXPECT_DOUBLE_EQ(arc.figure.p1[0], 0.0);  // the rounded centre
    EXPECT_DOUBLE_EQ(arc.figure.p2[0], -1.0);
    EXPECT_DOUBLE_EQ(arc.figure.size, 0.5);
}

TEST_F(ExplodedPassTest, FigureOf3000ElementsIsRefused) {
    const VekId seg = Chain(3000);
    vekhost::Select({seg});
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{kTooLarge2});
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{seg});
    EXPECT_EQ(vekhost::CallCount("VekFigGetFigure2"), 0);
}

TEST_F(ExplodedPassTest, FigureOf2999ElementsIsExploded) {
    vekhost::Select({Chain(2999)});
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(vekhost::SegmentCount(), 2999u);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
}

TEST_F(ExplodedPassTest, MoreThan3000FiguresAreAccepted) {
    std::vector<VekId> picked;
    for (int i = 0; i < 3001; ++i) {
        picked.push_back(vekhost::AddSegment({Line(i, 0, i + 0.5, 1)}));
    }
    vekhost::Select(picked);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(3001)});
    EXPECT_EQ(vekhost::SegmentCount(), 3001u);
    EXPECT_EQ(CopyList.count, 0);
}

// A host whose exploded form is empty for a figure with elements: deleting
// the figure would leave nothing in its place.
TEST_F(ExplodedPassTest, EmptyExplodedFormStopsTheRun) {
    const VekId seg = Square(0, 0);
    vekhost::SetExplodedForm(seg, {});
    vekhost::Select({seg});
    RunPass();
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kUnreadable});
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{seg});
}

// More records than elements: those beyond the walk take the line type of
// the figure's last element.
TEST_F(ExplodedPassTest, RecordsBeyondTheWalkTakeTheFiguresLastLineType) {
    const VekId seg =
        vekhost::AddSegment({Line(0, 0, 1, 0)}, false, 0, vekhost::MakeLineType(4, 4));
    vekhost::SetExplodedForm(seg, {Line(0, 0, 1, 0), Line(1, 0, 1, 1), Line(1, 1, 0, 1)});
    vekhost::Select({seg});
    RunPass();
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 3u);
    for (VekId s : segments) {
        EXPECT_EQ(Seg(s).elements.at(0).lineType.colorIndex, 4);
    }
}

// A corner that shrinks to nothing on the grid is tested as what it becomes
// (an arc, a line) and makes nothing, like a collapsed arc or line.
TEST_F(ExplodedPassTest, CornersThatShrinkToNothingMakeNothing) {
    for (uint32_t kind : {uint32_t{VEK_ROUND_CORNER}, uint32_t{VEK_CHAMFER}}) {
        SCOPED_TRACE(kind);
        vekhost::Reset();
        vekhost::Select({CorneredSquare(kind, 0.2)});
        Settings(0);
        RunPass();
        EXPECT_TRUE(Errors().empty());
        const auto segments = vekhost::Segments();
        ASSERT_EQ(segments.size(), 4u);
        for (VekId s : segments) {
            EXPECT_EQ(Seg(s).elements.at(0).type, VEK_LINE);
        }
    }
}

TEST_F(ExplodedPassTest, WalkCutShortStopsBeforeAnyPieceTakesAnotherLineType) {
    const VekId first = Square(0, 0, 0, vekhost::MakeLineType(1, 1));
    const VekId second = Square(20, 0, 0, vekhost::MakeLineType(2, 2));
    vekhost::Select({first, second});
    // The walk of the second figure is cut after its second element while
    // its exploded form still has four records.
    vekhost::FailCall("VekElmGetNextElementId", 5);
    RunPass();
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kUnreadable});
    EXPECT_TRUE(Boxes().empty());
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 5u);
    EXPECT_EQ(segments[0], second);
    for (size_t i = 1; i < segments.size(); ++i) {
        EXPECT_EQ(Seg(segments[i]).elements.at(0).lineType.colorIndex, 1) << i;
    }
}

TEST_F(ExplodedPassTest, CopiesLeftByAStoppedStandardRunAreDeleted) {
    const VekId seg = Square(0, 0);
    vekhost::Select({seg});
    vekhost::FailCall("VekFigCreateFigure");
    StandardPass(0, 0, 0, 0);
    ASSERT_EQ(CopyList.count, 1);
    const VekId copy = CopyList.ids[0];
    vekhost::ClearFaults();
    vekhost::Select({seg});
    RunPass();
    EXPECT_FALSE(Exists(copy));
    EXPECT_EQ(CopyList.count, 0);
    EXPECT_EQ(vekhost::SegmentCount(), 4u);
}

}  // namespace
