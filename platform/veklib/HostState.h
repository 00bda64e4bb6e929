// The stand-in host's drawing and session state, shared by the C calls and the
// driver. Elements and segments live in tables indexed by identifier with
// prev/next links, so that the list operations a CAD kernel makes cheap are
// cheap here too.
#pragma once

#include "platform/veklib/IdIndex.h"
#include "platform/veklib/VekHost.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vekhost::detail {

struct ElementData {
    int32_t type = 0;
    VekId segment = VEK_NONE;
    VekId prev = VEK_NONE;
    VekId next = VEK_NONE;
    FigureRecord figure{};
    LineTypeRecord lineType{};
};

// Element records in blocks of fixed size: a record never moves once placed,
// so a large drawing grows without copying the records it already holds.
class ElementTable {
public:
    ElementData& operator[](uint32_t slot) { return blocks_[slot >> kShift][slot & kMask]; }
    const ElementData& operator[](uint32_t slot) const {
        return blocks_[slot >> kShift][slot & kMask];
    }
    uint32_t size() const { return size_; }
    // No records; their memory is kept for those that come next.
    void Clear() { size_ = 0; }
    // A new record at the end; its slot.
    uint32_t Add() {
        if ((size_ >> kShift) == blocks_.size()) {
            blocks_.push_back(std::make_unique<ElementData[]>(size_t{1} << kShift));
        }
        return size_++;
    }

private:
    static constexpr uint32_t kShift = 12;
    static constexpr uint32_t kMask = (1u << kShift) - 1;
    std::vector<std::unique_ptr<ElementData[]>> blocks_;
    uint32_t size_ = 0;
};

struct SegmentData {
    bool closed = false;
    VekId layer = 0;
    VekId head = VEK_NONE;
    VekId tail = VEK_NONE;
    int32_t count = 0;
    VekId source = VEK_NONE;  // see SourceOf
    VekId id = VEK_NONE;      // its own identifier while it lives; VEK_NONE in a free slot
};

struct Selection {
    bool open = false;
    std::vector<VekId> segments;
    size_t position = 0;
};

// Segments and elements share one identifier counter: an element id given
// where a segment is expected (or the reverse) is refused, not misread.
// Identifiers are never reused, but the records of deleted ones are, and
// the index of identifiers keeps only the pages still in use.
struct Drawing {
    static constexpr uint32_t kNowhere = IdIndex::kNowhere;

    VekId nextId = 1;
    IdIndex where;
    ElementTable elements;
    std::vector<uint32_t> freeElements;
    std::vector<SegmentData> segments;
    std::vector<uint32_t> freeSegments;
    std::vector<std::string> layers;  // indexed by identifier; 0 is "0"

    Drawing() { layers.assign(1, "0"); }

    bool IsElement(VekId id) const {
        return id > 0 && static_cast<size_t>(id) < where.size() && where[id] != kNowhere &&
               (where[id] & 1) == 0;
    }
    bool IsSegment(VekId id) const {
        return id > 0 && static_cast<size_t>(id) < where.size() && where[id] != kNowhere &&
               (where[id] & 1) == 1;
    }
    ElementData& E(VekId id) { return elements[where[id] >> 1]; }
    SegmentData& Sg(VekId id) { return segments[where[id] >> 1]; }

    // Makes room for identifiers below `end` (a load may hand them out itself).
    void Reserve(VekId end);
    VekId TakeId();
    void PlaceSegment(VekId id, VekId layer, bool closed);
    // Puts a new element before `before` (VEK_NONE: at the tail) of `segment`.
    void PlaceElement(VekId id, VekId segment, VekId before, int32_t type,
                      const FigureRecord& figure, const LineTypeRecord& lineType);
    void RemoveSegment(VekId id);
    // Every segment and element removed; identifiers and layers stay as they
    // are, and the records' memory is kept for those that come next.
    void RemoveAll();
    std::vector<VekId> SegmentIds() const;  // in identifier order, the creation order
};

struct Session {
    Drawing drawing;

    std::vector<VekId> selected;
    std::vector<Selection> selections;  // handle - 1
    // The segment of the selection entry handed out last (see SourceOf).
    VekId currentEntry = VEK_NONE;
    // Exploded forms set by the driver in place of one record per element.
    std::unordered_map<VekId, std::vector<FigureRecord>> explodedForms;
    int clearSysIdCount = 0;

    int32_t registerResult = 1;
    bool registered = false;
    VekStartFunc start = nullptr;
    VekSecondFunc second = nullptr;
    VekEndFunc end = nullptr;
    VekExecuteFunc execute = nullptr;
    VekReadyFunc ready = nullptr;
    int32_t eventMask = 0;
    bool hasFilter = false;
    ObjectFilter filter{};

    // The event being delivered, answered by VekEvtGetPoint.
    bool inEvent = false;
    int32_t eventCode = 0;
    intptr_t eventData = 0;
    intptr_t nextEventData = 1000;
    bool eventHasPoint = false;
    Point eventPoint;

    std::vector<Message> messages;
};

// Inline with the accessors below: every host call goes through them, and a
// call into another file for each lookup costs more than the lookup.
// A plain global rather than a function's static: no guard to test on each
// of the millions of calls a large drawing makes (nothing uses it while the
// library is being loaded).
extern Session gSession;
inline Session& S() {
    return gSession;
}

constexpr uint32_t kContext = 7001;

// ---- Drawing operations (no hooks, no logging) ---------------------------
inline bool ValidSegment(VekId id) {
    return S().drawing.IsSegment(id);
}
inline bool ValidElement(VekId id) {
    return S().drawing.IsElement(id);
}
bool ValidLayer(VekId id);
inline ElementData& Elm(VekId id) {
    return S().drawing.E(id);
}
inline SegmentData& Sgm(VekId id) {
    return S().drawing.Sg(id);
}
VekId NewSegment(VekId layer, bool closed);
// Inserts a new element before `before` (VEK_NONE: at the tail) of `segment`.
VekId NewElement(VekId segment, VekId before, int32_t type, const FigureRecord& figure,
                 const LineTypeRecord& lineType);
void DeleteSegment(VekId id);
// Neighbours as a closed figure sees them (wrapping around), VEK_NONE when none.
VekId PrevNeighbour(VekId element);
VekId NextNeighbour(VekId element);
// True when the record is usable for its kind (kind 1..9, finite numbers).
bool ValidRecord(const FigureRecord& r);

}  // namespace vekhost::detail
