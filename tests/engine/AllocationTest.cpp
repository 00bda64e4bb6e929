// The passes allocate nothing on the heap in the plug-in's own code: every
// figure and element goes through fixed buffers. The stand-in host does
// allocate; the probe tells its allocations apart by wrapping each host call.
#include "tests/engine/AllocationProbe.h"
#include "tests/engine/EngineFixture.h"
#include "tests/engine/Outline.h"
#include "engine/ExplodedPass.h"
#include "engine/StandardPass.h"

namespace {

class AllocationTest : public EngineTest {};

TEST_F(AllocationTest, ProbeSeesAnAllocationOutsideTheHost) {
    probe::Start();
    int* volatile p = new int(3);
    delete p;
    EXPECT_EQ(probe::Stop(), 1);
}

TEST_F(AllocationTest, StandardPassAllocatesNothingPerFigureOrElement) {
    for (int elements : {10, 100, 1000}) {
        outline::Build(30, elements);
        Settings(3, 1);
        ActiveSettings.Color = 1;
        probe::Start();
        EXPECT_EQ(StandardPass(0, 0, 0, 0), 0);
        EXPECT_EQ(probe::Stop(), 0) << elements;
        EXPECT_GT(probe::HostAllocations(), 0);  // the probe does see the host
        EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(30)}) << elements;
        for (const auto& e : Errors()) {
            ADD_FAILURE() << vekhost::ToUtf8(e);
        }
    }
}

TEST_F(AllocationTest, ExplodedPassAllocatesNothingPerFigureOrRecord) {
    for (int elements : {10, 100, 1000}) {
        outline::Build(30, elements);
        Settings(2, 2);
        probe::Start();
        EXPECT_EQ(ExplodedPass(0, 0, 0, 0), 0);
        EXPECT_EQ(probe::Stop(), 0) << elements;
        EXPECT_EQ(Boxes(), std::vector<std::u16string>{Modified(30)}) << elements;
    }
}

TEST_F(AllocationTest, StoppedRunsAllocateNothingEither) {
    outline::Build(3, 100);
    Settings(3);
    vekhost::FailCall("VekFigAddCorner", 30, 100);
    probe::Start();
    StandardPass(0, 0, 0, 0);
    EXPECT_EQ(probe::Stop(), 0);
    EXPECT_EQ(Errors().size(), 1u);
}

}  // namespace
