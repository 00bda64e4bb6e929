// The host library's calls. Each one counts itself, may be made to fail by the
// driver (returning its failure value and changing nothing), then does its work
// on the session state.
#include "platform/veklib/CallHooks.h"
#include "platform/veklib/Geometry.h"
#include "platform/veklib/HostState.h"
#include "numeric/PortableMath.h"

#include <cmath>

using namespace vekhost::detail;

namespace {

std::u16string ToU16(const VekChar* text) {
    std::u16string s;
    for (const VekChar* p = text; *p; ++p) {
        s += static_cast<char16_t>(*p);
    }
    return s;
}

void Show(vekhost::MessageKind kind, const VekChar* text) {
    if (text) {
        S().messages.push_back({kind, ToU16(text)});
    }
}

Args KeyArgs(const FigureKey* key) {
    Args a;
    if (key) {
        a.Num(key->context).Num(key->id);
    }
    return a;
}

bool KeyOk(const FigureKey* key) {
    return key && key->context == kContext;
}

V Vec(const double* p) {
    return {p[0], p[1]};
}

Selection* Sel(int32_t handle) {
    auto& list = S().selections;
    if (handle < 1 || static_cast<size_t>(handle) > list.size()) {
        return nullptr;
    }
    Selection& s = list[handle - 1];
    return s.open ? &s : nullptr;
}

// Remembers which picked figure a segment made by a call belongs to.
VekId NoteSource(VekId segment) {
    if (segment != VEK_NONE && S().currentEntry != VEK_NONE) {
        Sgm(segment).source = S().currentEntry;
    }
    return segment;
}

// Entries whose segment was deleted since the selection was opened are passed over.
int32_t FetchSelection(Selection& s, SelEntry* entry) {
    while (s.position < s.segments.size()) {
        VekId seg = s.segments[s.position];
        if (ValidSegment(seg)) {
            entry->segment = static_cast<uint32_t>(seg);
            entry->context = kContext;
            S().currentEntry = seg;
            return 0;
        }
        ++s.position;
    }
    return -1;
}

}  // namespace

extern "C" {

// ---- Control ---------------------------------------------------------------

VEKAPI int32_t VEKCALL VekCtlRegisterVekLib2(VekStartFunc start, VekSecondFunc second,
                                             VekEndFunc end, intptr_t reserved) {
    if (Fails(kVekCtlRegisterVekLib2, [&] { return Args().Num(static_cast<double>(reserved)); })) {
        return Returns(kVekCtlRegisterVekLib2, -1);
    }
    Session& s = S();
    if (s.registerResult > 0) {
        s.start = start;
        s.second = second;
        s.end = end;
        s.registered = true;
    }
    return Returns(kVekCtlRegisterVekLib2, s.registerResult);
}

VEKAPI void VEKCALL VekCtlSetExecuteFunc(VekExecuteFunc func, const VekChar* text) {
    if (FailsWithoutResult(kVekCtlSetExecuteFunc, [&] { return Args().Text(text); })) {
        return;
    }
    S().execute = func;
}

VEKAPI void VEKCALL VekCtlSetReadyFunc(VekReadyFunc func, const VekChar* text) {
    if (FailsWithoutResult(kVekCtlSetReadyFunc, [&] { return Args().Text(text); })) {
        return;
    }
    S().ready = func;
}

// ---- Events ----------------------------------------------------------------

VEKAPI void VEKCALL VekEvtSetEventMask(int32_t mask) {
    if (FailsWithoutResult(kVekEvtSetEventMask, [&] { return Args().Num(mask); })) {
        return;
    }
    S().eventMask = mask;
}

VEKAPI int32_t VEKCALL VekEvtGetPoint(int32_t event, intptr_t data, double* point,
                                      intptr_t reserved) {
    if (Fails(kVekEvtGetPoint, [&] {
            return Args()
                .Num(event)
                .Num(static_cast<double>(data))
                .Num(static_cast<double>(reserved));
        })) {
        return Returns(kVekEvtGetPoint, -1);
    }
    const Session& s = S();
    if (!point || !s.inEvent || !s.eventHasPoint || event != s.eventCode || data != s.eventData) {
        return Returns(kVekEvtGetPoint, -1);
    }
    point[0] = s.eventPoint.x;
    point[1] = s.eventPoint.y;
    return Returns(kVekEvtGetPoint, 0);
}

VEKAPI void VEKCALL VekEvtSetObject(const ObjectFilter* filter) {
    if (FailsWithoutResult(
            kVekEvtSetObject,
            [&] {
                Args a;
                if (filter) {
                    a.Num(filter->word1).Num(filter->word2).Num(filter->word3).Num(filter->word4);
                }
                return a;
            }) ||
        !filter) {
        return;
    }
    S().filter = *filter;
    S().hasFilter = true;
}

// ---- Messages --------------------------------------------------------------

VEKAPI void VEKCALL VekMsgPutMessage(const VekChar* text) {
    if (FailsWithoutResult(kVekMsgPutMessage, [&] { return Args().Text(text); })) {
        return;
    }
    Show(vekhost::MessageKind::Prompt, text);
}

VEKAPI void VEKCALL VekMsgPutCursorMessage(const VekChar* text) {
    if (FailsWithoutResult(kVekMsgPutCursorMessage, [&] { return Args().Text(text); })) {
        return;
    }
    Show(vekhost::MessageKind::Cursor, text);
}

VEKAPI void VEKCALL VekMsgPutErrorMessage(const VekChar* text) {
    if (FailsWithoutResult(kVekMsgPutErrorMessage, [&] { return Args().Text(text); })) {
        return;
    }
    Show(vekhost::MessageKind::Error, text);
}

VEKAPI int32_t VEKCALL VekDlgMessageBox(const VekChar* text) {
    if (Fails(kVekDlgMessageBox, [&] { return Args().Text(text); }) || !text) {
        return Returns(kVekDlgMessageBox, -1);
    }
    Show(vekhost::MessageKind::Box, text);
    return Returns(kVekDlgMessageBox, 1);  // the user pressed OK
}

// ---- Selection -------------------------------------------------------------

VEKAPI void VEKCALL VekIddClearSysIdData(void) {
    if (FailsWithoutResult(kVekIddClearSysIdData, [&] { return Args(); })) {
        return;
    }
    ++S().clearSysIdCount;
}

VEKAPI int32_t VEKCALL VekIddOpenSelIdData(int32_t mode, intptr_t a, intptr_t b, intptr_t c) {
    if (Fails(kVekIddOpenSelIdData, [&] {
            return Args()
                .Num(mode)
                .Num(static_cast<double>(a))
                .Num(static_cast<double>(b))
                .Num(static_cast<double>(c));
        })) {
        return Returns(kVekIddOpenSelIdData, -1);
    }
    Session& s = S();
    Selection sel;
    sel.open = true;
    sel.segments = s.selected;
    s.selections.push_back(std::move(sel));
    return Returns(kVekIddOpenSelIdData, static_cast<int32_t>(s.selections.size()));
}

VEKAPI int32_t VEKCALL VekIddGetHeadSelIdData(int32_t handle, SelEntry* entry) {
    if (Fails(kVekIddGetHeadSelIdData, [&] { return Args().Num(handle); })) {
        return Returns(kVekIddGetHeadSelIdData, -1);
    }
    Selection* s = Sel(handle);
    if (!s || !entry) {
        return Returns(kVekIddGetHeadSelIdData, -1);
    }
    s->position = 0;
    return Returns(kVekIddGetHeadSelIdData, FetchSelection(*s, entry));
}

VEKAPI int32_t VEKCALL VekIddGetNextSelIdData(int32_t handle, SelEntry* entry) {
    if (Fails(kVekIddGetNextSelIdData, [&] { return Args().Num(handle); })) {
        return Returns(kVekIddGetNextSelIdData, -1);
    }
    Selection* s = Sel(handle);
    if (!s || !entry || s->position >= s->segments.size()) {
        return Returns(kVekIddGetNextSelIdData, -1);
    }
    ++s->position;
    return Returns(kVekIddGetNextSelIdData, FetchSelection(*s, entry));
}

VEKAPI void VEKCALL VekIddCloseSelIdData(int32_t handle) {
    if (FailsWithoutResult(kVekIddCloseSelIdData, [&] { return Args().Num(handle); })) {
        return;
    }
    if (Selection* s = Sel(handle)) {
        S().currentEntry = VEK_NONE;
        s->open = false;
        s->segments.clear();
        s->segments.shrink_to_fit();
    }
}

// ---- Segments --------------------------------------------------------------

VEKAPI VekId VEKCALL VekSgmCreateSegment(int32_t a, int32_t b) {
    if (Fails(kVekSgmCreateSegment, [&] { return Args().Num(a).Num(b); })) {
        return Returns(kVekSgmCreateSegment, -1);
    }
    return Returns(kVekSgmCreateSegment, NoteSource(NewSegment(0, false)));
}

VEKAPI VekId VEKCALL VekSgmEditSegment(VekId segment, const double* from, const double* to,
                                       double angle, double scale, uint8_t mirror) {
    if (Fails(kVekSgmEditSegment, [&] {
            return Args().Num(segment).Pt(from).Pt(to).Num(angle).Num(scale).Num(mirror);
        })) {
        return Returns(kVekSgmEditSegment, -1);
    }
    if (!ValidSegment(segment) || !from || !to) {
        return Returns(kVekSgmEditSegment, -1);
    }
    if (!std::isfinite(from[0]) || !std::isfinite(from[1]) || !std::isfinite(to[0]) ||
        !std::isfinite(to[1]) || !std::isfinite(angle) || !std::isfinite(scale) || scale <= 0) {
        return Returns(kVekSgmEditSegment, -1);
    }
    Transform t = MakeTransform(Vec(from), Vec(to), angle, scale, mirror != 0);
    const SegmentData src = Sgm(segment);
    VekId copy = NewSegment(src.layer, src.closed);
    for (VekId e = src.head; e != VEK_NONE;) {
        // Records stay where they are while the table grows.
        const ElementData& old = Elm(e);
        NewElement(copy, VEK_NONE, old.type, Apply(t, old.figure), old.lineType);
        e = old.next;
    }
    return Returns(kVekSgmEditSegment, NoteSource(copy));
}

VEKAPI int32_t VEKCALL VekSgmDeleteSegment(VekId segment) {
    if (Fails(kVekSgmDeleteSegment, [&] { return Args().Num(segment); })) {
        return Returns(kVekSgmDeleteSegment, -1);
    }
    if (!ValidSegment(segment)) {
        return Returns(kVekSgmDeleteSegment, -1);
    }
    DeleteSegment(segment);
    return Returns(kVekSgmDeleteSegment, 0);
}

VEKAPI VekId VEKCALL VekSgmGetLayer(VekId segment) {
    if (Fails(kVekSgmGetLayer, [&] { return Args().Num(segment); })) {
        return Returns(kVekSgmGetLayer, -1);
    }
    return Returns(kVekSgmGetLayer, ValidSegment(segment) ? Sgm(segment).layer : VEK_NONE);
}

VEKAPI int32_t VEKCALL VekSgmChangeLayer(VekId segment, VekId layer) {
    if (Fails(kVekSgmChangeLayer, [&] { return Args().Num(segment).Num(layer); })) {
        return Returns(kVekSgmChangeLayer, -1);
    }
    if (!ValidSegment(segment) || !ValidLayer(layer)) {
        return Returns(kVekSgmChangeLayer, -1);
    }
    Sgm(segment).layer = layer;
    return Returns(kVekSgmChangeLayer, 0);
}

VEKAPI VekId VEKCALL VekSgmGetHeadElementId(VekId segment) {
    if (Fails(kVekSgmGetHeadElementId, [&] { return Args().Num(segment); })) {
        return Returns(kVekSgmGetHeadElementId, -1);
    }
    return Returns(kVekSgmGetHeadElementId, ValidSegment(segment) ? Sgm(segment).head : VEK_NONE);
}

VEKAPI VekId VEKCALL VekSgmGetTailElementId(VekId segment) {
    if (Fails(kVekSgmGetTailElementId, [&] { return Args().Num(segment); })) {
        return Returns(kVekSgmGetTailElementId, -1);
    }
    return Returns(kVekSgmGetTailElementId, ValidSegment(segment) ? Sgm(segment).tail : VEK_NONE);
}

// ---- Elements --------------------------------------------------------------

VEKAPI VekId VEKCALL VekElmGetNextElementId(VekId element) {
    if (Fails(kVekElmGetNextElementId, [&] { return Args().Num(element); })) {
        return Returns(kVekElmGetNextElementId, -1);
    }
    return Returns(kVekElmGetNextElementId, ValidElement(element) ? Elm(element).next : VEK_NONE);
}

VEKAPI int32_t VEKCALL VekElmGetType(VekId element) {
    if (Fails(kVekElmGetType, [&] { return Args().Num(element); })) {
        return Returns(kVekElmGetType, -1);
    }
    return Returns(kVekElmGetType, ValidElement(element) ? Elm(element).type : -1);
}

// ---- Figures ---------------------------------------------------------------

VEKAPI int32_t VEKCALL VekFigGetFigure(const FigureKey* key, FigureRecord* record) {
    if (Fails(kVekFigGetFigure, [&] { return KeyArgs(key); })) {
        return Returns(kVekFigGetFigure, -1);
    }
    if (!KeyOk(key) || !record) {
        return Returns(kVekFigGetFigure, -1);
    }
    VekId id = static_cast<VekId>(key->id);
    if (!ValidElement(id)) {
        return Returns(kVekFigGetFigure, -1);
    }
    *record = Elm(id).figure;
    return Returns(kVekFigGetFigure, 0);
}

VEKAPI int32_t VEKCALL VekFigGetFigure2(const FigureKey* key, FigureRecord* records,
                                        int32_t capacity) {
    if (Fails(kVekFigGetFigure2, [&] { return KeyArgs(key).Num(capacity); })) {
        return Returns(kVekFigGetFigure2, -1);
    }
    if (!KeyOk(key) || capacity < 0 || (!records && capacity > 0)) {
        return Returns(kVekFigGetFigure2, -1);
    }
    VekId seg = static_cast<VekId>(key->id);
    if (!ValidSegment(seg)) {
        return Returns(kVekFigGetFigure2, -1);
    }
    int32_t n = 0;
    const auto& forms = S().explodedForms;
    if (const auto it = forms.find(seg); it != forms.end()) {
        for (const FigureRecord& r : it->second) {
            if (n == capacity) {
                break;
            }
            records[n++] = r;
        }
        return Returns(kVekFigGetFigure2, n);
    }
    for (VekId e = Sgm(seg).head; e != VEK_NONE && n < capacity; e = Elm(e).next) {
        records[n++] = ExplodedRecord(Elm(e).figure);
    }
    return Returns(kVekFigGetFigure2, n);
}

VEKAPI uint8_t VEKCALL VekFigIsClosed(VekId segment) {
    if (Fails(kVekFigIsClosed, [&] { return Args().Num(segment); })) {
        return Returns(kVekFigIsClosed, uint8_t{0});
    }
    return Returns(kVekFigIsClosed, uint8_t{ValidSegment(segment) && Sgm(segment).closed});
}

VEKAPI void VEKCALL VekFigSetClosed(VekId segment, uint8_t closed) {
    if (FailsWithoutResult(kVekFigSetClosed, [&] { return Args().Num(segment).Num(closed); })) {
        return;
    }
    if (ValidSegment(segment)) {
        Sgm(segment).closed = closed != 0;
    }
}

VEKAPI VekId VEKCALL VekFigCreateFigure(VekId segment, const FigureRecord* record) {
    if (Fails(kVekFigCreateFigure,
              [&] { return Args().Num(segment).Num(record ? record->kind : 0); })) {
        return Returns(kVekFigCreateFigure, -1);
    }
    if (!ValidSegment(segment) || Sgm(segment).count != 0 || !record || !ValidRecord(*record)) {
        return Returns(kVekFigCreateFigure, -1);
    }
    return Returns(kVekFigCreateFigure,
                   NewElement(segment, VEK_NONE, static_cast<int32_t>(record->kind), *record, {}));
}

VEKAPI VekId VEKCALL VekFigInsertFigure(VekId element, const FigureRecord* record) {
    if (Fails(kVekFigInsertFigure,
              [&] { return Args().Num(element).Num(record ? record->kind : 0); })) {
        return Returns(kVekFigInsertFigure, -1);
    }
    if (!ValidElement(element) || !record || !ValidRecord(*record)) {
        return Returns(kVekFigInsertFigure, -1);
    }
    return Returns(
        kVekFigInsertFigure,
        NewElement(Elm(element).segment, element, static_cast<int32_t>(record->kind), *record, {}));
}

VEKAPI int32_t VEKCALL VekFigGetLineType(VekId element, LineTypeRecord* lineType) {
    if (Fails(kVekFigGetLineType, [&] { return Args().Num(element); })) {
        return Returns(kVekFigGetLineType, -1);
    }
    if (!ValidElement(element) || !lineType) {
        return Returns(kVekFigGetLineType, -1);
    }
    *lineType = Elm(element).lineType;
    return Returns(kVekFigGetLineType, 0);
}

VEKAPI int32_t VEKCALL VekFigSetLineType(VekId element, const LineTypeRecord* lineType) {
    if (Fails(kVekFigSetLineType, [&] {
            Args a;
            a.Num(element);
            if (lineType) {
                a.Num(lineType->colorIndex).Num(lineType->lineTypeCode);
            }
            return a;
        })) {
        return Returns(kVekFigSetLineType, -1);
    }
    if (!ValidElement(element) || !lineType) {
        return Returns(kVekFigSetLineType, -1);
    }
    Elm(element).lineType = *lineType;
    return Returns(kVekFigSetLineType, 0);
}

VEKAPI int32_t VEKCALL VekFigAddCorner(VekId before, VekId after, int32_t mode, double size) {
    if (Fails(kVekFigAddCorner,
              [&] { return Args().Num(before).Num(after).Num(mode).Num(size); })) {
        return Returns(kVekFigAddCorner, -1);
    }
    if (!ValidElement(before) || !ValidElement(after) || before == after) {
        return Returns(kVekFigAddCorner, -1);
    }
    if (NextNeighbour(before) != after) {
        return Returns(kVekFigAddCorner, -1);
    }
    ElementData& e1 = Elm(before);
    ElementData& e2 = Elm(after);
    CornerResult c = BuildCorner(e1.figure, e2.figure, mode, size);
    if (!c.ok) {
        return Returns(kVekFigAddCorner, -1);
    }
    e1.figure = c.previous;
    e2.figure = c.next;
    const LineTypeRecord lt = e1.lineType;
    const VekId segment = e1.segment;
    // Between the two: before `after`, or at the tail when the corner closes
    // the figure (last element to first).
    VekId at = Elm(before).next == after ? after : VEK_NONE;
    return Returns(kVekFigAddCorner,
                   NewElement(segment, at, static_cast<int32_t>(c.corner.kind), c.corner, lt));
}

VEKAPI VekId VEKCALL VekFigChangeCorner(VekId element) {
    if (Fails(kVekFigChangeCorner, [&] { return Args().Num(element); })) {
        return Returns(kVekFigChangeCorner, -1);
    }
    if (!ValidElement(element)) {
        return Returns(kVekFigChangeCorner, -1);
    }
    ElementData& e = Elm(element);
    switch (e.type) {
        case VEK_ROUND_CORNER:
            e.type = VEK_ARC;
            e.figure.kind = VEK_ARC;
            return Returns(kVekFigChangeCorner, element);
        case VEK_CHAMFER:
            e.type = VEK_LINE;
            e.figure = ChamferLine(e.figure);
            return Returns(kVekFigChangeCorner, element);
        case VEK_ARC: {
            VekId prev = PrevNeighbour(element);
            VekId next = NextNeighbour(element);
            if (prev == VEK_NONE || next == VEK_NONE || prev == next) {
                return Returns(kVekFigChangeCorner, -1);
            }
            FigureRecord corner;
            if (!ArcIsFillet(e.figure, Elm(prev).figure, Elm(next).figure, corner)) {
                return Returns(kVekFigChangeCorner, -1);
            }
            e.type = VEK_ROUND_CORNER;
            e.figure = corner;
            return Returns(kVekFigChangeCorner, element);
        }
        default:
            return Returns(kVekFigChangeCorner, -1);
    }
}

// ---- Arithmetic ------------------------------------------------------------

VEKAPI double VEKCALL VekAriLen2Pnts(const double* a, const double* b) {
    if (Fails(kVekAriLen2Pnts, [&] { return Args().Pt(a).Pt(b); }) || !a || !b) {
        return Returns(kVekAriLen2Pnts, -1.0);
    }
    return Returns(kVekAriLen2Pnts, numeric::Hypot(b[0] - a[0], b[1] - a[1]));
}

VEKAPI double VEKCALL VekAriAngRad2Pnts(const double* centre, const double* point) {
    if (Fails(kVekAriAngRad2Pnts, [&] { return Args().Pt(centre).Pt(point); }) || !centre ||
        !point) {
        return Returns(kVekAriAngRad2Pnts, -1.0);
    }
    return Returns(kVekAriAngRad2Pnts, AngleOf(Vec(centre), Vec(point)));
}

VEKAPI int32_t VEKCALL VekAriTanCir2Pnts(double radius, const double* a, const double* b,
                                         const double* hint, double* results) {
    if (Fails(kVekAriTanCir2Pnts, [&] { return Args().Num(radius).Pt(a).Pt(b).Pt(hint); })) {
        return Returns(kVekAriTanCir2Pnts, -1);
    }
    if (!a || !b || !results) {
        return Returns(kVekAriTanCir2Pnts, -1);
    }
    V h;
    if (hint) {
        h = Vec(hint);
    }
    V out[2];
    int32_t n = TangentCircles(radius, Vec(a), Vec(b), hint ? &h : nullptr, out);
    for (int32_t i = 0; i < n; ++i) {
        results[2 * i] = out[i].x;
        results[2 * i + 1] = out[i].y;
    }
    return Returns(kVekAriTanCir2Pnts, n);
}

}  // extern "C"
