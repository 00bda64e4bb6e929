// The colour picker run modally under Wine: pre-selection, clicks, keys, and
// (with a display) the frames and swatch colours it paints.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/ui/PickerDriver.h"
#include "ui/pickers/VkStColorDlg.h"

namespace {

using pickertest::PickerRun;

constexpr COLORREF kRed = RGB(255, 0, 0);

// The owner's pre-selection: SelectName's exchange without a window.
void PreSelect(VkStColorDlg& dlg, const CString& name) {
    if (dlg.m_strCurrent.CompareNoCase(name) != 0) {
        dlg.m_strPrevious = dlg.m_strCurrent;
        dlg.m_strCurrent = name;
    }
}

// Colour of the frame drawn 3 pixels outside a control: sampled on the left
// edge at mid height.
COLORREF FrameColor(HWND dialog, int controlId) {
    const RECT r = pickertest::ControlRect(dialog, controlId);
    return pickertest::PixelAt(dialog, r.left - 3, (r.top + r.bottom) / 2);
}

COLORREF SwatchCenter(HWND dialog, int controlId) {
    const RECT r = pickertest::ControlRect(dialog, controlId);
    return pickertest::PixelAt(dialog, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

TEST(ColorPicker, NamesMapToSwatchIdsIgnoringCase) {
    const struct {
        const wchar_t* name;
        int id;
    } cases[] = {
        {L"MAINCOLOR01", 17015}, {L"MAINCOLOR02", 17032}, {L"MAINCOLOR08", 17038},
        {L"MAINCOLOR09", 17039}, {L"MAINCOLOR16", 17046}, {L"maincolor05", 17035},
        {L"MainColor12", 17042}, {L"MAINCOLOR17", 17015}, {L"", 17015},
        {L"MAINCOLOR1", 17015},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VkStColorDlg::ColorNameToId(c.name), c.id) << c.id;
    }
}

TEST(ColorPicker, StartsWithFirstColourAndNoPrevious) {
    VkStColorDlg dlg(nullptr);
    EXPECT_STREQ(dlg.m_strCurrent, L"MAINCOLOR01");
    EXPECT_TRUE(dlg.m_strPrevious.IsEmpty());
}

TEST(ColorPicker, PreselectedColourIsConfirmedWithEnterAndOwnerIsDisabledMeanwhile) {
    PickerRun run;
    VkStColorDlg dlg(run.Owner());
    PreSelect(dlg, L"MAINCOLOR09");
    EXPECT_STREQ(dlg.m_strPrevious, L"MAINCOLOR01");
    bool visible = false;
    run.Then([&](HWND d) {
        visible = ::IsWindowVisible(d) != FALSE;
        pickertest::PostKey(::GetFocus(), VK_RETURN);
    });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_FALSE(run.TimedOut());
    EXPECT_TRUE(visible);
    EXPECT_TRUE(run.OwnerWasDisabled());
    EXPECT_TRUE(::IsWindowEnabled(run.Owner()->m_hWnd));
    EXPECT_STREQ(dlg.m_strCurrent, L"MAINCOLOR09");
    EXPECT_EQ(dlg.m_hWnd, nullptr);  // the window is gone after DoModal
}

TEST(ColorPicker, ClicksMoveTheSelectionAndOkHandsItBack) {
    PickerRun run;
    VkStColorDlg dlg(run.Owner());
    run.Then([](HWND d) { pickertest::Click(d, 17036); })
        .Then([&](HWND) {
            EXPECT_STREQ(dlg.m_strCurrent, L"MAINCOLOR06");
            EXPECT_STREQ(dlg.m_strPrevious, L"MAINCOLOR01");
        })
        .Then([](HWND d) { pickertest::Click(d, 17040); })
        .Then([](HWND d) { pickertest::PressButton(d, IDOK); });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_TRUE(run.Finished());
    EXPECT_STREQ(dlg.m_strPrevious, L"MAINCOLOR06");
    EXPECT_STREQ(dlg.m_strCurrent, L"MAINCOLOR10");
}

TEST(ColorPicker, DoubleClickSelectsAndConfirms) {
    PickerRun run;
    VkStColorDlg dlg(run.Owner());
    run.Then([](HWND d) { pickertest::DoubleClick(d, 17042); });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_FALSE(run.TimedOut());
    EXPECT_STREQ(dlg.m_strCurrent, L"MAINCOLOR12");
    EXPECT_STREQ(dlg.m_strPrevious, L"MAINCOLOR01");
}

TEST(ColorPicker, KeysDecideWhateverControlHasTheFocus) {
    const struct {
        WPARAM key;
        int focus;
        INT_PTR result;
    } cases[] = {
        {VK_RETURN, IDCANCEL, IDOK}, {VK_SPACE, IDCANCEL, IDOK},   {VK_ESCAPE, IDOK, IDCANCEL},
        {VK_SPACE, 17046, IDOK},     {VK_ESCAPE, 17015, IDCANCEL},
    };
    for (const auto& c : cases) {
        PickerRun run;
        VkStColorDlg dlg(run.Owner());
        int focusedId = 0;
        run.Then([&](HWND d) { pickertest::Focus(d, c.focus); }).Then([&](HWND) {
            focusedId = ::GetDlgCtrlID(::GetFocus());
            pickertest::PostKey(::GetFocus(), c.key);
        });
        const INT_PTR result = run.Run(dlg);
        EXPECT_EQ(result, c.result) << "key " << c.key << " focus " << c.focus;
        EXPECT_EQ(focusedId, c.focus);
        EXPECT_FALSE(run.TimedOut());
    }
}

TEST(ColorPicker, LowerCaseNameIsKeptAndClickingItsSwatchChangesNothing) {
    PickerRun run;
    VkStColorDlg dlg(run.Owner());
    PreSelect(dlg, L"maincolor05");
    int paintsAfterClick = -1;
    std::unique_ptr<pickertest::PaintCounter> paints;
    run.Then([&](HWND d) {
           paints = std::make_unique<pickertest::PaintCounter>(d);
           pickertest::Click(d, 17035);
       })
        .Then([&](HWND d) {
            paintsAfterClick = paints->Count();
            EXPECT_FALSE(::GetUpdateRect(d, nullptr, FALSE));
            paints.reset();
            pickertest::PostKey(::GetFocus(), VK_RETURN);
        });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_EQ(paintsAfterClick, 0);
    EXPECT_STREQ(dlg.m_strCurrent, L"maincolor05");
    EXPECT_STREQ(dlg.m_strPrevious, L"MAINCOLOR01");
}

TEST(ColorPicker, AClickThatChangesTheSelectionRepaintsTheDialog) {
    // The counterpart of the test above: the counter does see repaints.
    PickerRun run;
    VkStColorDlg dlg(run.Owner());
    int paintsAfterClick = -1;
    std::unique_ptr<pickertest::PaintCounter> paints;
    run.Then([&](HWND d) {
           paints = std::make_unique<pickertest::PaintCounter>(d);
           pickertest::Click(d, 17033);
       })
        .Then([&](HWND) {
            paintsAfterClick = paints->Count();
            paints.reset();
            pickertest::PostKey(::GetFocus(), VK_ESCAPE);
        });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
    EXPECT_EQ(paintsAfterClick, 1);
}

TEST(ColorPicker, CancelLeavesTheOwnersColourUnchanged) {
    const struct {
        const char* how;
        std::function<void(HWND)> end;
    } ways[] = {
        {"Cancel button", [](HWND d) { pickertest::PressButton(d, IDCANCEL); }},
        {"Escape", [](HWND) { pickertest::PostKey(::GetFocus(), VK_ESCAPE); }},
        {"close box", [](HWND d) { ::PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        CString ownerColour = L"MAINCOLOR03";
        PickerRun run;
        VkStColorDlg dlg(run.Owner());
        PreSelect(dlg, ownerColour);
        run.Then([](HWND d) { pickertest::Click(d, 17044); }).Then(way.end);
        if (run.Run(dlg) == IDOK) {
            ownerColour = dlg.m_strCurrent;
        }
        EXPECT_STREQ(ownerColour, L"MAINCOLOR03") << way.how;
        EXPECT_STREQ(dlg.m_strCurrent, L"MAINCOLOR14") << way.how;
        EXPECT_FALSE(run.TimedOut()) << way.how;
    }
}

TEST(ColorPickerPixels, SwatchesShowThePaletteAndTheFramesMarkTheSelection) {
    PickerRun run;
    VkStColorDlg dlg(run.Owner());
    PreSelect(dlg, L"MAINCOLOR09");
    COLORREF background = 0;
    run.Then([&](HWND d) {
           // A paint context's own background colour, which the old mark is
           // painted over with.
           HDC dc = ::GetDC(d);
           background = ::GetBkColor(dc);
           ::ReleaseDC(d, dc);
           ::UpdateWindow(d);
           EXPECT_EQ(SwatchCenter(d, 17036), RGB(255, 0, 0));
           EXPECT_EQ(SwatchCenter(d, 17046), RGB(128, 128, 0));
           EXPECT_EQ(SwatchCenter(d, 17015), RGB(255, 255, 255));
           EXPECT_EQ(SwatchCenter(d, 17032), RGB(0, 192, 255));
           EXPECT_EQ(FrameColor(d, 17039), kRed);
           EXPECT_EQ(FrameColor(d, 17015), background);
           EXPECT_NE(FrameColor(d, 17036), kRed);
           pickertest::Click(d, 17036);
       })
        .Then([](HWND d) { pickertest::Click(d, 17040); })
        .Then([&](HWND d) {
            ::UpdateWindow(d);
            EXPECT_EQ(FrameColor(d, 17040), kRed);
            EXPECT_EQ(FrameColor(d, 17036), background);
            pickertest::PostKey(::GetFocus(), VK_ESCAPE);
        });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
    EXPECT_TRUE(run.Finished());
}

}  // namespace
