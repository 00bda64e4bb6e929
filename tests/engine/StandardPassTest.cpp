// The standard pass run through the stand-in host: what the drawing holds
// afterwards, what the host showed, and the calls where their order matters.
#include "tests/engine/EngineFixture.h"
#include "tests/engine/TestFigures.h"
#include "engine/StandardPass.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

using vekhost::Line;

int32_t RunPass() {
    return StandardPass(0, 0, 0, 0);
}

// A rounded corner as the host stores it between its trimmed neighbours.
FigureRecord Fillet(double cx, double cy, double sx, double sy, double ex, double ey, double r) {
    FigureRecord c = vekhost::Arc(cx, cy, sx, sy, ex, ey);
    c.kind = VEK_ROUND_CORNER;
    c.size = r;
    return c;
}

// Closed square 0..10 whose corner at (10, 10) is rounded with radius r,
// the corner record at slot `at` (0 to 4) of the element order.
VekId RoundedSquare(double r, int at = 2) {
    std::vector<FigureRecord> ring = {Line(0, 0, 10, 0), Line(10, 0, 10, 10 - r),
                                      Fillet(10 - r, 10 - r, 10, 10 - r, 10 - r, 10, r),
                                      Line(10 - r, 10, 0, 10), Line(0, 10, 0, 0)};
    std::vector<FigureRecord> order;
    for (int i = 0; i < 5; ++i) {
        order.push_back(ring[(2 - at + 5 + i) % 5]);
    }
    return vekhost::AddSegment(order, true);
}

std::vector<vekhost::Element> OfType(const vekhost::Segment& s, int32_t type) {
    std::vector<vekhost::Element> out;
    for (const auto& e : s.elements) {
        if (e.type == type) {
            out.push_back(e);
        }
    }
    return out;
}

// The one segment that is neither listed as a copy nor given in `old`.
VekId NewSegment(const std::vector<VekId>& old) {
    VekId found = VEK_NONE;
    for (VekId id : vekhost::Segments()) {
        bool known = false;
        for (VekId o : old) {
            known = known || o == id;
        }
        for (int32_t i = 0; i < CopyList.count; ++i) {
            known = known || CopyList.ids[i] == id;
        }
        if (!known) {
            EXPECT_EQ(found, VEK_NONE) << "more than one new segment";
            found = id;
        }
    }
    return found;
}

class StandardPassTest : public EngineTest {};

TEST_F(StandardPassTest, EventsOtherThanZeroDoNoWork) {
    vekhost::SetCallLog(true);
    EXPECT_EQ(StandardPass(7, 0, 0, 0), 0);
    for (int32_t event : {1, 2, 3, 6, 8, -1}) {
        EXPECT_EQ(StandardPass(event, 0, 0, 0), 3) << event;
    }
    EXPECT_TRUE(vekhost::CallLog().empty());
}

TEST_F(StandardPassTest, EmptySelectionOnlyReportsZero) {
    vekhost::Select({});
    vekhost::SetCallLog(true);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(CallNames(),
              (std::vector<std::string>{"VekIddOpenSelIdData", "VekIddGetHeadSelIdData",
                                        "VekIddCloseSelIdData", "VekDlgMessageBox"}));
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(0)});
    EXPECT_EQ(vekhost::OpenSelectionCount(), 0);
}

// The calls a run makes, stage by stage.
struct Stage {
    const char* what;
    std::vector<std::string> calls;
};

std::string Joined(std::vector<std::string>::const_iterator from,
                   std::vector<std::string>::const_iterator to) {
    std::string text;
    for (auto it = from; it != to; ++it) {
        text += (text.empty() ? "" : ", ") + *it;
    }
    return "[" + text + "]";
}

// `calls` are the stages' calls in order; a failure names the first stage
// that differs and the calls made in its place.
::testing::AssertionResult InStages(const std::vector<std::string>& calls,
                                    const std::vector<Stage>& stages) {
    auto at = calls.begin();
    for (const Stage& stage : stages) {
        const auto left = static_cast<size_t>(calls.end() - at);
        const auto end = at + static_cast<std::ptrdiff_t>(std::min(left, stage.calls.size()));
        if (!std::equal(at, end, stage.calls.begin(), stage.calls.end())) {
            return ::testing::AssertionFailure()
                   << stage.what << ": got " << Joined(at, end) << ", expected "
                   << Joined(stage.calls.begin(), stage.calls.end());
        }
        at = end;
    }
    if (at != calls.end()) {
        return ::testing::AssertionFailure()
               << "calls after the last stage: " << Joined(at, calls.end());
    }
    return ::testing::AssertionSuccess();
}

TEST_F(StandardPassTest, OneOpenLineInTheFixedCallOrder) {
    const VekId seg = vekhost::AddSegment({Line(0.1234, 0, 1, 1)});
    vekhost::Select({seg});
    Settings(2);
    vekhost::SetCallLog(true);
    EXPECT_EQ(RunPass(), 0);
    const std::vector<std::string> ends = {"VekFigIsClosed", "VekSgmGetHeadElementId",
                                           "VekFigGetFigure", "VekSgmGetTailElementId",
                                           "VekFigGetFigure"};
    const std::vector<Stage> stages = {
        {"selection and working copy",
         {"VekIddOpenSelIdData", "VekIddGetHeadSelIdData", "VekSgmEditSegment"}},
        {"arcs to corners, a walk that ends at the tail",
         {"VekSgmGetHeadElementId", "VekSgmGetTailElementId", "VekFigGetFigure"}},
        {"fillets at the ends of the open copy", ends},
        {"chamfers at its ends", ends},
        {"open or closed", {"VekFigIsClosed"}},
        {"element walk",
         {"VekSgmGetHeadElementId", "VekSgmGetTailElementId", "VekFigGetFigure", "VekElmGetType",
          "VekFigGetLineType"}},
        {"the new segment",
         {"VekSgmCreateSegment", "VekFigCreateFigure", "VekFigSetLineType", "VekSgmGetLayer",
          "VekSgmChangeLayer"}},
        {"the picked figure goes", {"VekSgmDeleteSegment"}},
        {"end of the selection", {"VekIddGetNextSelIdData", "VekIddCloseSelIdData"}},
        {"the copy goes, the count is shown", {"VekSgmDeleteSegment", "VekDlgMessageBox"}},
    };
    EXPECT_TRUE(InStages(CallNames(), stages));
    const auto log = vekhost::CallLog();
    EXPECT_EQ(log[0], "VekIddOpenSelIdData(1,0,0,0)");
    ASSERT_EQ(vekhost::Segments().size(), 1u);
    const auto out = Seg(vekhost::Segments()[0]);
    ASSERT_EQ(out.elements.size(), 1u);
    EXPECT_DOUBLE_EQ(out.elements[0].figure.p1[0], 0.12);
    EXPECT_FALSE(out.closed);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
    EXPECT_EQ(CopyList.count, 0);
}

TEST_F(StandardPassTest, PassesItsFurtherArgumentsToTheSelection) {
    vekhost::Select({});
    vekhost::SetCallLog(true);
    StandardPass(0, 11, 22, 33);
    EXPECT_EQ(vekhost::CallLog()[0], "VekIddOpenSelIdData(1,11,22,33)");
}

struct ColorCase {
    int32_t color;
    bool configured;
};
class StandardColorTest : public StandardPassTest,
                          public ::testing::WithParamInterface<ColorCase> {};

TEST_P(StandardColorTest, ClosedFigureOnItsLayerWithTheRightLineTypes) {
    const VekId layer = vekhost::AddLayer("Walls");
    const VekId seg = Square(10.00049, 20.0006, layer, vekhost::MakeLineType(3, 4));
    vekhost::Select({seg});
    Settings(3);
    RefPoint[0] = 10;
    RefPoint[1] = 20;
    ActiveSettings.Color = GetParam().color;
    ActiveSettings.colorIndex = 5;
    ActiveSettings.lineTypeCode = 6;
    EXPECT_EQ(RunPass(), 0);
    ASSERT_FALSE(Exists(seg));
    ASSERT_EQ(vekhost::Segments().size(), 1u);
    const auto out = Seg(vekhost::Segments()[0]);
    EXPECT_TRUE(out.closed);
    EXPECT_EQ(out.layer, layer);
    ASSERT_EQ(out.elements.size(), 4u);
    const double x[4] = {10, 20, 20, 10}, y[4] = {20.001, 20.001, 30.001, 30.001};
    for (int i = 0; i < 4; ++i) {
        const auto& e = out.elements[size_t(i)];
        EXPECT_EQ(e.type, VEK_LINE);
        EXPECT_NEAR(e.figure.p1[0], x[i], 1e-12) << i;
        EXPECT_NEAR(e.figure.p1[1], y[i], 1e-12) << i;
        if (GetParam().configured) {
            EXPECT_EQ(e.lineType.colorIndex, 5);
            EXPECT_EQ(e.lineType.lineTypeCode, 6);
            EXPECT_EQ(e.lineType.reserved[0], 0);
        } else {
            EXPECT_EQ(e.lineType.colorIndex, 3);
            EXPECT_EQ(e.lineType.lineTypeCode, 4);
        }
    }
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
}

INSTANTIATE_TEST_SUITE_P(ColorModes, StandardColorTest,
                         ::testing::Values(ColorCase{0, false}, ColorCase{1, true},
                                           ColorCase{2, false}, ColorCase{-1, false}));

TEST_F(StandardPassTest, OpenFigureStaysOpenOnItsLayer) {
    const VekId layer = vekhost::AddLayer("Open");
    const VekId seg =
        vekhost::AddSegment({Line(0, 0, 1.26, 0), Line(1.26, 0, 1.26, 2.71)}, false, layer);
    vekhost::Select({seg});
    Settings(1);
    RunPass();
    ASSERT_EQ(vekhost::Segments().size(), 1u);
    const auto out = Seg(vekhost::Segments()[0]);
    EXPECT_FALSE(out.closed);
    EXPECT_EQ(out.layer, layer);
    ASSERT_EQ(out.elements.size(), 2u);
    EXPECT_DOUBLE_EQ(out.elements[1].figure.p2[1], 2.7);
}

TEST_F(StandardPassTest, VanishedElementsAreDroppedAndTheFigureStillCounts) {
    const VekId mixed =
        vekhost::AddSegment({Line(0, 0, 0.04, 0.04), Line(0, 0, 5, 0), vekhost::Circle(3, 3, 0.04),
                             vekhost::Circle(3, 3, 1)});
    const VekId gone = vekhost::AddSegment({Line(0, 0, 0.04, 0.04), vekhost::Circle(3, 3, 0.04)});
    vekhost::Select({mixed, gone});
    Settings(1);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_FALSE(Exists(mixed));
    EXPECT_FALSE(Exists(gone));
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 2u);
    const auto kept = Seg(segments[0]);
    ASSERT_EQ(kept.elements.size(), 2u);
    EXPECT_EQ(kept.elements[0].type, VEK_LINE);
    EXPECT_EQ(kept.elements[1].type, VEK_CIRCLE);
    EXPECT_TRUE(Seg(segments[1]).elements.empty());
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(2)});
}

// Captures the arguments of every corner the pass asks for, refusing those
// the predicate names.
struct CornerSpy {
    std::vector<std::vector<double>> calls;
    void Install(std::function<bool(double)> refuse) {
        vekhost::FailWhen("VekFigAddCorner", [this, refuse](const std::vector<double>& a) {
            calls.push_back(a);
            return refuse(a[3]);
        });
    }
};

TEST_F(StandardPassTest, RoundedCornerAddedAgainAtTheRoundedRadius) {
    const VekId seg = RoundedSquare(2.00049);
    vekhost::Select({seg});
    Settings(3);
    CornerSpy spy;
    spy.Install([](double) { return false; });
    RunPass();
    ASSERT_EQ(spy.calls.size(), 1u);
    EXPECT_DOUBLE_EQ(spy.calls[0][2], 0);
    EXPECT_DOUBLE_EQ(spy.calls[0][3], 2.0);
    const auto out = Seg(vekhost::Segments().at(0));
    const auto corners = OfType(out, VEK_ROUND_CORNER);
    ASSERT_EQ(corners.size(), 1u);
    EXPECT_DOUBLE_EQ(corners[0].figure.size, 2.0);
    EXPECT_EQ(OfType(out, VEK_LINE).size(), 4u);
    EXPECT_TRUE(out.closed);
}

TEST_F(StandardPassTest, RefusedFilletRetriedAtAdjustedRadiiInOrder) {
    const VekId seg = RoundedSquare(2.0);
    vekhost::Select({seg});
    Settings(3);
    const double accepted = 2.0 + 4 * 0.001;
    CornerSpy spy;
    spy.Install([&](double r) { return std::fabs(r - accepted) > 1e-9; });
    RunPass();
    ASSERT_EQ(spy.calls.size(), 15u);
    EXPECT_DOUBLE_EQ(spy.calls[0][3], 2.0);
    double r = 2.0 - 10 * 0.001;
    for (size_t i = 1; i < spy.calls.size(); ++i) {
        r = r + 0.001;
        EXPECT_EQ(spy.calls[i][3], r) << i;
    }
    const auto corners = OfType(Seg(vekhost::Segments().at(0)), VEK_ROUND_CORNER);
    ASSERT_EQ(corners.size(), 1u);
    EXPECT_NEAR(corners[0].figure.size, accepted, 1e-9);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(StandardPassTest, FilletRefusedAtEveryRadiusLeavesThePickedFigureAlone) {
    const VekId first = Square(20, 0);
    const VekId seg = RoundedSquare(2.0);
    vekhost::Select({first, seg});
    Settings(3);
    CornerSpy spy;
    spy.Install([](double) { return true; });
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(spy.calls.size(), 21u);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kArcLoop});
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(vekhost::OpenSelectionCount(), 0);
    ASSERT_EQ(CopyList.count, 2);
    // The second figure is untouched and no part of its new segment is left.
    EXPECT_EQ(Seg(seg).elements.size(), 5u);
    EXPECT_FALSE(Exists(first));
    DeleteListedCopies();
    EXPECT_EQ(vekhost::SegmentCount(), 2u);
    EXPECT_NE(NewSegment({seg}), VEK_NONE);
}

TEST_F(StandardPassTest, CornerInFirstAndLastSlotWrapsRound) {
    for (int at : {0, 4}) {
        vekhost::Reset();
        const VekId seg = RoundedSquare(1.5, at);
        vekhost::Select({seg});
        Settings(3);
        CornerSpy spy;
        spy.Install([](double) { return false; });
        RunPass();
        ASSERT_EQ(spy.calls.size(), 1u) << at;
        const auto lines = OfType(Seg(vekhost::Segments().at(0)), VEK_LINE);
        ASSERT_EQ(lines.size(), 4u);
        // Slot order kept: the corner sits between the lines that were
        // around it, wrapping from the last slot to the first.
        EXPECT_EQ(VekId(spy.calls[0][0]), lines[3].id) << at;
        EXPECT_EQ(VekId(spy.calls[0][1]), lines[0].id) << at;
        EXPECT_EQ(OfType(Seg(vekhost::Segments().at(0)), VEK_ROUND_CORNER).size(), 1u) << at;
    }
}

TEST_F(StandardPassTest, TangentArcBecomesACornerAndIsRebuilt) {
    const double r = 2;
    const VekId seg = vekhost::AddSegment({Line(0, 0, 10, 0), Line(10, 0, 10, 10 - r),
                                           vekhost::Arc(10 - r, 10 - r, 10, 10 - r, 10 - r, 10),
                                           Line(10 - r, 10, 0, 10), Line(0, 10, 0, 0)},
                                          true);
    vekhost::Select({seg});
    Settings(3);
    RunPass();
    EXPECT_EQ(vekhost::CallCount("VekFigChangeCorner"), 1);
    EXPECT_EQ(vekhost::CallCount("VekFigAddCorner"), 1);
    const auto out = Seg(vekhost::Segments().at(0));
    EXPECT_EQ(OfType(out, VEK_ROUND_CORNER).size(), 1u);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(StandardPassTest, ChamferAddedAgainMeasuredFromTheRoundedEnd) {
    const VekId seg = CorneredSquare(VEK_CHAMFER, 1.0004);
    vekhost::Select({seg});
    Settings(2);
    CornerSpy spy;
    spy.Install([](double) { return false; });
    RunPass();
    ASSERT_EQ(spy.calls.size(), 1u);
    EXPECT_DOUBLE_EQ(spy.calls[0][2], 1);
    EXPECT_DOUBLE_EQ(spy.calls[0][3], 1.0);
    EXPECT_EQ(OfType(Seg(vekhost::Segments().at(0)), VEK_CHAMFER).size(), 1u);
}

TEST_F(StandardPassTest, CornerInsideAnOpenFigureStaysACorner) {
    const double r = 2;
    const VekId seg = vekhost::AddSegment(
        {Line(0, 0, 10, 0), Line(10, 0, 10, 10 - r),
         Fillet(10 - r, 10 - r, 10, 10 - r, 10 - r, 10, r), Line(10 - r, 10, 0, 10)},
        false);
    vekhost::Select({seg});
    Settings(3);
    RunPass();
    EXPECT_EQ(vekhost::CallCount("VekFigChangeCorner"), 0);
    EXPECT_EQ(vekhost::CallCount("VekFigAddCorner"), 1);
    const auto out = Seg(vekhost::Segments().at(0));
    EXPECT_FALSE(out.closed);
    EXPECT_EQ(OfType(out, VEK_ROUND_CORNER).size(), 1u);
}

TEST_F(StandardPassTest, CornersAtFreeEndsAreChangedBackBeforeTheWalk) {
    FigureRecord chamfer = Record(VEK_CHAMFER);
    chamfer.p1[0] = 0;
    chamfer.p1[1] = 10;
    chamfer.p2[0] = 1;
    chamfer.p2[1] = 10;
    chamfer.p3[0] = 0;
    chamfer.p3[1] = 9;
    chamfer.size = 1;
    const VekId seg =
        vekhost::AddSegment({Fillet(8, 8, 10, 8, 8, 10, 2), Line(8, 10, 1, 10), chamfer}, false);
    vekhost::Select({seg});
    Settings(3);
    RunPass();
    // A corner at a free end has one neighbour and could not be added again.
    EXPECT_EQ(vekhost::CallCount("VekFigChangeCorner"), 2);
    EXPECT_EQ(vekhost::CallCount("VekFigAddCorner"), 0);
    EXPECT_TRUE(Errors().empty());
    const auto out = Seg(vekhost::Segments().at(0));
    EXPECT_EQ(OfType(out, VEK_ROUND_CORNER).size() + OfType(out, VEK_CHAMFER).size(), 0u);
    EXPECT_EQ(OfType(out, VEK_ARC).size(), 1u);
    EXPECT_EQ(OfType(out, VEK_LINE).size(), 2u);
}

TEST_F(StandardPassTest, UnreadableEndOfAnOpenCopyStopsWithTheElementMessage) {
    const VekId seg = vekhost::AddSegment({Line(0, 0, 1, 0), Line(1, 0, 1, 1)});
    vekhost::Select({seg});
    // Two reads by the arc step, then the first end read of the fillet step.
    vekhost::FailCall("VekFigGetFigure", 3);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kUnreadable});
    EXPECT_EQ(vekhost::OpenSelectionCount(), 0);
    EXPECT_EQ(Seg(seg).elements.size(), 2u);
    EXPECT_EQ(CopyList.count, 1);
    EXPECT_EQ(vekhost::SegmentCount(), 2u);  // the picked figure and its copy
}

TEST_F(StandardPassTest, CopyThatCannotBeDeletedIsTriedAgainThenReported) {
    const VekId seg = Square(0, 0);
    vekhost::Select({seg});
    Settings(3);
    // The picked figure goes first; then the copy, twice.
    vekhost::FailCall("VekSgmDeleteSegment", 2, 2);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kCopyNotDeleted});
    EXPECT_TRUE(Boxes().empty());
    ASSERT_EQ(CopyList.count, 1);  // the command's end tries once more
    EXPECT_TRUE(DeleteListedCopies());
    EXPECT_EQ(vekhost::SegmentCount(), 1u);

    // A single refusal is mended by the second try.
    vekhost::ClearMessages();
    vekhost::Select(vekhost::Segments());
    vekhost::FailCall("VekSgmDeleteSegment", 2);
    RunPass();
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
    EXPECT_EQ(vekhost::SegmentCount(), 1u);
}

// Each corner comes back with its own line type (or the configured one),
// not the one of the element before it that the host copies.
TEST_F(StandardPassTest, CornersKeepTheirOwnLineType) {
    for (uint32_t kind : {uint32_t{VEK_ROUND_CORNER}, uint32_t{VEK_CHAMFER}}) {
        for (int32_t color : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " Color " << color);
            vekhost::Reset();
            const VekId seg = CorneredSquare(kind, 2);
            const auto elements = Seg(seg).elements;
            for (size_t i = 0; i < elements.size(); ++i) {
                const LineTypeRecord lt = vekhost::MakeLineType(int32_t(i) + 1, int32_t(i) + 1);
                VekFigSetLineType(elements[i].id, &lt);
            }
            vekhost::Select({seg});
            Settings(2);
            ActiveSettings.Color = color;
            ActiveSettings.colorIndex = 9;
            ActiveSettings.lineTypeCode = 8;
            RunPass();
            const auto out = Seg(vekhost::Segments().at(0));
            const auto corners = OfType(out, kind);
            ASSERT_EQ(corners.size(), 1u);
            EXPECT_EQ(corners[0].lineType.colorIndex, color == 1 ? 9 : 3);
            EXPECT_EQ(corners[0].lineType.lineTypeCode, color == 1 ? 8 : 3);
        }
    }
}

// A line between a corner and the figure's end shrinks to nothing on the
// grid: the chamfer has no element to stand against, and says so.
TEST_F(StandardPassTest, CornerBesideAnElementThatShrankToNothingStops) {
    FigureRecord chamfer = Record(VEK_CHAMFER);
    chamfer.p1[0] = 5.3, chamfer.p1[1] = 0;
    chamfer.p2[0] = 5.1, chamfer.p2[1] = 0;
    chamfer.p3[0] = 5.3, chamfer.p3[1] = 0.2;
    chamfer.size = 0.2;
    const VekId seg = vekhost::AddSegment(
        {Line(0, 0, 5.1, 0), chamfer, Line(5.3, 0.2, 5.3, 0.4), Line(5.3, 0.4, 9, 4)});
    vekhost::Select({seg});
    Settings(0);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kNeighbourGone});
    EXPECT_EQ(vekhost::CallCount("VekFigAddCorner"), 0);
    DeleteListedCopies();
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{seg});
}

// An arc among lines that shrinks to a point on the grid is dropped like a
// line whose ends meet; the lines around it still meet.
TEST_F(StandardPassTest, ArcThatShrinksToAPointIsDropped) {
    const VekId seg = vekhost::AddSegment({Line(0, 0, 1.001, 0),
                                           vekhost::Arc(1.001, 0.002, 1.001, 0, 1.003, 0.002),
                                           Line(1.003, 0.002, 1, 5)});
    vekhost::Select({seg});
    Settings(2);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_TRUE(Errors().empty());
    const auto out = Seg(vekhost::Segments().at(0));
    ASSERT_EQ(out.elements.size(), 2u);
    EXPECT_EQ(OfType(out, VEK_ARC).size(), 0u);
    EXPECT_DOUBLE_EQ(out.elements[0].figure.p2[0], out.elements[1].figure.p1[0]);
}

TEST_F(StandardPassTest, RefusedChamferLeavesThePickedFigureAlone) {
    const VekId seg = CorneredSquare(VEK_CHAMFER, 1);
    vekhost::Select({seg});
    Settings(2);
    vekhost::FailCall("VekFigAddCorner");
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kChamfer});
    DeleteListedCopies();
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{seg});
}

TEST_F(StandardPassTest, UncorrectableArcLeavesThePickedFigureAlone) {
    // A non-tangent arc stays an arc; its rebuild finds no centre: its
    // rounded radius is far below half the distance between its ends.
    FigureRecord arc = vekhost::Arc(0, 0.5, -1.003, 0, 1.003, 0, true);
    arc.size = 0.5;
    const VekId seg = vekhost::AddSegment({arc, Line(1.003, 0, -1.003, 0)}, true);
    vekhost::Select({seg});
    Settings(2);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Errors(), std::vector<std::u16string>{kArcLoop});
    DeleteListedCopies();
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{seg});
}

TEST_F(StandardPassTest, FigureOf2999ElementsIsConverted) {
    const VekId seg = Chain(2999);
    vekhost::Select({seg});
    Settings(3);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
    ASSERT_EQ(vekhost::Segments().size(), 1u);
    EXPECT_EQ(Seg(vekhost::Segments()[0]).elements.size(), 2999u);
}

TEST_F(StandardPassTest, FigureOf3000ElementsIsRefusedAfterItsCopy) {
    const VekId seg = Chain(3000);
    vekhost::Select({seg});
    Settings(3);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{kTooLarge1});
    EXPECT_TRUE(Errors().empty());
    ASSERT_EQ(CopyList.count, 1);
    EXPECT_TRUE(Exists(CopyList.ids[0]));
    EXPECT_EQ(vekhost::SegmentCount(), 2u);
    EXPECT_EQ(Seg(seg).elements.size(), 3000u);
}

TEST_F(StandardPassTest, ThreeThousandAndOneFiguresFillTheCopyList) {
    std::vector<VekId> picked;
    for (int i = 0; i < 3001; ++i) {
        picked.push_back(vekhost::AddSegment({Line(i, 0, i + 0.5, 1)}));
    }
    vekhost::Select(picked);
    Settings(3);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{kCopyListFull});
    EXPECT_EQ(CopyList.count, 3000);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_FALSE(Exists(picked[size_t(i)])) << i;
    }
    EXPECT_TRUE(Exists(picked[3000]));
    EXPECT_EQ(vekhost::SegmentCount(), 3000u + 3000u + 1u);
}

TEST_F(StandardPassTest, NextRunDeletesCopiesLeftByAStoppedRun) {
    const VekId seg = Square(0, 0);
    vekhost::Select({seg});
    vekhost::FailCall("VekFigCreateFigure");
    RunPass();
    ASSERT_EQ(CopyList.count, 1);
    const VekId copy = CopyList.ids[0];
    ASSERT_TRUE(Exists(copy));
    vekhost::ClearFaults();
    vekhost::ClearMessages();
    vekhost::Select({seg});
    vekhost::SetCallLog(true);
    EXPECT_EQ(RunPass(), 0);
    EXPECT_EQ(vekhost::CallLog().at(0), "VekSgmDeleteSegment(" + std::to_string(copy) + ")");
    EXPECT_FALSE(Exists(copy));
    EXPECT_EQ(CopyList.count, 0);
    EXPECT_EQ(vekhost::SegmentCount(), 1u);
    EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(1)});
}

TEST_F(StandardPassTest, FirstLoadDefaultsRoundToWholeUnitsKeepingLineTypes) {
    const VekId seg =
        vekhost::AddSegment({Line(0.4, 0.6, 2.5, -2.5)}, false, 0, vekhost::MakeLineType(9, 2));
    vekhost::Select({seg});
    RunPass();
    const auto e = Seg(vekhost::Segments().at(0)).elements.at(0);
    EXPECT_EQ(e.figure.p1[0], 0.0);
    EXPECT_EQ(e.figure.p1[1], 1.0);
    EXPECT_EQ(e.figure.p2[0], 3.0);
    EXPECT_EQ(e.figure.p2[1], -2.0);
    EXPECT_EQ(e.lineType.colorIndex, 9);
    EXPECT_EQ(e.lineType.lineTypeCode, 2);
}

}  // namespace
