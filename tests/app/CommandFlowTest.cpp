// The command flow through the plug-in's real entry: the library is loaded
// from the build folder, Startup is found by name, and the host stand-in
// plays the user.
#include "tests/app/PluginSession.h"

#include <optional>

#ifdef _WIN32
#include <windows.h>
#endif

using flowtest::AddLine;
using flowtest::AddSquare;
using flowtest::LoggedCallNames;
using flowtest::NewSegments;
using flowtest::PluginTest;
using vekhost::Message;
using vekhost::MessageKind;

// Found by argument lookup from the comparisons below.
namespace vekhost {

bool operator==(const Message& a, const Message& b) {
    return a.kind == b.kind && a.text == b.text;
}

void PrintTo(const Message& m, std::ostream* os) {
    *os << static_cast<int>(m.kind) << ":" << ToUtf8(m.text);
}

}  // namespace vekhost

namespace {

constexpr int32_t kFirstStageMask = 0x60000;

const std::u16string kFirstPrompt = u" 기준점지시/기준점입력(확정-설정창Open) :";
const std::u16string kSecondPrompt = u"소수점 자리수 변환하실 형상을 지시하세요.";

// The elements of the one figure made since `before`.
std::vector<vekhost::Element> OnlyNewFigure(const std::vector<VekId>& before) {
    const std::vector<VekId> added = NewSegments(before);
    if (added.size() != 1) {
        ADD_FAILURE() << added.size() << " new figures";
        return {};
    }
    return vekhost::GetSegment(added[0])->elements;
}

void ExpectLine(const vekhost::Element& e, double x1, double y1, double x2, double y2) {
    EXPECT_EQ(e.type, VEK_LINE);
    EXPECT_DOUBLE_EQ(e.figure.p1[0], x1);
    EXPECT_DOUBLE_EQ(e.figure.p1[1], y1);
    EXPECT_DOUBLE_EQ(e.figure.p2[0], x2);
    EXPECT_DOUBLE_EQ(e.figure.p2[1], y2);
}

}  // namespace

// ---- Entry and registration ------------------------------------------------

TEST(PluginEntry, LoadingAloneCallsNoHostFunctionAndReadsNoSettings) {
    flowtest::UnloadPlugin();
    vekhost_tool::ScratchSettings settings;
    ASSERT_TRUE(settings.Ok());
    vekhost::Reset();
    vekhost::SetCallLog(true);

    ASSERT_TRUE(flowtest::LoadedPlugin().IsLoaded());

    EXPECT_TRUE(vekhost::CallLog().empty());
    EXPECT_FALSE(vekhost::IsRegistered());
    // Reading the settings would have written their defaults.
    for (const std::string& name : vekhost_tool::SettingNames()) {
        EXPECT_FALSE(vekhost_tool::StoredSetting(name)) << name;
    }
    vekhost::Reset();
}

struct RegistrationCase {
    int32_t hostResult;
    int32_t startupResult;
};

void PrintTo(const RegistrationCase& c, std::ostream* os) {
    *os << "host answers " << c.hostResult;
}

class Registration : public ::testing::TestWithParam<RegistrationCase> {};

TEST_P(Registration, StartupReportsWhetherTheHostAccepted) {
    vekhost_tool::ScratchSettings settings;
    vekhost::Reset();
    vekhost::SetRegisterResult(GetParam().hostResult);
    vekhost::SetCallLog(true);

    EXPECT_EQ(flowtest::LoadedPlugin().Startup()(11, 22, 33, 4455), GetParam().startupResult);

    // One registration, nothing else: no message, no other host call, no
    // settings read; the fourth argument is handed on.
    ASSERT_EQ(vekhost::CallLog().size(), 1u);
    EXPECT_EQ(vekhost::CallLog()[0], "VekCtlRegisterVekLib2(4455)");
    EXPECT_TRUE(vekhost::Messages().empty());
    EXPECT_FALSE(vekhost_tool::StoredSetting("d_point"));
    EXPECT_EQ(vekhost::IsRegistered(), GetParam().hostResult > 0);
    vekhost::Reset();
}

INSTANTIATE_TEST_SUITE_P(HostResults, Registration,
                         ::testing::Values(RegistrationCase{1, 0}, RegistrationCase{5, 0},
                                           RegistrationCase{0, -1}, RegistrationCase{-3, -1}));

// ---- First stage -----------------------------------------------------------

TEST_F(PluginTest, StartLoadsSettingsThenOpensTheReferencePointStage) {
    vekhost::SetCallLog(true);
    EXPECT_EQ(vekhost::StartCommand(), 0);

    EXPECT_EQ(vekhost::EventMask(), kFirstStageMask);
    EXPECT_EQ(vekhost::Messages(), (std::vector<Message>{{MessageKind::Prompt, kFirstPrompt},
                                                         {MessageKind::Cursor, u"기준점"}}));
    EXPECT_EQ(vekhost::CallLog(),
              (std::vector<std::string>{
                  "VekEvtSetEventMask(393216)",
                  "VekMsgPutMessage(\" 기준점지시/기준점입력(확정-설정창Open) :\")",
                  "VekMsgPutCursorMessage(\"기준점\")", "VekCtlSetExecuteFunc(\"\")"}));
    EXPECT_NE(vekhost::InstalledExecuteFunc(), nullptr);
    EXPECT_EQ(vekhost::InstalledReadyFunc(), nullptr);
    // An empty store got its defaults from the start.
    EXPECT_EQ(vekhost_tool::StoredSetting("d_point"), "3");
    EXPECT_EQ(vekhost_tool::StoredSetting("mLType1"), "LINETYPE07");
}

class PointEvent : public PluginTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(PointEvent, WithAPointOpensFigureSelection) {
    ASSERT_EQ(vekhost::StartCommand(), 0);
    const VekExecuteFunc firstStage = vekhost::InstalledExecuteFunc();
    vekhost::ClearMessages();
    vekhost::SetCallLog(true);

    EXPECT_EQ(vekhost::SendEvent(GetParam(), vekhost::Point{10, 20}), 2);

    EXPECT_EQ(vekhost::EventMask(), 32);
    const std::optional<ObjectFilter> filter = vekhost::LastObjectFilter();
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->word1, 98);
    EXPECT_EQ(filter->word2, 479);
    EXPECT_EQ(filter->word3, 0);
    EXPECT_EQ(filter->word4, 0);
    EXPECT_EQ(vekhost::ClearSysIdCount(), 1);
    EXPECT_EQ(vekhost::Messages(), (std::vector<Message>{{MessageKind::Prompt, kSecondPrompt},
                                                         {MessageKind::Cursor, u"형상"}}));
    const std::vector<std::string> log = vekhost::CallLog();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[0].rfind("VekEvtGetPoint(" + std::to_string(GetParam()) + ",", 0), 0u);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.end()),
              (std::vector<std::string>{
                  "VekCtlSetReadyFunc(\"\")", "VekIddClearSysIdData()", "VekEvtSetEventMask(32)",
                  "VekEvtSetObject(98,479,0,0)",
                  "VekMsgPutMessage(\"소수점 자리수 변환하실 형상을 지시하세요.\")",
                  "VekMsgPutCursorMessage(\"형상\")", "VekCtlSetExecuteFunc(\"\")"}));
    EXPECT_NE(vekhost::InstalledReadyFunc(), nullptr);
    EXPECT_NE(vekhost::InstalledExecuteFunc(), nullptr);
    EXPECT_NE(vekhost::InstalledExecuteFunc(), firstStage);
}

TEST_P(PointEvent, WithoutAPointIsIgnored) {
    ASSERT_EQ(vekhost::StartCommand(), 0);
    const VekExecuteFunc firstStage = vekhost::InstalledExecuteFunc();
    vekhost::ClearMessages();
    vekhost::SetCallLog(true);

    EXPECT_EQ(vekhost::SendEvent(GetParam()), 3);

    EXPECT_EQ(LoggedCallNames(), std::vector<std::string>{"VekEvtGetPoint"});
    EXPECT_EQ(vekhost::EventMask(), kFirstStageMask);
    EXPECT_EQ(vekhost::InstalledExecuteFunc(), firstStage);
    EXPECT_EQ(vekhost::InstalledReadyFunc(), nullptr);
    EXPECT_TRUE(vekhost::Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(IndicatedAndEntered, PointEvent, ::testing::Values(2, 3));

TEST_F(PluginTest, PointQueryGetsTheEventAsTheHostGaveIt) {
    ASSERT_EQ(vekhost::StartCommand(), 0);
    const VekExecuteFunc firstStage = vekhost::InstalledExecuteFunc();
    vekhost::SetCallLog(true);

    // Outside a delivered event the host has no point to give.
    EXPECT_EQ(firstStage(3, 4242, 17, 777), 3);

    // The code, the data and the fourth argument reach the query unchanged.
    EXPECT_EQ(vekhost::CallLog(), std::vector<std::string>{"VekEvtGetPoint(3,4242,777)"});
}

struct IgnoredEvent {
    int32_t event;
    bool withPoint;
};

void PrintTo(const IgnoredEvent& e, std::ostream* os) {
    *os << "event " << e.event << (e.withPoint ? " with a point" : " without a point");
}

class OtherEvent : public PluginTest, public ::testing::WithParamInterface<IgnoredEvent> {};

TEST_P(OtherEvent, IsAnsweredThreeAndChangesNothing) {
    ASSERT_EQ(vekhost::StartCommand(), 0);
    const VekExecuteFunc firstStage = vekhost::InstalledExecuteFunc();
    vekhost::ClearMessages();
    vekhost::SetCallLog(true);

    const std::optional<vekhost::Point> point =
        GetParam().withPoint ? std::optional<vekhost::Point>(vekhost::Point{1, 2}) : std::nullopt;
    EXPECT_EQ(vekhost::SendEvent(GetParam().event, point), 3);

    // In particular the confirm key carrying a point opens no dialog.
    EXPECT_EQ(LoggedCallNames(), std::vector<std::string>{"VekEvtGetPoint"});
    EXPECT_EQ(vekhost::EventMask(), kFirstStageMask);
    EXPECT_EQ(vekhost::InstalledExecuteFunc(), firstStage);
    EXPECT_EQ(vekhost::InstalledReadyFunc(), nullptr);
    EXPECT_TRUE(vekhost::Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, OtherEvent,
                         ::testing::Values(IgnoredEvent{7, true}, IgnoredEvent{0, true},
                                           IgnoredEvent{0, false}, IgnoredEvent{1, true},
                                           IgnoredEvent{4, false}, IgnoredEvent{8, true},
                                           IgnoredEvent{-1, false}));

#ifdef _WIN32
namespace {

// Cancels the settings dialog as soon as it is shown, so that the modal loop
// inside the callback ends on its own.
HHOOK cancelHook = nullptr;
int dialogsCancelled = 0;

LRESULT CALLBACK CancelDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        wchar_t name[16] = {};
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (GetClassNameW(window, name, 16) > 0 && lstrcmpW(name, L"#32770") == 0) {
            ++dialogsCancelled;
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallNextHookEx(cancelHook, code, wParam, lParam);
}

}  // namespace
#endif

TEST_F(PluginTest, ConfirmKeyWithoutAPointStaysInTheFirstStage) {
    ASSERT_EQ(vekhost::StartCommand(), 0);
    const VekExecuteFunc firstStage = vekhost::InstalledExecuteFunc();
    vekhost::ClearMessages();
#ifdef _WIN32
    dialogsCancelled = 0;
    cancelHook = SetWindowsHookExW(WH_CBT, CancelDialogs, nullptr, GetCurrentThreadId());
    ASSERT_NE(cancelHook, nullptr);
#endif

    const int32_t answer = vekhost::PressConfirm();

#ifdef _WIN32
    UnhookWindowsHookEx(cancelHook);
    EXPECT_EQ(dialogsCancelled, 1);
#endif
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(vekhost::EventMask(), kFirstStageMask);
    EXPECT_EQ(vekhost::InstalledExecuteFunc(), firstStage);
    EXPECT_EQ(vekhost::InstalledReadyFunc(), nullptr);
    EXPECT_TRUE(vekhost::Messages().empty());

    // The first stage goes on: a point is still taken.
    EXPECT_EQ(vekhost::SendPoint(0, 0), 2);
}

// ---- Settings, pass choice and reference point ----------------------------

struct ExplodeCase {
    const char* isExploded;
    size_t figuresMade;
};

void PrintTo(const ExplodeCase& c, std::ostream* os) {
    *os << "IsExploded \"" << c.isExploded << "\"";
}

class PassChoice : public PluginTest, public ::testing::WithParamInterface<ExplodeCase> {};

TEST_P(PassChoice, FollowsIsExploded) {
    ASSERT_TRUE(vekhost_tool::StoreSetting("IsExploded", GetParam().isExploded));
    const VekId square = AddSquare(0, 0, 10);
    const std::vector<VekId> before = vekhost::Segments();

    RunCommand(0, 0, {square});

    // The standard pass keeps a square one figure; the exploded one makes a
    // figure of each side.
    EXPECT_EQ(NewSegments(before).size(), GetParam().figuresMade);
    EXPECT_FALSE(vekhost::GetSegment(square));
}

INSTANTIATE_TEST_SUITE_P(Settings, PassChoice,
                         ::testing::Values(ExplodeCase{"0", 1}, ExplodeCase{"1", 4},
                                           ExplodeCase{"5", 4}, ExplodeCase{"x", 1}));

TEST_F(PluginTest, SettingsAreLoadedAtEveryStartAndOnlyThen) {
    ASSERT_TRUE(vekhost_tool::StoreSetting("d_point", "1"));
    ASSERT_TRUE(vekhost_tool::StoreSetting("IsExploded", "0"));
    std::vector<VekId> before = vekhost::Segments();
    RunCommand(0, 0, {AddLine(0.26, 0, 1.04, 0)});
    std::vector<vekhost::Element> made = OnlyNewFigure(before);
    ASSERT_EQ(made.size(), 1u);
    ExpectLine(made[0], 0.3, 0, 1.0, 0);

    // Changed between commands: the next start sees it.
    ASSERT_TRUE(vekhost_tool::StoreSetting("d_point", "2"));
    before = vekhost::Segments();
    RunCommand(0, 0, {AddLine(0.261, 0, 1.044, 0)});
    made = OnlyNewFigure(before);
    ASSERT_EQ(made.size(), 1u);
    ExpectLine(made[0], 0.26, 0, 1.04, 0);

    // Changed after the start: this command keeps what it loaded, both for
    // the pass it installs and for the rounding.
    ASSERT_EQ(vekhost::StartCommand(), 0);
    ASSERT_TRUE(vekhost_tool::StoreSetting("IsExploded", "1"));
    ASSERT_TRUE(vekhost_tool::StoreSetting("d_point", "0"));
    const VekId square = AddSquare(0.111, 0, 1);
    before = vekhost::Segments();
    ASSERT_EQ(vekhost::SendPoint(0, 0), 2);
    vekhost::Select({square});
    ASSERT_EQ(vekhost::FinishSelection(), 0);
    vekhost::EndCommand();
    const std::vector<VekId> added = NewSegments(before);
    ASSERT_EQ(added.size(), 1u);
    made = vekhost::GetSegment(added[0])->elements;
    ASSERT_EQ(made.size(), 4u);
    ExpectLine(made[0], 0.11, 0, 1.11, 0);
}

TEST_F(PluginTest, ReferencePointIsKeptAcrossCommands) {
    ASSERT_TRUE(vekhost_tool::StoreSetting("d_point", "0"));
    // Whole units on a grid through (0.5, 0.5).
    std::vector<VekId> before = vekhost::Segments();
    ASSERT_EQ(StartAndGivePoint(0.5, 0.5), 2);
    const VekExecuteFunc pass = vekhost::InstalledExecuteFunc();
    vekhost::Select({AddLine(0.3, 0.3, 5.3, 0.3)});
    ASSERT_EQ(vekhost::FinishSelection(), 0);
    vekhost::EndCommand();
    std::vector<vekhost::Element> made = OnlyNewFigure(before);
    ASSERT_EQ(made.size(), 1u);
    ExpectLine(made[0], 0.5, 0.5, 5.5, 0.5);

    // A second command whose point event carries no point: the pass still
    // works from the first command's point.
    ASSERT_EQ(vekhost::StartCommand(), 0);
    EXPECT_EQ(vekhost::SendEvent(2), 3);
    const VekId line = AddLine(2.2, 2.2, 7.7, 2.2);
    before = vekhost::Segments();
    vekhost::Select({line});
    EXPECT_EQ(pass(0, 0, 0, 0), 0);
    made = OnlyNewFigure(before);
    ASSERT_EQ(made.size(), 1u);
    ExpectLine(made[0], 2.5, 2.5, 7.5, 2.5);
}

// ---- End of the command -----------------------------------------------------

TEST_F(PluginTest, EndWithNothingListedCallsNoHostFunction) {
    RunCommand(0, 0, {AddSquare(0, 0, 1)});
    ASSERT_EQ(vekhost::StartCommand(), 0);
    vekhost::SetCallLog(true);

    vekhost::EndCommand();

    EXPECT_TRUE(vekhost::CallLog().empty());
}

TEST_F(PluginTest, EndDeletesTheCopiesAStoppedPassLeftInListOrder) {
    const std::vector<VekId> picked = {AddSquare(0, 0, 1), AddSquare(5, 0, 1), AddSquare(10, 0, 1)};
    ASSERT_EQ(StartAndGivePoint(0, 0), 2);
    // The third figure's new segment is refused: the pass stops with the
    // three working copies still listed.
    vekhost::FailCall("VekSgmCreateSegment", 3);
    const std::vector<VekId> before = vekhost::Segments();
    vekhost::Select(picked);
    ASSERT_EQ(vekhost::FinishSelection(), 0);
    bool errorShown = false;
    for (const Message& m : vekhost::Messages()) {
        errorShown = errorShown || m.kind == MessageKind::Error;
    }
    ASSERT_TRUE(errorShown);
    const std::vector<VekId> beforeEnd = vekhost::Segments();

    vekhost::SetCallLog(true);
    vekhost::EndCommand();

    const std::vector<std::string> log = vekhost::CallLog();
    ASSERT_EQ(log.size(), 3u);
    std::vector<VekId> deleted;
    for (const std::string& call : log) {
        ASSERT_EQ(call.rfind("VekSgmDeleteSegment(", 0), 0u) << call;
        deleted.push_back(std::stoi(call.substr(call.find('(') + 1)));
    }
    // Copies were listed as they were made, one per picked figure.
    EXPECT_TRUE(std::is_sorted(deleted.begin(), deleted.end()));
    for (VekId id : deleted) {
        EXPECT_TRUE(std::find(before.begin(), before.end(), id) == before.end());
        EXPECT_TRUE(std::find(beforeEnd.begin(), beforeEnd.end(), id) != beforeEnd.end());
        EXPECT_FALSE(vekhost::GetSegment(id));
    }
    // Two converted figures and the untouched third remain.
    EXPECT_EQ(vekhost::SegmentCount(), 3u);
    EXPECT_TRUE(vekhost::GetSegment(picked[2]));

    // The list is empty now: a second end deletes nothing.
    vekhost::ClearCallLog();
    vekhost::EndCommand();
    EXPECT_TRUE(vekhost::CallLog().empty());
}
