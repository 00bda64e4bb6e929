#include "HostState.h"

#include <cmath>

namespace vekhost::detail {

Session& S() {
    static Session session = [] {
        Session s;
        ResetDrawing(s.drawing);
        return s;
    }();
    return session;
}

void ResetDrawing(Drawing& d) {
    d.nextId = 1;
    d.elements.assign(1, ElementData{});
    d.segments.assign(1, SegmentData{});
    d.layers.assign(1, "0");
}

bool ValidSegment(VekId id) {
    const Drawing& d = S().drawing;
    return id > 0 && static_cast<size_t>(id) < d.segments.size() && d.segments[id].alive;
}

bool ValidElement(VekId id) {
    const Drawing& d = S().drawing;
    return id > 0 && static_cast<size_t>(id) < d.elements.size() && d.elements[id].alive;
}

bool ValidLayer(VekId id) {
    return id >= 0 && static_cast<size_t>(id) < S().drawing.layers.size();
}

ElementData& Elm(VekId id) {
    return S().drawing.elements[id];
}
SegmentData& Sgm(VekId id) {
    return S().drawing.segments[id];
}

namespace {

VekId TakeId() {
    Drawing& d = S().drawing;
    VekId id = d.nextId++;
    // Both tables cover every identifier handed out, so a look-up is one bounds check.
    d.elements.resize(static_cast<size_t>(id) + 1);
    d.segments.resize(static_cast<size_t>(id) + 1);
    return id;
}

}  // namespace

VekId NewSegment(VekId layer, bool closed) {
    VekId id = TakeId();
    SegmentData& s = Sgm(id);
    s.alive = true;
    s.closed = closed;
    s.layer = layer;
    return id;
}

VekId NewElement(VekId segment, VekId before, int32_t type, const FigureRecord& figure,
                 const LineTypeRecord& lineType) {
    VekId id = TakeId();
    ElementData& e = Elm(id);
    e.alive = true;
    e.type = type;
    e.segment = segment;
    e.figure = figure;
    e.figure.kind = static_cast<uint32_t>(type);
    e.lineType = lineType;
    SegmentData& s = Sgm(segment);
    if (before == VEK_NONE) {
        e.prev = s.tail;
        e.next = VEK_NONE;
        if (s.tail != VEK_NONE) Elm(s.tail).next = id;
        s.tail = id;
        if (s.head == VEK_NONE) s.head = id;
    } else {
        ElementData& b = Elm(before);
        e.prev = b.prev;
        e.next = before;
        if (b.prev != VEK_NONE)
            Elm(b.prev).next = id;
        else
            s.head = id;
        b.prev = id;
    }
    ++s.count;
    return id;
}

void DeleteSegment(VekId id) {
    SegmentData& s = Sgm(id);
    for (VekId e = s.head; e != VEK_NONE;) {
        ElementData& el = Elm(e);
        VekId next = el.next;
        el.alive = false;
        e = next;
    }
    s = SegmentData{};
}

VekId PrevNeighbour(VekId element) {
    const ElementData& e = Elm(element);
    if (e.prev != VEK_NONE) return e.prev;
    const SegmentData& s = Sgm(e.segment);
    return s.closed && s.tail != element ? s.tail : VEK_NONE;
}

VekId NextNeighbour(VekId element) {
    const ElementData& e = Elm(element);
    if (e.next != VEK_NONE) return e.next;
    const SegmentData& s = Sgm(e.segment);
    return s.closed && s.head != element ? s.head : VEK_NONE;
}

bool ValidRecord(const FigureRecord& r) {
    auto fin = [](const double* p, int n) {
        for (int i = 0; i < n; ++i) {
            if (!std::isfinite(p[i])) return false;
        }
        return true;
    };
    switch (r.kind) {
        case VEK_LINE:
        case VEK_POINT_LENGTHS:
            return fin(r.p1, 2) && fin(r.p2, 2);
        case VEK_CIRCLE:
            return fin(r.p1, 2) && fin(r.p2, 1) && r.p2[0] >= 0;
        case VEK_ARC:
        case VEK_ROUND_CORNER:
        case VEK_CHAMFER:
            return fin(r.p1, 2) && fin(r.p2, 2) && fin(r.p3, 2) && std::isfinite(r.size);
        case VEK_TWO_POINTS:
            return fin(r.p2, 2) && fin(r.p3, 2);
        case VEK_POINT:
            return fin(r.p1, 2);
        case VEK_UNCHANGED:
            return true;
        default:
            return false;
    }
}

}  // namespace vekhost::detail
