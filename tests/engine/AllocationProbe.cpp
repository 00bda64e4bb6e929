#include "tests/engine/AllocationProbe.h"

#include "veksdk/VekLib.h"

#include <cstdlib>
#include <new>

namespace {

bool gCounting = false;
int gHostDepth = 0;
int64_t gPluginAllocations = 0;
int64_t gHostAllocations = 0;

void* Allocate(std::size_t size) {
    if (gCounting) {
        ++(gHostDepth > 0 ? gHostAllocations : gPluginAllocations);
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

struct HostScope {
    HostScope() { ++gHostDepth; }
    ~HostScope() { --gHostDepth; }
    HostScope(const HostScope&) = delete;
    HostScope& operator=(const HostScope&) = delete;
};

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace probe {

void Start() {
    gPluginAllocations = 0;
    gHostAllocations = 0;
    gHostDepth = 0;
    gCounting = true;
}

int64_t Stop() {
    gCounting = false;
    return gPluginAllocations;
}

int64_t HostAllocations() {
    return gHostAllocations;
}

}  // namespace probe

// Link-time wrappers (-Wl,--wrap=<name>): __wrap_<name> is what the engine's
// calls reach, __real_<name> the host's own entry.
#define PROBE_WRAP(ret, name, params, args) \
    extern "C" ret __real_##name params;    \
    extern "C" ret __wrap_##name params {   \
        HostScope scope;                    \
        return __real_##name args;          \
    }

PROBE_WRAP(int32_t, VekIddOpenSelIdData, (int32_t m, intptr_t a, intptr_t b, intptr_t c),
           (m, a, b, c))
PROBE_WRAP(int32_t, VekIddGetHeadSelIdData, (int32_t h, SelEntry* e), (h, e))
PROBE_WRAP(int32_t, VekIddGetNextSelIdData, (int32_t h, SelEntry* e), (h, e))
PROBE_WRAP(void, VekIddCloseSelIdData, (int32_t h), (h))
PROBE_WRAP(VekId, VekSgmCreateSegment, (int32_t a, int32_t b), (a, b))
PROBE_WRAP(VekId, VekSgmEditSegment,
           (VekId s, const double* f, const double* t, double a, double k, uint8_t m),
           (s, f, t, a, k, m))
PROBE_WRAP(int32_t, VekSgmDeleteSegment, (VekId s), (s))
PROBE_WRAP(VekId, VekSgmGetLayer, (VekId s), (s))
PROBE_WRAP(int32_t, VekSgmChangeLayer, (VekId s, VekId l), (s, l))
PROBE_WRAP(VekId, VekSgmGetHeadElementId, (VekId s), (s))
PROBE_WRAP(VekId, VekSgmGetTailElementId, (VekId s), (s))
PROBE_WRAP(VekId, VekElmGetNextElementId, (VekId e), (e))
PROBE_WRAP(int32_t, VekElmGetType, (VekId e), (e))
PROBE_WRAP(int32_t, VekFigGetFigure, (const FigureKey* k, FigureRecord* r), (k, r))
PROBE_WRAP(int32_t, VekFigGetFigure2, (const FigureKey* k, FigureRecord* r, int32_t n), (k, r, n))
PROBE_WRAP(uint8_t, VekFigIsClosed, (VekId s), (s))
PROBE_WRAP(void, VekFigSetClosed, (VekId s, uint8_t c), (s, c))
PROBE_WRAP(VekId, VekFigCreateFigure, (VekId s, const FigureRecord* r), (s, r))
PROBE_WRAP(VekId, VekFigInsertFigure, (VekId e, const FigureRecord* r), (e, r))
PROBE_WRAP(int32_t, VekFigGetLineType, (VekId e, LineTypeRecord* l), (e, l))
PROBE_WRAP(int32_t, VekFigSetLineType, (VekId e, const LineTypeRecord* l), (e, l))
PROBE_WRAP(int32_t, VekFigAddCorner, (VekId b, VekId a, int32_t m, double s), (b, a, m, s))
PROBE_WRAP(VekId, VekFigChangeCorner, (VekId e), (e))
PROBE_WRAP(double, VekAriLen2Pnts, (const double* a, const double* b), (a, b))
PROBE_WRAP(double, VekAriAngRad2Pnts, (const double* c, const double* p), (c, p))
PROBE_WRAP(int32_t, VekAriTanCir2Pnts,
           (double r, const double* a, const double* b, const double* h, double* o),
           (r, a, b, h, o))
PROBE_WRAP(void, VekMsgPutErrorMessage, (const VekChar* t), (t))
PROBE_WRAP(int32_t, VekDlgMessageBox, (const VekChar* t), (t))
