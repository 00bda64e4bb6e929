// The stand-in host's drawing and session state, shared by the C calls and the
// driver. Elements and segments live in tables indexed by identifier with
// prev/next links, so that the list operations a CAD kernel makes cheap are
// cheap here too.
#pragma once

#include "VekHost.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vekhost::detail {

struct ElementData {
    bool alive = false;
    int32_t type = 0;
    VekId segment = VEK_NONE;
    VekId prev = VEK_NONE;
    VekId next = VEK_NONE;
    FigureRecord figure{};
    LineTypeRecord lineType{};
};

struct SegmentData {
    bool alive = false;
    bool closed = false;
    VekId layer = 0;
    VekId head = VEK_NONE;
    VekId tail = VEK_NONE;
    int32_t count = 0;
};

struct Selection {
    bool open = false;
    std::vector<VekId> segments;
    size_t position = 0;
};

struct Drawing {
    // Segments and elements share one identifier counter: an element id given
    // where a segment is expected (or the reverse) is refused, not misread.
    VekId nextId = 1;
    std::vector<ElementData> elements;  // indexed by identifier
    std::vector<SegmentData> segments;  // indexed by identifier
    std::vector<std::string> layers;    // indexed by identifier; 0 is "0"
};

struct Session {
    Drawing drawing;

    std::vector<VekId> selected;
    std::vector<Selection> selections;  // handle - 1
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

Session& S();

constexpr uint32_t kContext = 7001;

// ---- Drawing operations (no hooks, no logging) ---------------------------
void ResetDrawing(Drawing& d);
bool ValidSegment(VekId id);
bool ValidElement(VekId id);
bool ValidLayer(VekId id);
ElementData& Elm(VekId id);
SegmentData& Sgm(VekId id);
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
