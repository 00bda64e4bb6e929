#include "platform/veklib/HostState.h"

#include <algorithm>
#include <cmath>

namespace vekhost::detail {

Session gSession;

void Drawing::Reserve(VekId end) {
    where.Give(static_cast<size_t>(end));
}

VekId Drawing::TakeId() {
    VekId id = nextId++;
    where.Give(static_cast<size_t>(nextId));
    return id;
}

void Drawing::PlaceSegment(VekId id, VekId layer, bool closed) {
    uint32_t slot;
    if (!freeSegments.empty()) {
        slot = freeSegments.back();
        freeSegments.pop_back();
    } else {
        slot = static_cast<uint32_t>(segments.size());
        segments.emplace_back();
    }
    SegmentData& s = segments[slot];
    s = SegmentData{};
    s.closed = closed;
    s.layer = layer;
    s.id = id;
    where.Place(static_cast<size_t>(id), slot * 2 + 1);
}

void Drawing::PlaceElement(VekId id, VekId segment, VekId before, int32_t type,
                           const FigureRecord& figure, const LineTypeRecord& lineType) {
    uint32_t slot;
    if (!freeElements.empty()) {
        slot = freeElements.back();
        freeElements.pop_back();
    } else {
        slot = elements.Add();
    }
    where.Place(static_cast<size_t>(id), slot * 2);
    ElementData& e = elements[slot];
    e.type = type;
    e.segment = segment;
    e.figure = figure;
    e.figure.kind = static_cast<uint32_t>(type);
    e.lineType = lineType;
    SegmentData& s = Sg(segment);
    if (before == VEK_NONE) {
        e.prev = s.tail;
        e.next = VEK_NONE;
        if (s.tail != VEK_NONE) {
            E(s.tail).next = id;
        }
        s.tail = id;
        if (s.head == VEK_NONE) {
            s.head = id;
        }
    } else {
        ElementData& b = E(before);
        e.prev = b.prev;
        e.next = before;
        if (b.prev != VEK_NONE) {
            E(b.prev).next = id;
        } else {
            s.head = id;
        }
        b.prev = id;
    }
    ++s.count;
}

void Drawing::RemoveSegment(VekId id) {
    for (VekId e = Sg(id).head; e != VEK_NONE;) {
        VekId next = E(e).next;
        freeElements.push_back(where[static_cast<size_t>(e)] >> 1);
        where.Remove(static_cast<size_t>(e));
        e = next;
    }
    freeSegments.push_back(where[static_cast<size_t>(id)] >> 1);
    segments[where[static_cast<size_t>(id)] >> 1].id = VEK_NONE;
    where.Remove(static_cast<size_t>(id));
}

void Drawing::RemoveAll() {
    for (const SegmentData& s : segments) {
        if (s.id == VEK_NONE) {
            continue;
        }
        for (VekId e = s.head; e != VEK_NONE;) {
            const VekId next = E(e).next;
            where.Remove(static_cast<size_t>(e));
            e = next;
        }
        where.Remove(static_cast<size_t>(s.id));
    }
    // The tables start again from their first slot, so that the records
    // made next lie in the order they are made.
    elements.Clear();
    freeElements.clear();
    segments.clear();
    freeSegments.clear();
}

std::vector<VekId> Drawing::SegmentIds() const {
    std::vector<VekId> out;
    where.ForEachPlaced([&out](size_t id, uint32_t at) {
        if (id > 0 && (at & 1)) {
            out.push_back(static_cast<VekId>(id));
        }
    });
    return out;
}

bool ValidLayer(VekId id) {
    return id >= 0 && static_cast<size_t>(id) < S().drawing.layers.size();
}

VekId NewSegment(VekId layer, bool closed) {
    Drawing& d = S().drawing;
    VekId id = d.TakeId();
    d.PlaceSegment(id, layer, closed);
    return id;
}

VekId NewElement(VekId segment, VekId before, int32_t type, const FigureRecord& figure,
                 const LineTypeRecord& lineType) {
    Drawing& d = S().drawing;
    VekId id = d.TakeId();
    d.PlaceElement(id, segment, before, type, figure, lineType);
    return id;
}

void DeleteSegment(VekId id) {
    // What is known of it goes with it: a run deleting its working copies
    // keeps its memory flat however many runs it makes.
    S().drawing.RemoveSegment(id);
    if (!S().explodedForms.empty()) {
        S().explodedForms.erase(id);
    }
}

VekId PrevNeighbour(VekId element) {
    const ElementData& e = Elm(element);
    if (e.prev != VEK_NONE) {
        return e.prev;
    }
    const SegmentData& s = Sgm(e.segment);
    return s.closed && s.tail != element ? s.tail : VEK_NONE;
}

VekId NextNeighbour(VekId element) {
    const ElementData& e = Elm(element);
    if (e.next != VEK_NONE) {
        return e.next;
    }
    const SegmentData& s = Sgm(e.segment);
    return s.closed && s.head != element ? s.head : VEK_NONE;
}

bool ValidRecord(const FigureRecord& r) {
    auto fin = [](const double* p, int n) {
        for (int i = 0; i < n; ++i) {
            if (!std::isfinite(p[i])) {
                return false;
            }
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
