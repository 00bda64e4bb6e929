// Host contract: the host CAD system's API library (VekLib.dll) and the entry
// it looks up in a plug-in. Change only to match the host; the plug-in and the
// stand-in host under platform/veklib both build against this file.
//
// The library is imported by name; every call has C linkage.
//
// Identifiers (segments, elements, layers, contexts, selection handles) are
// 32-bit; -1 means none, end of list or failure in every result.
// Points are two doubles, x then y. Texts are UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
typedef wchar_t VekChar;
#define VEK_TEXT(s) L##s
#define VEKCALL __cdecl
#ifdef VEKLIB_BUILD
#define VEKAPI __declspec(dllexport)
#else
#define VEKAPI __declspec(dllimport)
#endif
#else
typedef char16_t VekChar;
#define VEK_TEXT(s) u##s
#define VEKCALL
#define VEKAPI __attribute__((visibility("default")))
#endif

static_assert(sizeof(VekChar) == 2, "host texts are UTF-16");

typedef int32_t VekId;
constexpr VekId VEK_NONE = -1;

// Element-type and figure-kind codes (one set of codes for both).
enum VekKind : uint32_t {
    VEK_LINE = 1,
    VEK_CIRCLE = 2,
    VEK_ARC = 3,
    VEK_POINT_LENGTHS = 4,  // P1 with two lengths at offsets 24 and 32
    VEK_TWO_POINTS = 5,     // P2 and P3
    VEK_UNCHANGED = 6,
    VEK_ROUND_CORNER = 7,  // radius in size
    VEK_CHAMFER = 8,       // setback in size, P1 = where the neighbours meet
    VEK_POINT = 9,
};

// One entry of the host's selection.
struct SelEntry {
    uint32_t segment;
    uint32_t context;
};

// Key of a figure query: context, then an element or a segment identifier.
struct FigureKey {
    uint32_t context;
    uint32_t id;
};

// Geometry of one element. Fields the plug-in does not touch are copied through.
struct FigureRecord {
    uint32_t kind;
    uint8_t unused0[4];
    double p1[2];  // line start; circle/arc centre; chamfer meeting point; kinds 4, 9: the point
    double p2[2];  // line end; arc start; kind 5 first point; circle radius at [0]; kind 4 lengths
    double p3[2];  // arc end; kind 5 second point
    double size;   // arc radius; rounded-corner radius; chamfer setback
    uint32_t direction;  // arcs: 1 = clockwise from start to end, otherwise counter-clockwise
    uint8_t unused1[20];
};

static_assert(sizeof(FigureRecord) == 88, "host record format");
static_assert(offsetof(FigureRecord, p1) == 8, "host record format");
static_assert(offsetof(FigureRecord, p2) == 24, "host record format");
static_assert(offsetof(FigureRecord, p3) == 40, "host record format");
static_assert(offsetof(FigureRecord, size) == 56, "host record format");
static_assert(offsetof(FigureRecord, direction) == 64, "host record format");
static_assert(sizeof(SelEntry) == 8 && sizeof(FigureKey) == 8, "host record format");

// Line type of one element: colour index, line-type code, then zeros.
struct LineTypeRecord {
    int32_t colorIndex;
    int32_t lineTypeCode;
    int32_t reserved[2];
};
static_assert(sizeof(LineTypeRecord) == 16, "host record format");

// Which objects the user may pick during selection.
struct ObjectFilter {
    int32_t word1;
    int32_t word2;
    int32_t word3;
    int32_t word4;
};

// Callbacks the host calls. Execute functions get the event code, then the
// event data and two further host arguments, which are passed on unchanged.
typedef int32_t(VEKCALL* VekStartFunc)(void);
typedef int32_t(VEKCALL* VekSecondFunc)(void);
typedef void(VEKCALL* VekEndFunc)(void);
typedef int32_t(VEKCALL* VekExecuteFunc)(int32_t event, intptr_t data, intptr_t arg3,
                                         intptr_t arg4);
typedef int32_t(VEKCALL* VekReadyFunc)(void);

// The plug-in's entry, which the host finds by name after loading the library
// and calls once to make the command available. 0: registered; -1: the host
// refused. The fourth argument is handed on to VekCtlRegisterVekLib2.
typedef int32_t(VEKCALL* StartupFunc)(intptr_t arg1, intptr_t arg2, intptr_t arg3,
                                      intptr_t reserved);
inline constexpr const char* kStartupExportName = "Startup";

#ifdef __cplusplus
extern "C" {
#endif

// Control
VEKAPI int32_t VEKCALL VekCtlRegisterVekLib2(VekStartFunc start, VekSecondFunc second,
                                             VekEndFunc end, intptr_t reserved);
VEKAPI void VEKCALL VekCtlSetExecuteFunc(VekExecuteFunc func, const VekChar* text);
VEKAPI void VEKCALL VekCtlSetReadyFunc(VekReadyFunc func, const VekChar* text);

// Events
VEKAPI void VEKCALL VekEvtSetEventMask(int32_t mask);
VEKAPI int32_t VEKCALL VekEvtGetPoint(int32_t event, intptr_t data, double* point,
                                      intptr_t reserved);
VEKAPI void VEKCALL VekEvtSetObject(const ObjectFilter* filter);

// Messages
VEKAPI void VEKCALL VekMsgPutMessage(const VekChar* text);
VEKAPI void VEKCALL VekMsgPutCursorMessage(const VekChar* text);
VEKAPI void VEKCALL VekMsgPutErrorMessage(const VekChar* text);
VEKAPI int32_t VEKCALL VekDlgMessageBox(const VekChar* text);

// Selection
VEKAPI void VEKCALL VekIddClearSysIdData(void);
VEKAPI int32_t VEKCALL VekIddOpenSelIdData(int32_t mode, intptr_t a, intptr_t b, intptr_t c);
VEKAPI int32_t VEKCALL VekIddGetHeadSelIdData(int32_t handle, SelEntry* entry);
VEKAPI int32_t VEKCALL VekIddGetNextSelIdData(int32_t handle, SelEntry* entry);
VEKAPI void VEKCALL VekIddCloseSelIdData(int32_t handle);

// Segments
VEKAPI VekId VEKCALL VekSgmCreateSegment(int32_t a, int32_t b);
// Transformed copy: moved from `from` to `to`, rotated by `angle` radians
// about `to`, scaled by `scale` about `to`, mirrored when `mirror` is non-zero.
VEKAPI VekId VEKCALL VekSgmEditSegment(VekId segment, const double* from, const double* to,
                                       double angle, double scale, uint8_t mirror);
VEKAPI int32_t VEKCALL VekSgmDeleteSegment(VekId segment);
VEKAPI VekId VEKCALL VekSgmGetLayer(VekId segment);
VEKAPI int32_t VEKCALL VekSgmChangeLayer(VekId segment, VekId layer);
VEKAPI VekId VEKCALL VekSgmGetHeadElementId(VekId segment);
VEKAPI VekId VEKCALL VekSgmGetTailElementId(VekId segment);

// Elements
VEKAPI VekId VEKCALL VekElmGetNextElementId(VekId element);
VEKAPI int32_t VEKCALL VekElmGetType(VekId element);

// Figures
VEKAPI int32_t VEKCALL VekFigGetFigure(const FigureKey* key, FigureRecord* record);
VEKAPI int32_t VEKCALL VekFigGetFigure2(const FigureKey* key, FigureRecord* records,
                                        int32_t capacity);
VEKAPI uint8_t VEKCALL VekFigIsClosed(VekId segment);
VEKAPI void VEKCALL VekFigSetClosed(VekId segment, uint8_t closed);
VEKAPI VekId VEKCALL VekFigCreateFigure(VekId segment, const FigureRecord* record);
VEKAPI VekId VEKCALL VekFigInsertFigure(VekId element, const FigureRecord* record);
VEKAPI int32_t VEKCALL VekFigGetLineType(VekId element, LineTypeRecord* lineType);
VEKAPI int32_t VEKCALL VekFigSetLineType(VekId element, const LineTypeRecord* lineType);
// mode 0: rounded corner of radius `size`; mode 1: chamfer of setback `size`.
VEKAPI int32_t VEKCALL VekFigAddCorner(VekId before, VekId after, int32_t mode, double size);
VEKAPI VekId VEKCALL VekFigChangeCorner(VekId element);

// Arithmetic
VEKAPI double VEKCALL VekAriLen2Pnts(const double* a, const double* b);
VEKAPI double VEKCALL VekAriAngRad2Pnts(const double* centre, const double* point);
// Centres of the circles of `radius` through a and b, written to results[0..3]
// (x0, y0, x1, y1); returns how many were found (0, 1 or 2).
VEKAPI int32_t VEKCALL VekAriTanCir2Pnts(double radius, const double* a, const double* b,
                                         const double* hint, double* results);

#ifdef __cplusplus
}
#endif
