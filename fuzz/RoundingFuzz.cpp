// The rounding of arbitrary figure records: any doubles, 1 to 16 slots of a
// figure or one exploded record, every element kind (and kinds no element
// has), decimal places from -400 to 400 and any unit mode (7 and -1 too).
// RoundFigureRecord and RoundFigureBuffer, with the stand-in host answering
// their arithmetic calls, may not crash or trip a sanitizer, and when every
// value they are given is finite (as every value in a drawing is) every value
// they leave must be finite: nothing non-finite may reach the drawing.
// Near the largest doubles the rounding overflows (a point's offset from the
// reference point, that offset rounded and added back, a length between two
// points, a lone arc's end from its centre and radius): the inputs in
// regressions/rounding_fuzz/ hold each case.
#include "engine/Rounding.h"
#include "engine/WorkBuffers.h"
#include "platform/veklib/VekHost.h"
#include "state/CommandState.h"

#include "fuzz/FuzzInput.h"

#include <cfloat>
#include <limits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

FigureRecord Record(FuzzInput& in, uint32_t kind) {
    FigureRecord r{};
    r.kind = kind;
    for (double* p : {r.p1, r.p2, r.p3}) {
        p[0] = in.Double();
        p[1] = in.Double();
    }
    r.size = in.Double();
    r.direction = in.Take<uint8_t>() % 3;
    return r;
}

constexpr double kChecked = std::numeric_limits<double>::max();

bool Within(const FigureRecord& r, double limit) {
    const double values[] = {r.p1[0], r.p1[1], r.p2[0], r.p2[1], r.p3[0], r.p3[1], r.size};
    for (double v : values) {
        if (!(std::fabs(v) <= limit)) {
            return false;
        }
    }
    return true;
}

bool Finite(const FigureRecord& r) {
    return Within(r, DBL_MAX);
}

void Print(const char* what, const FigureRecord& r) {
    std::fprintf(stderr,
                 "  %s kind %u: p1 (%.17g, %.17g) p2 (%.17g, %.17g) p3 (%.17g, %.17g) size %.17g "
                 "direction %u\n",
                 what, r.kind, r.p1[0], r.p1[1], r.p2[0], r.p2[1], r.p3[0], r.p3[1], r.size,
                 r.direction);
}

FigureBuffer buffer;  // too large for the stack

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekhost::Reset();
    FuzzInput in(data, size);
    static const int32_t kUnitModes[] = {0, 1, 2, 7, -1, INT32_MIN, INT32_MAX};
    ActiveSettings = SettingsRecord{};
    ActiveSettings.d_point = int32_t(in.Take<uint16_t>() % 801) - 400;
    const uint32_t mode = in.Below(8);
    ActiveSettings.inchmm = mode < 7 ? kUnitModes[mode] : in.Take<int32_t>();
    const double ref[2] = {in.Double(), in.Double()};
    bool checked = std::fabs(ref[0]) <= kChecked && std::fabs(ref[1]) <= kChecked;
    const RoundingGrid grid = MakeGrid(ActiveSettings.d_point, ActiveSettings.inchmm, ref);

    const bool whole = in.Take<uint8_t>() & 1;
    const int32_t count = whole ? int32_t(in.Below(16)) + 1 : 1;
    FigureRecord given[16];
    for (int32_t k = 0; k < count; ++k) {
        given[k] = Record(in, in.Below(11));
        checked = checked && Within(given[k], kChecked);
    }
    if (whole) {
        buffer.count = count;
        for (int32_t k = 0; k < count; ++k) {
            buffer.slots[k] = ElementSlot{};
            buffer.slots[k].elementType = given[k].kind;
            buffer.slots[k].figure = given[k];
        }
        RoundFigureBuffer(grid, buffer);
    } else {
        buffer.slots[0].figure = given[0];
        RoundFigureRecord(grid, buffer.slots[0].figure);
    }
    if (!checked) {
        return 0;
    }
    for (int32_t k = 0; k < count; ++k) {
        if (Finite(buffer.slots[k].figure)) {
            continue;
        }
        std::fprintf(stderr,
                     "rounding_fuzz: %s left a value that is not finite (slot %d of %d); "
                     "d_point %d, inchmm %d, reference (%.17g, %.17g)\n",
                     whole ? "RoundFigureBuffer" : "RoundFigureRecord", k, count,
                     ActiveSettings.d_point, ActiveSettings.inchmm, ref[0], ref[1]);
        for (int32_t j = 0; j < count; ++j) {
            Print(j == k ? "given*" : "given ", given[j]);
        }
        Print("left  ", buffer.slots[k].figure);
        std::abort();
    }
    return 0;
}
