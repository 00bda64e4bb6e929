// The whole way through the plug-in as a host loads it: confirm key, the
// dialog from the library's own resources, pickers, OK, then a reference
// point and a selection converted with the settings just chosen.
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/MainDialogDriver.h"
#include "tools/vekhost/PluginLoader.h"
#include "platform/veklib/VekHost.h"
#include "res/MainDialogIds.h"

using namespace uitest;

namespace {

class PluginDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        vekhost::Reset();
        std::string error;
        ASSERT_TRUE(plugin.Load(vekhost_tool::PluginBesideExecutable(), error)) << error;
        ASSERT_EQ(plugin.Startup()(0, 0, 0, 0), 0);
    }

    RegistrySandbox registry;
    vekhost_tool::Plugin plugin;
};

TEST_F(PluginDialogTest, SettingsChosenInTheDialogConvertTheNextSelection) {
    const VekId line = vekhost::AddSegment({vekhost::Line(11, 21, 12.5, 23)}, false, 0,
                                           vekhost::MakeLineType(0, 0));
    ASSERT_EQ(vekhost::StartCommand(), 0);

    DialogScript script;
    script
        .Then([](HWND top) {
            EXPECT_EQ(WindowText(top), L"자리수변경");
            ChooseComboItem(top, IDC_DECIMAL_PLACES, 0);  // one decimal place
            ClickButton(top, IDC_UNIT_INCH_TO_MM);
            ClickButton(top, IDC_COLOR_CHANGE);
            ClickStatic(top, IDC_MAIN_COLOR);
        })
        .Then([](HWND picker) {
            EXPECT_EQ(WindowText(picker), L"Color Property");
            ClickStatic(picker, 17036);  // "MAINCOLOR06": host colour 5
            ClickButton(picker, IDOK);
        })
        .Then([](HWND top) { ClickStatic(top, IDC_LINE_TYPE); })
        .Then([](HWND picker) {
            EXPECT_EQ(WindowText(picker), L"Line Type Property");
            ClickStatic(picker, 17085);  // "LINETYPE09": host code 8
            ClickButton(picker, IDOK);
        })
        .Then([](HWND top) { ClickButton(top, IDOK); });
    EXPECT_EQ(script.Run([] { return static_cast<INT_PTR>(vekhost::PressConfirm()); }), 0);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(registry.Get(L"mColor1").value_or(L""), L"MAINCOLOR06");
    EXPECT_EQ(registry.Get(L"mLType1").value_or(L""), L"LINETYPE09");

    ASSERT_EQ(vekhost::SendPoint(10, 20), 2);
    vekhost::Select({line});
    EXPECT_EQ(vekhost::FinishSelection(), 0);
    vekhost::EndCommand();

    // Inches to millimetres (x 25.40051) about (10, 20), on a 0.1 grid.
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 1u);
    ASSERT_NE(segments[0], line);
    const auto converted = vekhost::GetSegment(segments[0]);
    ASSERT_TRUE(converted.has_value());
    ASSERT_EQ(converted->elements.size(), 1u);
    const auto& element = converted->elements[0];
    EXPECT_NEAR(element.figure.p1[0], 35.4, 1e-9);
    EXPECT_NEAR(element.figure.p1[1], 45.4, 1e-9);
    EXPECT_NEAR(element.figure.p2[0], 73.5, 1e-9);
    EXPECT_NEAR(element.figure.p2[1], 96.2, 1e-9);
    EXPECT_EQ(element.lineType.colorIndex, 5);
    EXPECT_EQ(element.lineType.lineTypeCode, 8);
}

TEST_F(PluginDialogTest, CancelledDialogLeavesTheRunOnItsLoadedSettings) {
    const VekId line = vekhost::AddSegment({vekhost::Line(11.23456, 21, 12, 22)});
    ASSERT_EQ(vekhost::StartCommand(), 0);
    DialogScript script;
    script.Then([](HWND top) {
        ChooseComboItem(top, IDC_DECIMAL_PLACES, 0);
        CloseBox(top);
    });
    EXPECT_EQ(script.Run([] { return static_cast<INT_PTR>(vekhost::PressConfirm()); }), 0);
    EXPECT_EQ(registry.Get(L"d_point").value_or(L""), L"1");

    ASSERT_EQ(vekhost::SendPoint(10, 20), 2);
    vekhost::Select({line});
    EXPECT_EQ(vekhost::FinishSelection(), 0);
    vekhost::EndCommand();
    const auto segments = vekhost::Segments();
    ASSERT_EQ(segments.size(), 1u);
    const auto converted = vekhost::GetSegment(segments[0]);
    ASSERT_TRUE(converted.has_value());
    // Still three places, as loaded when the command started.
    EXPECT_NEAR(converted->elements.at(0).figure.p1[0], 11.235, 1e-9);
}

}  // namespace
