// Benchmark of the conversion passes over generated selections, against a
// host floor measured in the same run: the same copy, element walk and
// element creation, without rounding and without corner work.
//
// Each benchmark iteration converts a fresh drawing twice (floor, then pass);
// the reported time is the pass's. Counters:
//   ns_per_element        pass time per element of the selection
//   floor_ns_per_element  floor time per element
//   corner_floor_ns_per_element
//                         time per element of the floor with the host's
//                         corner work added
//   ratio_to_floor        pass time / floor time, over all iterations
//   ratio_to_corner_floor pass time / time of the floor with the host's
//                         corner work added: the plug-in's own share
//   plugin_allocs         heap allocations made outside host calls during
//                         the pass (the allocation probe), per iteration
#include "tests/engine/AllocationProbe.h"
#include "state/CommandState.h"
#include "tests/engine/Outline.h"
#include "engine/ExplodedPass.h"
#include "engine/StandardPass.h"
#include "engine/WorkBuffers.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>

namespace {

// What any conversion costs the host: copy each selected figure, walk the
// copy into the figure buffer, create the new segment's elements (corners
// skipped), line types, layer and closed flag, delete the picked figure and
// the copies. No rounding, no corner preparation, no corners added.
// With `corners`, the host's share of the corner work is added as well (the
// preparation of the copy and every corner added again at its size as read),
// so that what remains between it and the pass is the plug-in's own work.
int32_t HostFloor(bool corners) {
    CopyList.count = 0;
    FigureBuffer& buffer = WorkFigure;
    const int32_t selection = VekIddOpenSelIdData(1, 0, 0, 0);
    SelEntry entry{};
    int32_t figures = 0;
    for (int32_t rc = VekIddGetHeadSelIdData(selection, &entry); rc != -1;
         rc = VekIddGetNextSelIdData(selection, &entry)) {
        ++figures;
        const double origin[2] = {0, 0};
        const VekId copy = VekSgmEditSegment(VekId(entry.segment), origin, origin, 0.0, 1.0, 0);
        CopyList.ids[CopyList.count++] = copy;
        const FigureKey key{entry.context, uint32_t(copy)};
        if (corners) {
            ArcsToCorners(key);
            ReleaseEndFillets(key);
            ReleaseEndChamfers(key);
        }
        const bool closed = VekFigIsClosed(copy) != 0;
        if (ReadFigure(key, buffer) != WalkResult::Done) {
            return -1;
        }
        const VekId segment = VekSgmCreateSegment(0, 0);
        VekId previous = VEK_NONE;
        for (int32_t k = buffer.count - 1; k >= 0; --k) {
            ElementSlot& slot = buffer.slots[k];
            if (slot.elementType == VEK_ROUND_CORNER || slot.elementType == VEK_CHAMFER) {
                continue;
            }
            previous = previous == VEK_NONE ? VekFigCreateFigure(segment, &slot.figure)
                                            : VekFigInsertFigure(previous, &slot.figure);
            slot.newElementId = previous;
            VekFigSetLineType(previous, &slot.lineType);
        }
        VekSgmChangeLayer(segment, VekSgmGetLayer(VekId(entry.segment)));
        if (closed) {
            VekFigSetClosed(segment, 1);
        }
        for (int32_t k = 0; corners && k < buffer.count; ++k) {
            const ElementSlot& slot = buffer.slots[k];
            if (slot.elementType == VEK_ROUND_CORNER || slot.elementType == VEK_CHAMFER) {
                const int32_t prev = k == 0 ? buffer.count - 1 : k - 1;
                const int32_t next = k + 1 == buffer.count ? 0 : k + 1;
                VekFigAddCorner(buffer.slots[prev].newElementId, buffer.slots[next].newElementId,
                                slot.elementType == VEK_CHAMFER ? 1 : 0, slot.figure.size);
            }
        }
        VekSgmDeleteSegment(VekId(entry.segment));
    }
    VekIddCloseSelIdData(selection);
    DeleteListedCopies();
    VekDlgMessageBox(VEK_TEXT("floor"));
    return figures;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// args: figures, elements per figure
template <int32_t (*Pass)(int32_t, intptr_t, intptr_t, intptr_t)>
void Convert(benchmark::State& state) {
    const int figures = int(state.range(0));
    const int elements = int(state.range(1));
    ActiveSettings = SettingsRecord{3, 0, 0, 0, 0, 0};
    RefPoint[0] = 12.5;
    RefPoint[1] = -7.25;
    double passTime = 0, floorTime = 0, cornerFloorTime = 0;
    int64_t allocations = 0;
    // One untimed run of each first: the host's tables reach their full size
    // and the memory for them is in the process before anything is timed,
    // so the first timed floor does not pay for it alone.
    outline::Build(figures, elements);
    benchmark::DoNotOptimize(HostFloor(true));
    outline::Build(figures, elements);
    benchmark::DoNotOptimize(Pass(0, 0, 0, 0));
    for (auto _ : state) {
        outline::Build(figures, elements);
        Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(HostFloor(false));
        floorTime += Seconds(start);

        outline::Build(figures, elements);
        start = Clock::now();
        benchmark::DoNotOptimize(HostFloor(true));
        cornerFloorTime += Seconds(start);

        outline::Build(figures, elements);
        probe::Start();
        start = Clock::now();
        benchmark::DoNotOptimize(Pass(0, 0, 0, 0));
        const double t = Seconds(start);
        allocations += probe::Stop();
        passTime += t;
        state.SetIterationTime(t);
    }
    const double total = double(figures) * double(elements) * double(state.iterations());
    state.counters["ns_per_element"] = passTime / total * 1e9;
    state.counters["floor_ns_per_element"] = floorTime / total * 1e9;
    state.counters["corner_floor_ns_per_element"] = cornerFloorTime / total * 1e9;
    state.counters["ratio_to_floor"] = passTime / floorTime;
    state.counters["ratio_to_corner_floor"] = passTime / cornerFloorTime;
    state.counters["plugin_allocs"] = double(allocations) / double(state.iterations());
}

void Selections(benchmark::internal::Benchmark* b) {
    b->Args({3000, 100});
    b->Args({1, 2999});
    for (int elements : {10, 100, 1000, 2999}) {
        // About 30 000 elements per selection, so that every size is timed
        // over the same amount of work.
        b->Args({30000 / elements, elements});
    }
    b->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

BENCHMARK(Convert<StandardPass>)->Name("StandardPass")->Apply(Selections);
BENCHMARK(Convert<ExplodedPass>)->Name("ExplodedPass")->Apply(Selections);

}  // namespace

// The stand-in host grows its tables as a drawing is built; by default the C
// library hands large blocks back to the system when a drawing is reset, and
// every run then pays first-touch page faults that belong to neither pass.
// Keeping freed memory in the process leaves the host's own work and the
// plug-in's to be timed.
int main(int argc, char** argv) {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
