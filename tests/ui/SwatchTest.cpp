// The two swatch controls bound to statics of a dialog: what they paint.
#include <gtest/gtest.h>

#include "tests/ui/LayerTestIds.h"
#include "tests/ui/PickerDriver.h"
#include "ui/pickers/StaticBkColor.h"
#include "ui/pickers/StaticMainColor.h"

namespace {

class SwatchHost : public CDialog {
public:
    SwatchHost() = default;

    StaticMainColor m_main;
    StaticBkColor m_olive;
    StaticBkColor m_other;
    StaticBkColor m_first;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, 12011, m_main);
        DDX_Control(pDX, 17046, m_olive);
        DDX_Control(pDX, 17016, m_other);
        DDX_Control(pDX, 17015, m_first);
    }
};

COLORREF Center(CWnd& control) {
    RECT client{};
    ::GetClientRect(control.m_hWnd, &client);
    return pickertest::PixelAt(control.m_hWnd, client.right / 2, client.bottom / 2);
}

COLORREF Corner(CWnd& control) {
    return pickertest::PixelAt(control.m_hWnd, 0, 0);
}

class Swatches : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Create(IDD_SWATCH_HOST));
        host.ShowWindow(SW_SHOW);
        host.UpdateWindow();
    }

    SwatchHost host;
};

TEST_F(Swatches, MainColourSwatchPaintsTheNamedColourOverItsWholeClientArea) {
    const struct {
        const wchar_t* name;
        COLORREF color;
    } cases[] = {
        {L"MAINCOLOR06", RGB(255, 0, 0)},   {L"maincolor16", RGB(128, 128, 0)},
        {L"MAINCOLOR02", RGB(0, 192, 255)}, {L"MAINCOLOR99", RGB(255, 255, 255)},
        {L"", RGB(255, 255, 255)},          {L"MAINCOLOR12", RGB(0, 0, 255)},
    };
    for (const auto& c : cases) {
        host.m_main.m_strColor = c.name;
        host.InvalidateRect(nullptr, FALSE);  // the owner's way: dialog, no erase
        host.UpdateWindow();
        EXPECT_EQ(Center(host.m_main), c.color) << c.color;
        EXPECT_EQ(Corner(host.m_main), c.color) << c.color;
    }
}

TEST_F(Swatches, PickerSwatchColourFollowsTheControlId) {
    EXPECT_EQ(Center(host.m_olive), RGB(128, 128, 0));
    EXPECT_EQ(Center(host.m_first), RGB(255, 255, 255));
    // 17016 is no colour swatch: black.
    EXPECT_EQ(Center(host.m_other), RGB(0, 0, 0));
    EXPECT_EQ(Corner(host.m_other), RGB(0, 0, 0));
}

TEST(SwatchBinding, DataExchangeRoutesTheStaticsThroughTheSwatchObjects) {
    SwatchHost host;
    ASSERT_TRUE(host.Create(IDD_SWATCH_HOST));
    EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(host.m_hWnd, 12011)), &host.m_main);
    EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(host.m_hWnd, 17046)), &host.m_olive);
    // A second exchange (as OnOK runs) keeps the binding.
    EXPECT_TRUE(host.UpdateData(TRUE));
    EXPECT_EQ(CWnd::FromHandlePermanent(::GetDlgItem(host.m_hWnd, 12011)), &host.m_main);
    HWND control = host.m_main.m_hWnd;
    host.DestroyWindow();
    EXPECT_EQ(host.m_main.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(control), nullptr);
}

}  // namespace
