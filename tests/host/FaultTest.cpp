// Fault injection and the call log: a failed call returns its failure value
// and changes nothing; faults fire at the use asked for.
#include "tests/host/HostFixture.h"

#include <functional>
#include <stdexcept>
#include <string>

using vekhost::Line;

class FaultTest : public HostTest {};

TEST_F(FaultTest, FailsAtTheNthUseFromNowOn) {
    VekSgmCreateSegment(0, 0);  // uses before FailCall do not count
    vekhost::FailCall("VekSgmCreateSegment", 2, 2);
    EXPECT_GT(VekSgmCreateSegment(0, 0), 0);
    EXPECT_EQ(VekSgmCreateSegment(0, 0), -1);
    EXPECT_EQ(VekSgmCreateSegment(0, 0), -1);
    EXPECT_GT(VekSgmCreateSegment(0, 0), 0);
    EXPECT_EQ(vekhost::SegmentCount(), 3u);
    EXPECT_EQ(vekhost::CallCount("VekSgmCreateSegment"), 5);
}

TEST_F(FaultTest, PredicateSeesTheNumericArguments) {
    // Refuse fillets outside a radius window, as a host might.
    std::vector<std::vector<double>> seen;
    vekhost::FailWhen("VekFigAddCorner", [&](const std::vector<double>& a) {
        seen.push_back(a);
        return a[2] == 0 && (a[3] < 1.0 || a[3] > 2.0);
    });
    VekId seg = vekhost::AddSegment({Line(0, 0, 10, 0), Line(10, 0, 10, 10)});
    auto ids = ElementIds(seg);
    const std::string before = vekhost::ToJson();
    EXPECT_EQ(VekFigAddCorner(ids[0], ids[1], 0, 0.5), -1);
    EXPECT_EQ(VekFigAddCorner(ids[0], ids[1], 0, 2.5), -1);
    EXPECT_EQ(vekhost::ToJson(), before);
    EXPECT_GT(VekFigAddCorner(ids[0], ids[1], 0, 1.5), 0);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (std::vector<double>{double(ids[0]), double(ids[1]), 0, 0.5}));

    // Points count as their two coordinates.
    std::vector<double> args;
    vekhost::FailWhen("VekAriTanCir2Pnts", [&](const std::vector<double>& a) {
        args = a;
        return false;
    });
    const double a[2] = {1, 2}, b[2] = {3, 4}, h[2] = {5, 6};
    double r[4];
    VekAriTanCir2Pnts(7, a, b, h, r);
    EXPECT_EQ(args, (std::vector<double>{7, 1, 2, 3, 4, 5, 6}));
}

// Each call made to fail once: it returns its failure value and the drawing,
// the session and the messages stay as they were.
struct FailureCase {
    const char* call;
    std::function<double(VekId seg, VekId elm)> run;
    double failure;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.call;
}

class FailureValueTest : public FaultTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureValueTest, ReturnsFailureValueAndChangesNothing) {
    const FailureCase& c = GetParam();
    // Two lines joined by a tangent arc, a third line, and an empty segment.
    VekId seg = vekhost::AddSegment({Line(0, 0, 8, 0), vekhost::Arc(8, 2, 8, 0, 10, 2),
                                     Line(10, 2, 10, 10), Line(10, 10, 0, 10)},
                                    false, 0, vekhost::MakeLineType(1, 1));
    VekId elm = ElementIds(seg)[0];
    vekhost::AddSegment({});
    vekhost::AddLayer("other");
    vekhost::Select({seg});
    const std::string before = vekhost::ToJson();
    vekhost::FailCall(c.call);
    EXPECT_EQ(c.run(seg, elm), c.failure);
    EXPECT_EQ(vekhost::ToJson(), before);
    EXPECT_TRUE(vekhost::Messages().empty());
    EXPECT_EQ(vekhost::OpenSelectionCount(), 0);
    EXPECT_GE(vekhost::CallCount(c.call), 1);
    // The fault was for one use only.
    EXPECT_NE(c.run(seg, elm), c.failure);
}

const FigureRecord kLine = Line(1, 1, 2, 2);
const double kOrigin[2] = {0, 0};

INSTANTIATE_TEST_SUITE_P(
    Calls, FailureValueTest,
    ::testing::Values(
        FailureCase{"VekSgmCreateSegment", [](VekId, VekId) { return VekSgmCreateSegment(0, 0); },
                    -1},
        FailureCase{"VekSgmEditSegment",
                    [](VekId s, VekId) { return VekSgmEditSegment(s, kOrigin, kOrigin, 0, 1, 0); },
                    -1},
        FailureCase{"VekSgmDeleteSegment",
                    [](VekId s, VekId) {
                        // Checked before it succeeds on the second run.
                        return static_cast<double>(VekSgmDeleteSegment(s));
                    },
                    -1},
        FailureCase{"VekSgmChangeLayer", [](VekId s, VekId) { return VekSgmChangeLayer(s, 1); },
                    -1},
        FailureCase{"VekSgmGetLayer", [](VekId s, VekId) { return VekSgmGetLayer(s) + 5; }, 4},
        FailureCase{"VekSgmGetHeadElementId",
                    [](VekId s, VekId) { return VekSgmGetHeadElementId(s); }, -1},
        FailureCase{"VekElmGetNextElementId",
                    [](VekId, VekId e) { return VekElmGetNextElementId(e); }, -1},
        FailureCase{"VekElmGetType", [](VekId, VekId e) { return VekElmGetType(e); }, -1},
        FailureCase{"VekFigGetFigure",
                    [](VekId, VekId e) {
                        FigureKey k{vekhost::Context(), static_cast<uint32_t>(e)};
                        FigureRecord r{};
                        return VekFigGetFigure(&k, &r) == -1 && r.kind == 0 ? -1.0 : 0.0;
                    },
                    -1},
        FailureCase{"VekFigGetFigure2",
                    [](VekId s, VekId) {
                        FigureKey k{vekhost::Context(), static_cast<uint32_t>(s)};
                        FigureRecord r[4]{};
                        return VekFigGetFigure2(&k, r, 4);
                    },
                    -1},
        FailureCase{"VekFigCreateFigure",
                    [](VekId, VekId) {
                        return VekFigCreateFigure(vekhost::Segments().back(), &kLine) > 0 ? 1 : -1;
                    },
                    -1},
        FailureCase{"VekFigInsertFigure",
                    [](VekId, VekId e) { return VekFigInsertFigure(e, &kLine); }, -1},
        FailureCase{"VekFigSetLineType",
                    [](VekId, VekId e) {
                        LineTypeRecord lt{7, 7, {0, 0}};
                        return VekFigSetLineType(e, &lt);
                    },
                    -1},
        FailureCase{"VekFigGetLineType",
                    [](VekId, VekId e) {
                        LineTypeRecord lt{};
                        return VekFigGetLineType(e, &lt);
                    },
                    -1},
        FailureCase{"VekFigIsClosed",
                    [](VekId s, VekId) {
                        VekFigSetClosed(s, 1);
                        double r = VekFigIsClosed(s);
                        VekFigSetClosed(s, 0);
                        return r;
                    },
                    0},
        FailureCase{"VekFigSetClosed",
                    [](VekId s, VekId) {
                        VekFigSetClosed(s, 1);
                        double r = VekFigIsClosed(s);
                        VekFigSetClosed(s, 0);
                        return r;
                    },
                    0},
        FailureCase{"VekFigAddCorner",
                    [](VekId, VekId e) {
                        VekId third = VekElmGetNextElementId(VekElmGetNextElementId(e));
                        return VekFigAddCorner(third, VekElmGetNextElementId(third), 0, 1);
                    },
                    -1},
        FailureCase{"VekFigChangeCorner",
                    [](VekId, VekId e) { return VekFigChangeCorner(VekElmGetNextElementId(e)); },
                    -1},
        FailureCase{"VekAriTanCir2Pnts",
                    [](VekId, VekId) {
                        const double a[2] = {0, 0}, b[2] = {2, 0};
                        double r[4];
                        return VekAriTanCir2Pnts(2, a, b, nullptr, r);
                    },
                    -1},
        FailureCase{"VekAriLen2Pnts",
                    [](VekId, VekId) {
                        const double a[2] = {0, 0}, b[2] = {3, 4};
                        return VekAriLen2Pnts(a, b);
                    },
                    -1},
        FailureCase{"VekMsgPutErrorMessage",
                    [](VekId, VekId) {
                        VekMsgPutErrorMessage(VEK_TEXT("x"));
                        return static_cast<double>(vekhost::Messages().size());
                    },
                    0},
        FailureCase{"VekDlgMessageBox",
                    [](VekId, VekId) { return VekDlgMessageBox(VEK_TEXT("x")); }, -1},
        FailureCase{"VekIddOpenSelIdData",
                    [](VekId, VekId) {
                        int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
                        if (h > 0) {
                            VekIddCloseSelIdData(h);
                        }
                        return h;
                    },
                    -1},
        FailureCase{"VekIddGetHeadSelIdData",
                    [](VekId, VekId) {
                        int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
                        SelEntry e{};
                        int32_t r = VekIddGetHeadSelIdData(h, &e);
                        VekIddCloseSelIdData(h);
                        return r;
                    },
                    -1}),
    [](const auto& tc) { return std::string(tc.param.call); });

TEST_F(FaultTest, FailedCloseLeavesTheSelectionOpen) {
    int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
    vekhost::FailCall("VekIddCloseSelIdData");
    VekIddCloseSelIdData(h);
    EXPECT_EQ(vekhost::OpenSelectionCount(), 1);
    VekIddCloseSelIdData(h);
    EXPECT_EQ(vekhost::OpenSelectionCount(), 0);
}

TEST_F(FaultTest, FailedRegistrationInstallsNothing) {
    vekhost::FailCall("VekCtlRegisterVekLib2");
    EXPECT_EQ(VekCtlRegisterVekLib2([]() -> int32_t { return 0; }, nullptr, nullptr, 0), -1);
    EXPECT_FALSE(vekhost::IsRegistered());
}

TEST_F(FaultTest, CallLogShowsNamesAndArguments) {
    VekSgmCreateSegment(0, 0);  // not logged: the log is off by default
    vekhost::SetCallLog(true);
    VekId seg = VekSgmCreateSegment(0, 0);
    FigureRecord l = Line(0, 0, 1, 0);
    VekFigCreateFigure(seg, &l);
    VekFigAddCorner(12, 13, 0, 1.5);
    VekMsgPutMessage(VEK_TEXT("형상"));
    const double a[2] = {0.1, -2}, b[2] = {1e-20, 3};
    VekAriLen2Pnts(a, b);
    auto log = vekhost::CallLog();
    EXPECT_EQ(
        log, (std::vector<std::string>{"VekSgmCreateSegment(0,0)",
                                       "VekFigCreateFigure(" + std::to_string(seg) + ",1)",
                                       "VekFigAddCorner(12,13,0,1.5)", "VekMsgPutMessage(\"형상\")",
                                       "VekAriLen2Pnts(0.1,-2,1e-20,3)"}));
    vekhost::ClearCallLog();
    EXPECT_TRUE(vekhost::CallLog().empty());
    vekhost::SetCallLog(false);
    VekSgmCreateSegment(0, 0);
    EXPECT_TRUE(vekhost::CallLog().empty());
    EXPECT_EQ(vekhost::CallCount("VekSgmCreateSegment"), 3);
}

TEST_F(FaultTest, UnknownNamesAreRejectedAndFaultsCanBeCleared) {
    EXPECT_THROW(vekhost::FailCall("VekFigAddCorners"), std::invalid_argument);
    EXPECT_THROW(vekhost::FailWhen("nope", [](const auto&) { return true; }),
                 std::invalid_argument);
    EXPECT_THROW(vekhost::CallCount("VekSgm"), std::invalid_argument);
    EXPECT_THROW(vekhost::FailCall("VekSgmCreateSegment", 0), std::invalid_argument);

    vekhost::FailWhen("VekSgmCreateSegment", [](const auto&) { return true; });
    vekhost::FailCall("VekSgmCreateSegment");
    EXPECT_EQ(VekSgmCreateSegment(0, 0), -1);
    vekhost::ClearFaults();
    EXPECT_GT(VekSgmCreateSegment(0, 0), 0);
    vekhost::FailCall("VekSgmCreateSegment");
    vekhost::Reset();  // Reset clears faults too
    EXPECT_GT(VekSgmCreateSegment(0, 0), 0);
}
