// Driver API of the stand-in host: what tests and tools use to build drawings,
// play the user through the command and look at what the plug-in did.
// Not part of the host library's interface (VekLib.h); the plug-in never sees it.
// README.md beside this file describes how the host behaves (corners, tangent
// circles, identifiers, failure values) and the JSON drawing format.
#pragma once

#include "veksdk/VekLib.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#ifdef VEKLIB_BUILD
#define VEKHOST_API __declspec(dllexport)
#else
#define VEKHOST_API __declspec(dllimport)
#endif
#else
#define VEKHOST_API __attribute__((visibility("default")))
#endif

namespace vekhost {

struct Point {
    double x = 0;
    double y = 0;
};

struct Element {
    VekId id = VEK_NONE;
    int32_t type = 0;
    FigureRecord figure{};
    LineTypeRecord lineType{};
};

struct Segment {
    VekId id = VEK_NONE;
    VekId layer = VEK_NONE;
    bool closed = false;
    std::vector<Element> elements;  // in element order
};

// ---- Records -------------------------------------------------------------
VEKHOST_API FigureRecord Line(double x1, double y1, double x2, double y2);
VEKHOST_API FigureRecord Circle(double cx, double cy, double r);
// Arc from start to end about centre; radius taken from centre to start.
VEKHOST_API FigureRecord Arc(double cx, double cy, double sx, double sy, double ex, double ey,
                             bool clockwise = false);
VEKHOST_API FigureRecord PointRecord(double x, double y);
VEKHOST_API LineTypeRecord MakeLineType(int32_t colorIndex, int32_t lineTypeCode);

// ---- The drawing ---------------------------------------------------------
// Empties the drawing and every log, callback, selection and fault; identifiers
// start again from 1. The context identifier stays the same for the process.
VEKHOST_API void Reset();
VEKHOST_API uint32_t Context();
VEKHOST_API VekId AddLayer(const std::string& name);  // existing name: its identifier
VEKHOST_API std::string LayerName(VekId layer);       // "" when unknown
// A segment from element records in order (kinds 1 to 9; corners 7 and 8 are
// given as records as the host stores them: neighbours already trimmed).
// VEK_NONE, and nothing added, for an unknown layer or an unusable record.
VEKHOST_API VekId AddSegment(const std::vector<FigureRecord>& figures, bool closed = false,
                             VekId layer = 0, LineTypeRecord lineType = {});
// A drawing too large to hold at once is added in parts: ReserveSegment
// gives a segment of `elements` elements, without adding it, the identifier
// AddSegment would give it (its elements the ones after it);
// AddReservedSegment adds it under that identifier, checking its records as
// AddSegment does (false, and nothing added, for an unknown layer, an
// unusable record, or identifiers taken); its records must be as many as
// reserved. ClearSegments takes
// every segment out again, identifiers and layers staying as they are.
VEKHOST_API VekId ReserveSegment(size_t elements);
VEKHOST_API bool AddReservedSegment(VekId segment, const std::vector<FigureRecord>& figures,
                                    bool closed = false, VekId layer = 0,
                                    LineTypeRecord lineType = {});
VEKHOST_API void ClearSegments();
VEKHOST_API std::vector<VekId> Segments();  // in creation order
VEKHOST_API std::optional<Segment> GetSegment(VekId segment);
// Whether the segment is in the drawing, without copying it.
VEKHOST_API bool HasSegment(VekId segment);
VEKHOST_API size_t SegmentCount();

// Makes VekFigGetFigure2 answer `records` for `segment` instead of one record
// per element, as a host whose exploded form differs from the elements would
// (an empty form, or more records than elements). Until Reset.
VEKHOST_API void SetExplodedForm(VekId segment, const std::vector<FigureRecord>& records);

// Readable JSON drawing files. Load throws std::runtime_error with a clear
// message on unreadable or malformed input (naming the line and column) and
// leaves the drawing unchanged. Identifiers in the file are kept; loading
// empties the selection.
VEKHOST_API std::string ToJson();
// The text of ToJson handed to `write` in pieces of about a megabyte, so that
// a large drawing is written without ever being held as one text.
VEKHOST_API void WriteJson(const std::function<void(std::string_view)>& write);
VEKHOST_API void FromJson(const std::string& text);
VEKHOST_API void Save(const std::string& path);
VEKHOST_API void Load(const std::string& path);

// ---- Selection -----------------------------------------------------------
// What VekIddOpenSelIdData will list, in this order (VekIddClearSysIdData
// does not drop it).
VEKHOST_API void Select(const std::vector<VekId>& segments);
VEKHOST_API void SelectAll();

// ---- Playing the user ----------------------------------------------------
// Result the host gives to VekCtlRegisterVekLib2 (default 1).
VEKHOST_API void SetRegisterResult(int32_t result);
VEKHOST_API bool IsRegistered();
// Calls the registered start callback; returns its result (-1 when none).
VEKHOST_API int32_t StartCommand();
// Delivers an event to the execute function installed last. When `point` is
// given, VekEvtGetPoint answers 0 with it for this event; otherwise -1. After
// a result of 2 the ready function installed last is called. Returns the
// execute function's result (-1 when none is installed).
VEKHOST_API int32_t SendEvent(int32_t event, std::optional<Point> point = std::nullopt);
VEKHOST_API int32_t SendPoint(double x, double y);  // event 2 with the point
VEKHOST_API int32_t PressConfirm();                 // event 7 without a point
VEKHOST_API int32_t FinishSelection();              // event 0
VEKHOST_API void EndCommand();                      // calls the registered end callback

VEKHOST_API int32_t EventMask();
VEKHOST_API std::optional<ObjectFilter> LastObjectFilter();
VEKHOST_API VekExecuteFunc InstalledExecuteFunc();
VEKHOST_API VekReadyFunc InstalledReadyFunc();
// The picked figure a segment came from: the segment of the selection entry
// the host had handed out last when a call created `segment` (a plug-in
// converts one entry at a time). VEK_NONE for segments made by the driver,
// loaded from a file, made while no selection was open, or deleted since.
VEKHOST_API VekId SourceOf(VekId segment);
VEKHOST_API int ClearSysIdCount();     // calls of VekIddClearSysIdData
VEKHOST_API int OpenSelectionCount();  // selections opened and not closed

// ---- What the host showed ------------------------------------------------
enum class MessageKind { Prompt, Cursor, Error, Box };
struct Message {
    MessageKind kind;
    std::u16string text;
};
VEKHOST_API std::vector<Message> Messages();
VEKHOST_API void ClearMessages();
VEKHOST_API std::string ToUtf8(const std::u16string& text);

// ---- Call log ------------------------------------------------------------
// When on, every VekLib call is logged as its name followed by its arguments,
// e.g. "VekFigAddCorner(12,13,0,1.5)". Points show as x,y, keys as context,id,
// records as their kind, texts quoted.
VEKHOST_API void SetCallLog(bool on);
VEKHOST_API std::vector<std::string> CallLog();
VEKHOST_API void ClearCallLog();

// ---- Call observer -------------------------------------------------------
// One VekLib call as a driver that reports on a run sees it.
struct ObservedCall {
    const char* name = "";  // e.g. "VekFigAddCorner"
    double args[12] = {};   // as the call log shows them (texts apart)
    int argCount = 0;
    std::u16string text;  // the text the call was given; empty when none
    // What the call returned (identifiers, counts and lengths as numbers,
    // failure values included); NaN for a call without a result.
    double result = 0;
    // The segment of the selection entry the host had handed out last when
    // the call returned (see SourceOf); VEK_NONE while no selection is open.
    VekId entry = VEK_NONE;
};
// Calls `observer` with every VekLib call once it has returned (a call
// without a result as it is made), until replaced; an empty function stops
// observing, and so does Reset(). Calls made by the observer are not observed.
// `calls` names the calls it sees (unknown names throw std::invalid_argument);
// empty: every call. The calls it does not see cost nothing more.
VEKHOST_API void SetCallObserver(std::function<void(const ObservedCall&)> observer,
                                 const std::vector<std::string>& calls = {});

// ---- Fault injection -----------------------------------------------------
// Makes the named VekLib call fail (return its failure value and change
// nothing) at its nth use from now on (1-based), `times` uses in a row.
VEKHOST_API void FailCall(const std::string& name, int nth = 1, int times = 1);
// Makes the named call fail whenever the predicate, given the call's numeric
// arguments in order (as the call log shows them, without texts), returns true.
// Unknown call names throw std::invalid_argument here and in CallCount.
VEKHOST_API void FailWhen(const std::string& name,
                          std::function<bool(const std::vector<double>&)> predicate);
VEKHOST_API void ClearFaults();
// Number of times the named call was made since Reset.
VEKHOST_API int CallCount(const std::string& name);

}  // namespace vekhost
