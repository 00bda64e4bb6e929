// The host side of a command: registration, events and callbacks, selection,
// and what the host shows.
#include "tests/host/HostFixture.h"

#include <string>

using vekhost::Line;
using vekhost::MessageKind;

namespace {

// A tiny plug-in, recording what the host does with it.
struct Plugin {
    std::vector<std::string> calls;
    int32_t pointResult = 0;
    double point[2] = {0, 0};
    int32_t executeResult = 2;
    intptr_t lastData = 0;
} plugin;

int32_t VEKCALL Start() {
    plugin.calls.push_back("start");
    VekEvtSetEventMask(0x60000);
    VekMsgPutMessage(VEK_TEXT(" 기준점지시/기준점입력(확정-설정창Open) :"));
    return 0;
}
int32_t VEKCALL Second() {
    return 0;
}
void VEKCALL End() {
    plugin.calls.push_back("end");
}
int32_t VEKCALL Ready() {
    plugin.calls.push_back("ready");
    VekIddClearSysIdData();
    ObjectFilter f{98, 479, 0, 0};
    VekEvtSetObject(&f);
    return 0;
}
int32_t VEKCALL Execute(int32_t event, intptr_t data, intptr_t, intptr_t) {
    plugin.calls.push_back("execute " + std::to_string(event));
    plugin.lastData = data;
    plugin.pointResult = VekEvtGetPoint(event, data, plugin.point, 0);
    VekCtlSetReadyFunc(Ready, VEK_TEXT(""));
    return plugin.executeResult;
}

}  // namespace

class SessionTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        plugin = Plugin{};
    }
};

TEST_F(SessionTest, RegistrationAndCommandLifecycle) {
    EXPECT_FALSE(vekhost::IsRegistered());
    EXPECT_EQ(vekhost::StartCommand(), -1);
    EXPECT_EQ(vekhost::SendPoint(1, 2), -1);  // no execute function yet
    EXPECT_GT(VekCtlRegisterVekLib2(Start, Second, End, 0), 0);
    EXPECT_TRUE(vekhost::IsRegistered());
    EXPECT_EQ(vekhost::StartCommand(), 0);
    EXPECT_EQ(vekhost::EventMask(), 0x60000);
    VekCtlSetExecuteFunc(Execute, VEK_TEXT(""));
    EXPECT_EQ(vekhost::InstalledExecuteFunc(), &Execute);

    // A point event: the point is answered, and after 2 the ready function runs.
    EXPECT_EQ(vekhost::SendPoint(10, 20), 2);
    EXPECT_EQ(plugin.pointResult, 0);
    EXPECT_EQ(plugin.point[0], 10);
    EXPECT_EQ(plugin.point[1], 20);
    EXPECT_EQ(vekhost::InstalledReadyFunc(), &Ready);
    EXPECT_EQ(vekhost::ClearSysIdCount(), 1);
    ASSERT_TRUE(vekhost::LastObjectFilter());
    EXPECT_EQ(vekhost::LastObjectFilter()->word2, 479);

    // The confirm key carries no point; a result other than 2 calls no ready function.
    plugin.executeResult = 0;
    plugin.point[0] = -1;
    EXPECT_EQ(vekhost::PressConfirm(), 0);
    EXPECT_EQ(plugin.pointResult, -1);
    EXPECT_EQ(plugin.point[0], -1);
    EXPECT_EQ(vekhost::FinishSelection(), 0);
    vekhost::EndCommand();
    EXPECT_EQ(plugin.calls, (std::vector<std::string>{"start", "execute 2", "ready", "execute 7",
                                                      "execute 0", "end"}));
}

TEST_F(SessionTest, PointIsAnsweredOnlyForTheEventBeingDelivered) {
    VekCtlSetExecuteFunc(Execute, VEK_TEXT(""));
    vekhost::SendEvent(3, vekhost::Point{4, 5});
    const intptr_t data = plugin.lastData;
    double p[2] = {0, 0};
    // After the event has been handled there is no point to give.
    EXPECT_EQ(VekEvtGetPoint(3, data, p, 0), -1);
    EXPECT_EQ(p[0], 0);
    // During it: the code and the data must be the event's own.
    vekhost::SendEvent(2, vekhost::Point{6, 7});
    EXPECT_EQ(plugin.pointResult, 0);
    EXPECT_NE(plugin.lastData, data);
}

TEST_F(SessionTest, RefusedRegistration) {
    vekhost::SetRegisterResult(0);
    EXPECT_EQ(VekCtlRegisterVekLib2(Start, Second, End, 0), 0);
    EXPECT_FALSE(vekhost::IsRegistered());
    EXPECT_EQ(vekhost::StartCommand(), -1);
    vekhost::EndCommand();
    EXPECT_TRUE(plugin.calls.empty());
}

TEST_F(SessionTest, SelectionListsSelectedSegmentsInOrder) {
    VekId a = vekhost::AddSegment({Line(0, 0, 1, 0)});
    VekId b = vekhost::AddSegment({Line(0, 0, 1, 0)});
    VekId c = vekhost::AddSegment({Line(0, 0, 1, 0)});
    vekhost::Select({c, a, b});
    int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
    ASSERT_GT(h, 0);
    EXPECT_EQ(vekhost::OpenSelectionCount(), 1);
    // Changing the selection later does not change an open list.
    vekhost::Select({});
    std::vector<VekId> got;
    SelEntry e{};
    for (int32_t r = VekIddGetHeadSelIdData(h, &e); r != -1; r = VekIddGetNextSelIdData(h, &e)) {
        EXPECT_EQ(e.context, vekhost::Context());
        got.push_back(static_cast<VekId>(e.segment));
        if (got.size() == 1) {
            VekSgmDeleteSegment(c);  // deleting the current entry is fine
        }
    }
    EXPECT_EQ(got, (std::vector<VekId>{c, a, b}));
    EXPECT_EQ(VekIddGetNextSelIdData(h, &e), -1);  // stays at the end
    VekIddCloseSelIdData(h);
    EXPECT_EQ(vekhost::OpenSelectionCount(), 0);
    EXPECT_EQ(VekIddGetHeadSelIdData(h, &e), -1);

    // Segments deleted before they are reached are passed over.
    vekhost::SelectAll();
    h = VekIddOpenSelIdData(1, 0, 0, 0);
    VekSgmDeleteSegment(a);
    ASSERT_EQ(VekIddGetHeadSelIdData(h, &e), 0);
    EXPECT_EQ(e.segment, static_cast<uint32_t>(b));
    EXPECT_EQ(VekIddGetNextSelIdData(h, &e), -1);

    // An empty selection and an unknown handle.
    vekhost::Select({});
    int32_t empty = VekIddOpenSelIdData(1, 0, 0, 0);
    EXPECT_EQ(VekIddGetHeadSelIdData(empty, &e), -1);
    EXPECT_EQ(VekIddGetHeadSelIdData(999, &e), -1);
    EXPECT_EQ(vekhost::OpenSelectionCount(), 2);
}

TEST_F(SessionTest, SegmentsMadeDuringAnEntryComeFromItsFigure) {
    const VekId a = vekhost::AddSegment({Line(0, 0, 1, 0)});
    const VekId b = vekhost::AddSegment({Line(0, 0, 2, 0)});
    EXPECT_EQ(vekhost::SourceOf(a), VEK_NONE);  // the driver's own
    const VekId before = VekSgmCreateSegment(0, 0);
    vekhost::Select({a, b});
    const int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
    SelEntry e{};
    ASSERT_EQ(VekIddGetHeadSelIdData(h, &e), 0);
    const double origin[2] = {0, 0};
    const VekId copyOfA = VekSgmEditSegment(a, origin, origin, 0, 1, 0);
    const VekId fromA = VekSgmCreateSegment(0, 0);
    ASSERT_EQ(VekIddGetNextSelIdData(h, &e), 0);
    const VekId fromB1 = VekSgmCreateSegment(0, 0);
    const VekId fromB2 = VekSgmCreateSegment(0, 0);
    VekIddCloseSelIdData(h);
    const VekId after = VekSgmCreateSegment(0, 0);
    EXPECT_EQ(vekhost::SourceOf(before), VEK_NONE);
    EXPECT_EQ(vekhost::SourceOf(copyOfA), a);
    EXPECT_EQ(vekhost::SourceOf(fromA), a);
    EXPECT_EQ(vekhost::SourceOf(fromB1), b);
    EXPECT_EQ(vekhost::SourceOf(fromB2), b);
    EXPECT_EQ(vekhost::SourceOf(after), VEK_NONE);
    // A deleted segment keeps nothing, and its record, taken again, comes
    // from no figure.
    EXPECT_EQ(VekSgmDeleteSegment(fromB1), 0);
    EXPECT_EQ(vekhost::SourceOf(fromB1), VEK_NONE);
    EXPECT_EQ(vekhost::SourceOf(VekSgmCreateSegment(0, 0)), VEK_NONE);
    EXPECT_EQ(vekhost::SourceOf(fromB2), b);
}

TEST_F(SessionTest, ObserverSeesEachCallWithItsResultAndFigure) {
    const VekId a = vekhost::AddSegment({Line(0, 0, 4, 0), Line(4, 0, 4, 3)});
    const auto ids = ElementIds(a);
    std::vector<vekhost::ObservedCall> seen;
    vekhost::SetCallObserver([&](const vekhost::ObservedCall& call) {
        VekSgmGetLayer(a);  // not observed
        seen.push_back(call);
    });
    vekhost::FailCall("VekFigAddCorner");
    vekhost::Select({a});
    const int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
    SelEntry e{};
    VekIddGetHeadSelIdData(h, &e);
    EXPECT_EQ(VekFigAddCorner(ids[0], ids[1], 0, 1.0), -1);  // the injected fault
    const VekId corner = VekFigAddCorner(ids[0], ids[1], 0, 1.0);
    VekMsgPutErrorMessage(VEK_TEXT("원호"));
    VekIddCloseSelIdData(h);
    vekhost::SetCallObserver({});
    VekSgmGetLayer(a);

    ASSERT_EQ(seen.size(), 6u);
    const std::vector<std::pair<std::string, double>> expected = {
        {"VekIddOpenSelIdData", h},  {"VekIddGetHeadSelIdData", 0},  {"VekFigAddCorner", -1},
        {"VekFigAddCorner", corner}, {"VekMsgPutErrorMessage", NAN}, {"VekIddCloseSelIdData", NAN}};
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].name, expected[i].first);
        if (std::isnan(expected[i].second)) {
            EXPECT_TRUE(std::isnan(seen[i].result)) << i;
        } else {
            EXPECT_EQ(seen[i].result, expected[i].second) << i;
        }
    }
    EXPECT_EQ(seen[0].entry, VEK_NONE);
    for (size_t i = 1; i < 6; ++i) {
        EXPECT_EQ(seen[i].entry, a) << i;
    }
    ASSERT_EQ(seen[3].argCount, 4);
    EXPECT_EQ(seen[3].args[3], 1.0);
    EXPECT_EQ(seen[4].text, u"원호");
}

// An observer told which calls to see sees those only, with their results
// and figures; an unknown name is refused.
TEST_F(SessionTest, ObserverOfNamedCallsSeesThoseOnly) {
    const VekId a = vekhost::AddSegment({Line(0, 0, 4, 0), Line(4, 0, 4, 3)});
    const auto ids = ElementIds(a);
    std::vector<std::string> seen;
    vekhost::SetCallObserver(
        [&](const vekhost::ObservedCall& call) {
            seen.push_back(std::string(call.name) + "=" + std::to_string(call.result) + "@" +
                           std::to_string(call.entry));
        },
        {"VekIddGetHeadSelIdData", "VekFigAddCorner"});
    vekhost::Select({a});
    const int32_t h = VekIddOpenSelIdData(1, 0, 0, 0);
    SelEntry e{};
    VekIddGetHeadSelIdData(h, &e);
    VekSgmGetLayer(a);
    const VekId corner = VekFigAddCorner(ids[0], ids[1], 0, 1.0);
    VekIddCloseSelIdData(h);
    const std::string at = "@" + std::to_string(a);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "VekIddGetHeadSelIdData=" + std::to_string(0.0) + at,
                        "VekFigAddCorner=" + std::to_string(static_cast<double>(corner)) + at}));
    EXPECT_THROW(vekhost::SetCallObserver([](const vekhost::ObservedCall&) {}, {"VekNoSuchCall"}),
                 std::invalid_argument);
    vekhost::SetCallObserver({});
}

TEST_F(SessionTest, MessagesAreLoggedWithTheirKind) {
    VekMsgPutMessage(VEK_TEXT("소수점 자리수 변환하실 형상을 지시하세요."));
    VekMsgPutCursorMessage(VEK_TEXT("형상"));
    VekMsgPutErrorMessage(VEK_TEXT("원호를 보정할 수 없습니다(반복문)"));
    EXPECT_EQ(VekDlgMessageBox(VEK_TEXT("총 3개의 형상을 수정하였습니다.")), 1);
    VekMsgPutMessage(nullptr);  // nothing to show
    auto m = vekhost::Messages();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].kind, MessageKind::Prompt);
    EXPECT_EQ(m[1].kind, MessageKind::Cursor);
    EXPECT_EQ(m[2].kind, MessageKind::Error);
    EXPECT_EQ(m[3].kind, MessageKind::Box);
    EXPECT_EQ(m[1].text, u"형상");
    EXPECT_EQ(vekhost::ToUtf8(m[3].text), "총 3개의 형상을 수정하였습니다.");
    EXPECT_EQ(vekhost::ToUtf8(u"a\U0001F600\xD800"), "a\xF0\x9F\x98\x80\xEF\xBF\xBD");
    vekhost::ClearMessages();
    EXPECT_TRUE(vekhost::Messages().empty());
}

TEST_F(SessionTest, ResetForgetsTheSession) {
    VekCtlRegisterVekLib2(Start, Second, End, 0);
    VekCtlSetExecuteFunc(Execute, VEK_TEXT(""));
    VekMsgPutMessage(VEK_TEXT("x"));
    vekhost::AddSegment({Line(0, 0, 1, 0)});
    const uint32_t context = vekhost::Context();
    vekhost::Reset();
    EXPECT_FALSE(vekhost::IsRegistered());
    EXPECT_EQ(vekhost::InstalledExecuteFunc(), nullptr);
    EXPECT_TRUE(vekhost::Messages().empty());
    EXPECT_EQ(vekhost::SegmentCount(), 0u);
    EXPECT_EQ(vekhost::Context(), context);
    EXPECT_EQ(vekhost::CallCount("VekMsgPutMessage"), 0);
}
