// Segments, elements, identifiers, layers, line types and transformed copies.
#include "tests/host/HostFixture.h"

#include <numbers>
#include <set>

using vekhost::Arc;
using vekhost::Line;

class DrawingTest : public HostTest {};

TEST_F(DrawingTest, BuildsAFigureElementByElementAndWalksIt) {
    VekId seg = VekSgmCreateSegment(0, 0);
    ASSERT_GT(seg, 0);
    EXPECT_EQ(VekSgmGetLayer(seg), 0);
    EXPECT_EQ(VekSgmGetHeadElementId(seg), -1);
    EXPECT_EQ(VekSgmGetTailElementId(seg), -1);
    FigureRecord l3 = Line(2, 0, 3, 0);
    VekId e3 = VekFigCreateFigure(seg, &l3);
    ASSERT_GT(e3, 0);
    // A second create on a segment that is no longer empty is refused.
    EXPECT_EQ(VekFigCreateFigure(seg, &l3), -1);
    FigureRecord l1 = Line(0, 0, 1, 0);
    FigureRecord l2 = Line(1, 0, 2, 0);
    VekId e1 = VekFigInsertFigure(e3, &l1);
    VekId e2 = VekFigInsertFigure(e3, &l2);  // between e1 and e3
    EXPECT_EQ(VekSgmGetHeadElementId(seg), e1);
    EXPECT_EQ(VekSgmGetTailElementId(seg), e3);
    EXPECT_EQ(VekElmGetNextElementId(e1), e2);
    EXPECT_EQ(VekElmGetNextElementId(e2), e3);
    EXPECT_EQ(VekElmGetNextElementId(e3), -1);
    EXPECT_TRUE(SameRecord(Figure(e2), l2));
    EXPECT_EQ(VekElmGetType(e2), VEK_LINE);
    // The tail's next is -1 also when the figure is closed.
    VekFigSetClosed(seg, 1);
    EXPECT_EQ(VekFigIsClosed(seg), 1);
    EXPECT_EQ(VekElmGetNextElementId(e3), -1);
    VekFigSetClosed(seg, 0);
    EXPECT_EQ(VekFigIsClosed(seg), 0);
}

TEST_F(DrawingTest, RecordsAreKeptByteForByte) {
    FigureRecord r = Arc(0, 0, 1, 0, 0, 1);
    for (size_t i = 0; i < sizeof r.unused0; ++i) {
        r.unused0[i] = static_cast<uint8_t>(0xA0 + i);
    }
    for (size_t i = 0; i < sizeof r.unused1; ++i) {
        r.unused1[i] = static_cast<uint8_t>(i + 1);
    }
    r.direction = 7;  // any value but 1: counter-clockwise, kept as given
    VekId seg = VekSgmCreateSegment(0, 0);
    VekId e = VekFigCreateFigure(seg, &r);
    EXPECT_TRUE(SameRecord(Figure(e), r));
}

TEST_F(DrawingTest, RefusesBadRecordsAndUnknownIdentifiers) {
    VekId seg = VekSgmCreateSegment(0, 0);
    FigureRecord bad[4] = {Line(0, 0, 1, 1), Line(0, 0, 1, 1), Line(std::nan(""), 0, 1, 1),
                           vekhost::Circle(0, 0, -1)};
    bad[0].kind = 0;
    bad[1].kind = 10;
    for (const FigureRecord& r : bad) {
        EXPECT_EQ(VekFigCreateFigure(seg, &r), -1);
    }
    EXPECT_EQ(VekFigCreateFigure(seg, nullptr), -1);
    EXPECT_EQ(VekSgmGetHeadElementId(seg), -1);
    FigureRecord ok = Line(0, 0, 1, 1);
    VekId e = VekFigCreateFigure(seg, &ok);
    for (const FigureRecord& r : bad) {
        EXPECT_EQ(VekFigInsertFigure(e, &r), -1);
    }
    EXPECT_EQ(ElementIds(seg).size(), 1u);

    EXPECT_EQ(VekFigCreateFigure(9999, &ok), -1);
    EXPECT_EQ(VekFigInsertFigure(9999, &ok), -1);
    EXPECT_EQ(VekElmGetType(9999), -1);
    EXPECT_EQ(VekElmGetNextElementId(-1), -1);
    EXPECT_EQ(VekSgmGetLayer(9999), -1);
    // Segment and element identifiers are not interchangeable.
    EXPECT_EQ(VekElmGetType(seg), -1);
    EXPECT_EQ(VekSgmGetHeadElementId(e), -1);
    EXPECT_EQ(VekFigCreateFigure(e, &ok), -1);
    FigureKey key{vekhost::Context(), static_cast<uint32_t>(seg)};
    FigureRecord out{};
    EXPECT_EQ(VekFigGetFigure(&key, &out), -1);
    FigureKey wrongContext{vekhost::Context() + 1, static_cast<uint32_t>(e)};
    EXPECT_EQ(VekFigGetFigure(&wrongContext, &out), -1);
    EXPECT_EQ(VekFigGetFigure(nullptr, &out), -1);
}

TEST_F(DrawingTest, IdentifiersAreNeverReusedAfterDeletion) {
    std::set<VekId> seen;
    std::vector<VekId> elements;
    VekId first = vekhost::AddSegment({Line(0, 0, 1, 0), Line(1, 0, 1, 1)});
    for (VekId e : ElementIds(first)) {
        elements.push_back(e);
    }
    seen.insert(first);
    for (VekId e : elements) {
        seen.insert(e);
    }

    EXPECT_EQ(VekSgmDeleteSegment(first), 0);
    EXPECT_EQ(VekSgmDeleteSegment(first), -1);  // already gone
    EXPECT_FALSE(vekhost::GetSegment(first));
    for (VekId e : elements) {
        EXPECT_EQ(VekElmGetType(e), -1);
        EXPECT_EQ(VekElmGetNextElementId(e), -1);
        LineTypeRecord lt{};
        EXPECT_EQ(VekFigGetLineType(e, &lt), -1);
        FigureRecord l = Line(0, 0, 1, 1);
        EXPECT_EQ(VekFigInsertFigure(e, &l), -1);
    }
    for (int i = 0; i < 20; ++i) {
        VekId s = vekhost::AddSegment({Line(0, 0, 1, 0)});
        EXPECT_TRUE(seen.insert(s).second);
        for (VekId e : ElementIds(s)) {
            EXPECT_TRUE(seen.insert(e).second);
        }
        EXPECT_EQ(VekSgmEditSegment(s, nullptr, nullptr, 0, 1, 0), -1);  // no points
        if (i % 2) {
            VekSgmDeleteSegment(s);
            const double o[2] = {0, 0};
            EXPECT_EQ(VekSgmEditSegment(s, o, o, 0, 1, 0), -1);  // a deleted segment
        }
    }
    EXPECT_EQ(vekhost::SegmentCount(), 10u);
    EXPECT_EQ(vekhost::Segments().size(), 10u);
    // The storage of deleted elements is reused, never their identifiers.
    EXPECT_FALSE(vekhost::GetSegment(first));
    for (VekId e : elements) {
        EXPECT_EQ(VekElmGetType(e), -1);
    }
    for (VekId s : vekhost::Segments()) {
        auto els = Elements(s);
        ASSERT_EQ(els.size(), 1u);
        EXPECT_TRUE(SameRecord(els[0].figure, Line(0, 0, 1, 0)));
        EXPECT_EQ(VekElmGetType(els[0].id), VEK_LINE);
    }

    // Reset starts the numbering again.
    vekhost::Reset();
    EXPECT_EQ(vekhost::AddSegment({}), 1);
}

// A drawing added in parts gets the identifiers it would have got whole,
// and a cleared host takes the next part into the records it freed.
TEST_F(DrawingTest, ReservedSegmentsGetTheIdentifiersOfAWholeLoad) {
    const std::vector<std::vector<FigureRecord>> figures = {
        {Line(0, 0, 1, 0), Line(1, 0, 1, 1)}, {Arc(0, 0, 1, 0, 0, 1)}, {Line(2, 2, 3, 3)}};
    const VekId walls = vekhost::AddLayer("walls");
    std::vector<std::vector<vekhost::Element>> whole;
    for (const auto& records : figures) {
        whole.push_back(Elements(vekhost::AddSegment(records, true, walls)));
    }
    const std::vector<VekId> wholeIds = vekhost::Segments();

    vekhost::Reset();
    ASSERT_EQ(vekhost::AddLayer("walls"), walls);
    std::vector<VekId> reserved;
    for (const auto& records : figures) {
        reserved.push_back(vekhost::ReserveSegment(records.size()));
    }
    EXPECT_EQ(reserved, wholeIds);
    EXPECT_EQ(vekhost::SegmentCount(), 0u);  // reserved, not added

    // Refused whole: a bad record, an unknown layer, identifiers in use.
    FigureRecord bad = Line(0, 0, 1, 0);
    bad.kind = 42;
    EXPECT_FALSE(vekhost::AddReservedSegment(reserved[2], {bad}, true, walls));
    EXPECT_FALSE(vekhost::AddReservedSegment(reserved[2], figures[2], true, walls + 7));
    EXPECT_EQ(vekhost::SegmentCount(), 0u);
    // The last figure first, then the others once the host is cleared.
    EXPECT_TRUE(vekhost::AddReservedSegment(reserved[2], figures[2], true, walls));
    EXPECT_FALSE(vekhost::AddReservedSegment(reserved[2], figures[2], true, walls));
    EXPECT_EQ(vekhost::Segments(), std::vector<VekId>{reserved[2]});
    const VekId made = vekhost::AddSegment({Line(9, 9, 8, 8)});
    EXPECT_GT(made, reserved[2] + 1);  // after every reserved identifier
    vekhost::ClearSegments();
    EXPECT_EQ(vekhost::SegmentCount(), 0u);
    EXPECT_FALSE(vekhost::GetSegment(made));
    EXPECT_FALSE(vekhost::HasSegment(made));
    for (std::size_t f = 0; f < 2; ++f) {
        EXPECT_TRUE(vekhost::AddReservedSegment(reserved[f], figures[f], true, walls));
        const auto elements = Elements(reserved[f]);
        ASSERT_EQ(elements.size(), whole[f].size());
        for (std::size_t e = 0; e < elements.size(); ++e) {
            EXPECT_EQ(elements[e].id, whole[f][e].id);
            EXPECT_TRUE(SameRecord(elements[e].figure, whole[f][e].figure));
        }
        EXPECT_EQ(VekSgmGetLayer(reserved[f]), walls);
        EXPECT_EQ(VekFigIsClosed(reserved[f]), 1);
    }
    EXPECT_GT(vekhost::AddSegment({Line(0, 0, 1, 1)}), made);  // never reused
}

TEST_F(DrawingTest, ClearingAfterDeletionsLeavesNothingAndTheNextFiguresWhole) {
    const VekId a = vekhost::AddSegment({Line(0, 0, 1, 0), Line(1, 0, 1, 1)});
    const VekId b = vekhost::AddSegment({Line(5, 5, 6, 6)});
    const VekId bElement = ElementIds(b)[0];
    EXPECT_EQ(VekSgmDeleteSegment(a), 0);
    vekhost::ClearSegments();
    EXPECT_FALSE(vekhost::HasSegment(b));
    EXPECT_EQ(VekElmGetType(bElement), -1);
    EXPECT_TRUE(vekhost::Segments().empty());
    const VekId c = vekhost::AddSegment({Line(7, 7, 8, 8), Line(8, 8, 9, 7)});
    const VekId d = vekhost::AddSegment({Line(2, 2, 3, 3)});
    EXPECT_TRUE(vekhost::HasSegment(c));
    EXPECT_FALSE(vekhost::HasSegment(ElementIds(c)[0]));  // an element is no segment
    EXPECT_EQ(vekhost::Segments(), (std::vector<VekId>{c, d}));
    EXPECT_EQ(Elements(c).size(), 2u);
    EXPECT_TRUE(SameRecord(Elements(d)[0].figure, Line(2, 2, 3, 3)));
    EXPECT_EQ(vekhost::SegmentCount(), 2u);
}

TEST_F(DrawingTest, DeletingOneSegmentLeavesOthersIntact) {
    VekId a = vekhost::AddSegment({Line(0, 0, 1, 0), Line(1, 0, 1, 1)});
    VekId b = vekhost::AddSegment({Line(5, 5, 6, 6)});
    VekId c = vekhost::AddSegment({Line(7, 7, 8, 8), Line(8, 8, 9, 7)});
    auto before = Elements(c);
    VekSgmDeleteSegment(b);
    EXPECT_EQ(vekhost::Segments(), (std::vector<VekId>{a, c}));
    auto after = Elements(c);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].id, before[0].id);
    EXPECT_TRUE(SameRecord(after[1].figure, before[1].figure));
}

TEST_F(DrawingTest, LayersAndLineTypes) {
    VekId walls = vekhost::AddLayer("walls");
    EXPECT_EQ(vekhost::AddLayer("walls"), walls);
    EXPECT_EQ(vekhost::LayerName(0), "0");
    EXPECT_EQ(vekhost::LayerName(walls), "walls");
    EXPECT_EQ(vekhost::LayerName(77), "");
    VekId seg = vekhost::AddSegment({Line(0, 0, 1, 0)}, false, walls, vekhost::MakeLineType(3, 4));
    EXPECT_EQ(VekSgmGetLayer(seg), walls);
    EXPECT_EQ(VekSgmChangeLayer(seg, 0), 0);
    EXPECT_EQ(VekSgmGetLayer(seg), 0);
    EXPECT_EQ(VekSgmChangeLayer(seg, 77), -1);
    EXPECT_EQ(VekSgmChangeLayer(seg, -1), -1);
    EXPECT_EQ(VekSgmChangeLayer(9999, 0), -1);
    EXPECT_EQ(VekSgmGetLayer(seg), 0);
    EXPECT_EQ(vekhost::AddSegment({Line(0, 0, 1, 0)}, false, 77), -1);

    VekId e = ElementIds(seg)[0];
    LineTypeRecord lt{};
    ASSERT_EQ(VekFigGetLineType(e, &lt), 0);
    EXPECT_EQ(lt.colorIndex, 3);
    EXPECT_EQ(lt.lineTypeCode, 4);
    LineTypeRecord set{9, 2, {0, 0}};
    EXPECT_EQ(VekFigSetLineType(e, &set), 0);
    ASSERT_EQ(VekFigGetLineType(e, &lt), 0);
    EXPECT_EQ(lt.colorIndex, 9);
    EXPECT_EQ(lt.lineTypeCode, 2);
    EXPECT_EQ(VekFigSetLineType(9999, &set), -1);
}

TEST_F(DrawingTest, IdentityCopyIsExactWithSameLayerClosedFlagAndLineTypes) {
    VekId layer = vekhost::AddLayer("parts");
    FigureRecord odd = Line(0.1, 0.2, 0.30000000000000004, 1e-300);
    odd.unused1[3] = 42;
    VekId seg = vekhost::AddSegment(
        {odd, Arc(1.1, 2.2, 3.3, 2.2, 1.1, 4.4, true), vekhost::Circle(-5.5, 7.25, 0.125)}, true,
        layer, vekhost::MakeLineType(5, 6));
    const double p[2] = {0.3, -0.7};  // not the origin: the copy must still be exact
    VekId copy = VekSgmEditSegment(seg, p, p, 0.0, 1.0, 0);
    ASSERT_GT(copy, 0);
    EXPECT_NE(copy, seg);
    auto a = *vekhost::GetSegment(seg);
    auto b = *vekhost::GetSegment(copy);
    EXPECT_EQ(b.layer, layer);
    EXPECT_TRUE(b.closed);
    ASSERT_EQ(b.elements.size(), a.elements.size());
    for (size_t i = 0; i < a.elements.size(); ++i) {
        EXPECT_NE(b.elements[i].id, a.elements[i].id);
        EXPECT_EQ(b.elements[i].type, a.elements[i].type);
        EXPECT_TRUE(SameRecord(b.elements[i].figure, a.elements[i].figure)) << i;
        EXPECT_EQ(b.elements[i].lineType.colorIndex, 5);
        EXPECT_EQ(b.elements[i].lineType.lineTypeCode, 6);
    }
}

TEST_F(DrawingTest, TransformedCopies) {
    VekId seg = vekhost::AddSegment(
        {Line(1, 0, 2, 0), Arc(1, 1, 2, 1, 1, 2, false), vekhost::Circle(1, 0, 0.5)});
    const double from[2] = {1, 0};
    const double to[2] = {10, 10};
    // Move.
    auto moved = Elements(VekSgmEditSegment(seg, from, to, 0, 1, 0));
    EXPECT_POINT_NEAR(moved[0].figure.p1, 10, 10, 0);
    EXPECT_POINT_NEAR(moved[0].figure.p2, 11, 10, 0);
    // Rotate a quarter turn about `to`, then scale by 2.
    auto turned = Elements(VekSgmEditSegment(seg, from, to, std::numbers::pi / 2, 2, 0));
    EXPECT_POINT_NEAR(turned[0].figure.p2, 10, 12, 1e-12);
    EXPECT_POINT_NEAR(turned[1].figure.p1, 8, 10, 1e-12);  // (0, 1) -> (-1, 0) * 2
    EXPECT_DOUBLE_EQ(turned[1].figure.size, 2 * Figure(ElementIds(seg)[1]).size);
    EXPECT_DOUBLE_EQ(turned[2].figure.p2[0], 1.0);  // circle radius scaled
    EXPECT_EQ(turned[1].figure.direction, 0u);
    // Mirror: y flips about `to`, arcs turn the other way.
    auto mirrored = Elements(VekSgmEditSegment(seg, from, to, 0, 1, 1));
    EXPECT_POINT_NEAR(mirrored[1].figure.p1, 10, 9, 0);
    EXPECT_POINT_NEAR(mirrored[1].figure.p3, 10, 8, 0);
    EXPECT_EQ(mirrored[1].figure.direction, 1u);
    // Refused: unknown segment, zero or non-finite scale.
    EXPECT_EQ(VekSgmEditSegment(9999, from, to, 0, 1, 0), -1);
    EXPECT_EQ(VekSgmEditSegment(seg, from, to, 0, 0, 0), -1);
    EXPECT_EQ(VekSgmEditSegment(seg, from, to, std::nan(""), 1, 0), -1);
    EXPECT_EQ(vekhost::SegmentCount(), 4u);
}

TEST_F(DrawingTest, LongFiguresStayCheapToBuildAndWalk) {
    // Inserting before the same element many times must not be quadratic.
    VekId seg = VekSgmCreateSegment(0, 0);
    FigureRecord l = Line(0, 0, 1, 0);
    VekId last = VekFigCreateFigure(seg, &l);
    VekId before = last;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        before = VekFigInsertFigure(before, &l);
    }
    int count = 0;
    for (VekId e = VekSgmGetHeadElementId(seg); e != -1; e = VekElmGetNextElementId(e)) {
        ++count;
    }
    EXPECT_EQ(count, n + 1);
    EXPECT_EQ(VekSgmGetTailElementId(seg), last);
    EXPECT_EQ(VekSgmDeleteSegment(seg), 0);
}
