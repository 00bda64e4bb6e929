// The driver side of the stand-in host: building drawings, playing the user
// and reading back what the plug-in showed.
#include "platform/veklib/CallHooks.h"
#include "platform/veklib/HostState.h"
#include "numeric/PortableMath.h"

#include <algorithm>
#include <cmath>

namespace vekhost {

using namespace detail;

// ---- Records ---------------------------------------------------------------

FigureRecord Line(double x1, double y1, double x2, double y2) {
    FigureRecord r{};
    r.kind = VEK_LINE;
    r.p1[0] = x1;
    r.p1[1] = y1;
    r.p2[0] = x2;
    r.p2[1] = y2;
    return r;
}

FigureRecord Circle(double cx, double cy, double radius) {
    FigureRecord r{};
    r.kind = VEK_CIRCLE;
    r.p1[0] = cx;
    r.p1[1] = cy;
    r.p2[0] = radius;
    return r;
}

FigureRecord Arc(double cx, double cy, double sx, double sy, double ex, double ey, bool clockwise) {
    FigureRecord r{};
    r.kind = VEK_ARC;
    r.p1[0] = cx;
    r.p1[1] = cy;
    r.p2[0] = sx;
    r.p2[1] = sy;
    r.p3[0] = ex;
    r.p3[1] = ey;
    r.size = numeric::Hypot(sx - cx, sy - cy);
    r.direction = clockwise ? 1u : 0u;
    return r;
}

FigureRecord PointRecord(double x, double y) {
    FigureRecord r{};
    r.kind = VEK_POINT;
    r.p1[0] = x;
    r.p1[1] = y;
    return r;
}

LineTypeRecord MakeLineType(int32_t colorIndex, int32_t lineTypeCode) {
    LineTypeRecord l{};
    l.colorIndex = colorIndex;
    l.lineTypeCode = lineTypeCode;
    return l;
}

// ---- The drawing -----------------------------------------------------------

void Reset() {
    S() = Session{};
    ResetHooks();
}

uint32_t Context() {
    return kContext;
}

VekId AddLayer(const std::string& name) {
    auto& layers = S().drawing.layers;
    for (size_t i = 0; i < layers.size(); ++i) {
        if (layers[i] == name) {
            return static_cast<VekId>(i);
        }
    }
    layers.push_back(name);
    return static_cast<VekId>(layers.size() - 1);
}

std::string LayerName(VekId layer) {
    return ValidLayer(layer) ? S().drawing.layers[layer] : "";
}

VekId AddSegment(const std::vector<FigureRecord>& figures, bool closed, VekId layer,
                 LineTypeRecord lineType) {
    if (!ValidLayer(layer)) {
        return VEK_NONE;
    }
    for (const FigureRecord& f : figures) {
        if (!ValidRecord(f)) {
            return VEK_NONE;
        }
    }
    VekId seg = NewSegment(layer, closed);
    for (const FigureRecord& f : figures) {
        NewElement(seg, VEK_NONE, static_cast<int32_t>(f.kind), f, lineType);
    }
    return seg;
}

VekId ReserveSegment(size_t elements) {
    Drawing& d = S().drawing;
    const VekId id = d.nextId;
    d.nextId += static_cast<VekId>(elements + 1);
    d.Reserve(d.nextId);
    return id;
}

namespace {

// Whether no identifier from `first` to `last` is placed.
bool AllUnplaced(const Drawing& d, size_t first, size_t last) {
    for (size_t id = first; id <= last; ++id) {
        if (d.where[id] != Drawing::kNowhere) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool AddReservedSegment(VekId segment, const std::vector<FigureRecord>& figures, bool closed,
                        VekId layer, LineTypeRecord lineType) {
    Drawing& d = S().drawing;
    const auto last = static_cast<size_t>(segment) + figures.size();
    if (!ValidLayer(layer) || !std::all_of(figures.begin(), figures.end(), ValidRecord) ||
        segment <= 0 || last >= static_cast<size_t>(d.nextId) ||
        !AllUnplaced(d, static_cast<size_t>(segment), last)) {
        return false;
    }
    d.PlaceSegment(segment, layer, closed);
    VekId element = segment;
    for (const FigureRecord& f : figures) {
        d.PlaceElement(++element, segment, VEK_NONE, static_cast<int32_t>(f.kind), f, lineType);
    }
    return true;
}

void ClearSegments() {
    S().drawing.RemoveAll();
    S().explodedForms.clear();
}

void SetExplodedForm(VekId segment, const std::vector<FigureRecord>& records) {
    S().explodedForms[segment] = records;
}

std::vector<VekId> Segments() {
    return S().drawing.SegmentIds();
}

std::optional<Segment> GetSegment(VekId segment) {
    if (!ValidSegment(segment)) {
        return std::nullopt;
    }
    const SegmentData& sd = Sgm(segment);
    Segment s;
    s.id = segment;
    s.layer = sd.layer;
    s.closed = sd.closed;
    s.elements.reserve(static_cast<size_t>(std::max(sd.count, 0)));
    for (VekId e = sd.head; e != VEK_NONE; e = Elm(e).next) {
        const ElementData& ed = Elm(e);
        s.elements.push_back({e, ed.type, ed.figure, ed.lineType});
    }
    return s;
}

bool HasSegment(VekId segment) {
    return ValidSegment(segment);
}

size_t SegmentCount() {
    const Drawing& d = S().drawing;
    return d.segments.size() - d.freeSegments.size();
}

// ---- Selection -------------------------------------------------------------

void Select(const std::vector<VekId>& segments) {
    S().selected = segments;
}

void SelectAll() {
    S().selected = Segments();
}

// ---- Playing the user ------------------------------------------------------

void SetRegisterResult(int32_t result) {
    S().registerResult = result;
}

bool IsRegistered() {
    return S().registered;
}

int32_t StartCommand() {
    Session& s = S();
    if (!s.registered || !s.start) {
        return -1;
    }
    return s.start();
}

int32_t SendEvent(int32_t event, std::optional<Point> point) {
    Session& s = S();
    VekExecuteFunc exec = s.execute;
    if (!exec) {
        return -1;
    }
    // Each event carries its own data value; VekEvtGetPoint answers only for
    // the event being delivered, with the data the host gave it.
    const bool outerInEvent = s.inEvent;
    const int32_t outerCode = s.eventCode;
    const intptr_t outerData = s.eventData;
    const bool outerHasPoint = s.eventHasPoint;
    const Point outerPoint = s.eventPoint;
    s.inEvent = true;
    s.eventCode = event;
    s.eventData = s.nextEventData++;
    s.eventHasPoint = point.has_value();
    s.eventPoint = point.value_or(Point{});
    int32_t result = exec(event, s.eventData, 0, 0);
    Session& after = S();
    after.inEvent = outerInEvent;
    after.eventCode = outerCode;
    after.eventData = outerData;
    after.eventHasPoint = outerHasPoint;
    after.eventPoint = outerPoint;
    if (result == 2 && after.ready) {
        after.ready();
    }
    return result;
}

int32_t SendPoint(double x, double y) {
    return SendEvent(2, Point{x, y});
}
int32_t PressConfirm() {
    return SendEvent(7);
}
int32_t FinishSelection() {
    return SendEvent(0);
}

void EndCommand() {
    Session& s = S();
    if (s.registered && s.end) {
        s.end();
    }
}

int32_t EventMask() {
    return S().eventMask;
}

std::optional<ObjectFilter> LastObjectFilter() {
    if (!S().hasFilter) {
        return std::nullopt;
    }
    return S().filter;
}

VekExecuteFunc InstalledExecuteFunc() {
    return S().execute;
}
VekReadyFunc InstalledReadyFunc() {
    return S().ready;
}
VekId SourceOf(VekId segment) {
    return ValidSegment(segment) ? Sgm(segment).source : VEK_NONE;
}

int ClearSysIdCount() {
    return S().clearSysIdCount;
}

int OpenSelectionCount() {
    int n = 0;
    for (const Selection& s : S().selections) {
        n += s.open ? 1 : 0;
    }
    return n;
}

// ---- What the host showed --------------------------------------------------

std::vector<Message> Messages() {
    return S().messages;
}

void ClearMessages() {
    S().messages.clear();
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace vekhost
