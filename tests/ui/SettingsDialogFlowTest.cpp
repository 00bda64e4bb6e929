// The confirm key in the command's first stage, played through the stand-in
// host: the dialog's outcome decides which pass the next point installs, and
// the command stays in its first stage meanwhile.
#include <gtest/gtest.h>

#include "tests/ui/MainDialogDriver.h"
#include "app/CommandFlow.h"
#include "state/CommandState.h"
#include "engine/ExplodedPass.h"
#include "engine/StandardPass.h"
#include "platform/veklib/VekHost.h"
#include "res/MainDialogIds.h"

using namespace uitest;

namespace {

class ConfirmKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        vekhost::Reset();
        ASSERT_GT(VekCtlRegisterVekLib2(CommandStartFunc, CommandSecondFunc, CommandEndFunc, 0), 0);
        ASSERT_EQ(vekhost::StartCommand(), 0);
    }

    // Presses the confirm key and plays `script` in the dialog it opens.
    int32_t PressConfirm(DialogScript& script) {
        const INT_PTR result =
            script.Run([] { return static_cast<INT_PTR>(vekhost::PressConfirm()); });
        EXPECT_FALSE(script.TimedOut());
        EXPECT_TRUE(script.Finished());
        return static_cast<int32_t>(result);
    }

    RegistrySandbox registry;
};

TEST_F(ConfirmKeyTest, StaysInTheFirstStage) {
    const auto messages = vekhost::Messages().size();
    const int32_t mask = vekhost::EventMask();
    DialogScript script;
    script.Then([](HWND top) { ClickButton(top, IDOK); });
    EXPECT_EQ(PressConfirm(script), 0);
    EXPECT_EQ(vekhost::InstalledExecuteFunc(), &RefPointExecuteFunc);
    EXPECT_EQ(vekhost::EventMask(), mask);
    EXPECT_EQ(vekhost::Messages().size(), messages) << "the prompt is not shown again";
}

struct ExplodeCase {
    const char* label;
    bool confirmWithOk;
    VekExecuteFunc installed;

    friend void PrintTo(const ExplodeCase& c, std::ostream* out) { *out << c.label; }
};

class ExplodeInDialogTest : public ConfirmKeyTest,
                            public ::testing::WithParamInterface<ExplodeCase> {};

// Ticking the box writes the registry at once, but only OK reloads the
// settings the next point goes by.
TEST_P(ExplodeInDialogTest, DecidesThePassOfTheNextPoint) {
    const ExplodeCase& c = GetParam();
    DialogScript script;
    script.Then([&](HWND top) {
        ClickButton(top, IDC_EXPLODED);
        if (c.confirmWithOk) {
            ClickButton(top, IDOK);
        } else {
            CloseBox(top);
        }
    });
    EXPECT_EQ(PressConfirm(script), 0);
    EXPECT_EQ(registry.Get(L"IsExploded").value_or(L""), L"1");
    EXPECT_EQ(ActiveSettings.IsExploded, c.confirmWithOk ? 1 : 0);

    EXPECT_EQ(vekhost::SendPoint(10, 20), 2);
    EXPECT_EQ(vekhost::InstalledExecuteFunc(), c.installed);
}

INSTANTIATE_TEST_SUITE_P(SettingsDialog, ExplodeInDialogTest,
                         ::testing::Values(ExplodeCase{"ConfirmedWithOk", true, &ExplodedPass},
                                           ExplodeCase{"ClosedWithTheCloseBox", false,
                                                       &StandardPass}),
                         [](const auto& param) { return std::string(param.param.label); });

TEST_F(ConfirmKeyTest, NextCommandStartPicksUpWhatTheControlsWrote) {
    DialogScript script;
    script.Then([](HWND top) {
        ClickButton(top, IDC_EXPLODED);
        PressKey(top, VK_ESCAPE);
    });
    EXPECT_EQ(PressConfirm(script), 0);
    EXPECT_EQ(ActiveSettings.IsExploded, 0);
    vekhost::EndCommand();
    ASSERT_EQ(vekhost::StartCommand(), 0);
    EXPECT_EQ(ActiveSettings.IsExploded, 1);
}

}  // namespace
