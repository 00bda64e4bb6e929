// The line-type picker run modally under Wine: the pictures it sets into its
// swatches, selection and keys, and (with a display) what it paints.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "PickerDriver.h"
#include "res/linetypes/LineTypePatterns.h"
#include "ui/pickers/VkStLTypeDlg.h"

namespace {

using pickertest::PickerRun;

constexpr int kSwatchIds[10] = {17016, 17078, 17079, 17080, 17081,
                                17082, 17083, 17084, 17085, 17086};

void PreSelect(VkStLTypeDlg& dlg, const CString& name) {
    if (dlg.m_strCurrent.CompareNoCase(name) != 0) {
        dlg.m_strPrevious = dlg.m_strCurrent;
        dlg.m_strCurrent = name;
    }
}

// The picture a swatch shows, as 24-bit top-down rows, or empty.
std::vector<uint8_t> SwatchPicture(HWND dialog, int controlId, SIZE* size) {
    auto bitmap = reinterpret_cast<HBITMAP>(
        ::SendDlgItemMessageW(dialog, controlId, STM_GETIMAGE, IMAGE_BITMAP, 0));
    if (bitmap == nullptr) {
        return {};
    }
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof info, &info);
    *size = SIZE{info.bmWidth, info.bmHeight};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    const int stride = (info.bmWidth * 3 + 3) / 4 * 4;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride * info.bmHeight));
    HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &bi,
                DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    return pixels;
}

// Number of pixels that differ from the pattern's picture.
int Mismatches(const std::vector<uint8_t>& pixels, const linetype::Pattern& pattern) {
    const int stride = (linetype::Width * 3 + 3) / 4 * 4;
    int wrong = 0;
    for (int y = 0; y < linetype::Height; ++y) {
        for (int x = 0; x < linetype::Width; ++x) {
            const uint8_t want = linetype::IsWhite(pattern, x, y) ? 0xFF : 0x00;
            const size_t at = static_cast<size_t>(y * stride + x * 3);
            if (pixels[at] != want || pixels[at + 1] != want || pixels[at + 2] != want) {
                ++wrong;
            }
        }
    }
    return wrong;
}

TEST(LineTypePicker, NamesMapToSwatchIdsIgnoringCase) {
    for (int n = 1; n <= 10; ++n) {
        CString name;
        name.Format(L"LINETYPE%02d", n);
        EXPECT_EQ(VkStLTypeDlg::LineTypeNameToId(name), kSwatchIds[n - 1]) << n;
        name.MakeLower();
        EXPECT_EQ(VkStLTypeDlg::LineTypeNameToId(name), kSwatchIds[n - 1]) << n;
    }
    for (const wchar_t* other : {L"", L"LINETYPE11", L"LINETYPE00", L"MAINCOLOR02"}) {
        EXPECT_EQ(VkStLTypeDlg::LineTypeNameToId(other), 17016);
    }
}

TEST(LineTypePicker, EverySwatchShowsItsPictureAtThePicturesSize) {
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    int checked = 0;
    run.Then([&](HWND d) {
        for (int n = 0; n < 10; ++n) {
            SIZE size{};
            const std::vector<uint8_t> pixels = SwatchPicture(d, kSwatchIds[n], &size);
            ASSERT_FALSE(pixels.empty()) << kSwatchIds[n];
            EXPECT_EQ(size.cx, 62);
            EXPECT_EQ(size.cy, 23);
            EXPECT_EQ(Mismatches(pixels, linetype::Patterns()[static_cast<size_t>(n)]), 0)
                << "swatch " << kSwatchIds[n];
            // A bitmap static is resized from its template size to its
            // picture (the platform decides whether the border is added).
            RECT window{};
            ::GetWindowRect(::GetDlgItem(d, kSwatchIds[n]), &window);
            EXPECT_GE(window.right - window.left, 62);
            EXPECT_GE(window.bottom - window.top, 23);
            ++checked;
        }
        pickertest::PostKey(::GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
    EXPECT_EQ(checked, 10);
}

TEST(LineTypePicker, EvenDashesSwatchSelectsLineType05) {
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    run.Then([](HWND d) { pickertest::Click(d, 17081); }).Then([](HWND d) {
        pickertest::PressButton(d, IDOK);
    });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_STREQ(dlg.m_strCurrent, L"LINETYPE05");
    EXPECT_STREQ(dlg.m_strPrevious, L"LINETYPE01");
}

TEST(LineTypePicker, DefaultLineTypeIsPreselectedAndConfirmedWithSpace) {
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    PreSelect(dlg, L"LINETYPE07");
    EXPECT_STREQ(dlg.m_strPrevious, L"LINETYPE01");
    run.Then([](HWND d) { pickertest::Focus(d, IDCANCEL); }).Then([](HWND) {
        pickertest::PostKey(::GetFocus(), VK_SPACE);
    });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_STREQ(dlg.m_strCurrent, L"LINETYPE07");
}

TEST(LineTypePicker, DoubleClickSelectsAndConfirms) {
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    run.Then([](HWND d) { pickertest::DoubleClick(d, 17085); });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_FALSE(run.TimedOut());
    EXPECT_STREQ(dlg.m_strCurrent, L"LINETYPE09");
}

TEST(LineTypePicker, ClickingTheSelectedSwatchCausesNoRepaint) {
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    PreSelect(dlg, L"linetype04");
    int paints = -1;
    std::unique_ptr<pickertest::PaintCounter> counter;
    run.Then([&](HWND d) {
           counter = std::make_unique<pickertest::PaintCounter>(d);
           pickertest::Click(d, 17080);
       })
        .Then([&](HWND) {
            paints = counter->Count();
            counter.reset();
            pickertest::PostKey(::GetFocus(), VK_RETURN);
        });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_EQ(paints, 0);
    EXPECT_STREQ(dlg.m_strCurrent, L"linetype04");
}

TEST(LineTypePicker, UnknownNameIsHandedBackUnchanged) {
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    PreSelect(dlg, L"DASHDOT");
    run.Then([](HWND) { pickertest::PostKey(::GetFocus(), VK_RETURN); });
    EXPECT_EQ(run.Run(dlg), IDOK);
    EXPECT_STREQ(dlg.m_strCurrent, L"DASHDOT");
}

TEST(LineTypePicker, EscapeAfterAClickLeavesTheOwnersLineType) {
    CString ownerLineType = L"LINETYPE02";
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    PreSelect(dlg, ownerLineType);
    run.Then([](HWND d) { pickertest::Click(d, 17086); }).Then([](HWND) {
        pickertest::PostKey(::GetFocus(), VK_ESCAPE);
    });
    if (run.Run(dlg) == IDOK) {
        ownerLineType = dlg.m_strCurrent;
    }
    EXPECT_STREQ(ownerLineType, L"LINETYPE02");
    EXPECT_STREQ(dlg.m_strCurrent, L"LINETYPE10");
}

TEST(LineTypePickerPixels, FramesAndPicturesArePainted) {
    if (!pickertest::HasDisplay()) {
        GTEST_SKIP() << "needs a display (runs under Xvfb in tarnex_picker_pixels)";
    }
    PickerRun run;
    VkStLTypeDlg dlg(run.Owner());
    PreSelect(dlg, L"LINETYPE07");
    run.Then([&](HWND d) {
        ::UpdateWindow(d);
        HDC dc = ::GetDC(d);
        const COLORREF background = ::GetBkColor(dc);
        ::ReleaseDC(d, dc);
        auto frame = [d](int id) {
            const RECT r = pickertest::ControlRect(d, id);
            return pickertest::PixelAt(d, r.left - 3, (r.top + r.bottom) / 2);
        };
        EXPECT_EQ(frame(17083), RGB(255, 0, 0));
        EXPECT_EQ(frame(17016), background);
        EXPECT_NE(frame(17081), RGB(255, 0, 0));
        // The even-dash picture inside swatch 17081: client row 11 follows the
        // pattern, row 5 is black.
        POINT origin{0, 0};
        ::MapWindowPoints(::GetDlgItem(d, 17081), d, &origin, 1);
        for (int yy = -3; yy < 26; ++yy) { std::string line; for (int xx = -3; xx < 66; ++xx) { COLORREF c = pickertest::PixelAt(d, origin.x + xx, origin.y + yy); line += c == 0 ? '#' : c == RGB(255,255,255) ? '.' : c == RGB(255,0,0) ? 'R' : '?'; } printf("%s\n", line.c_str()); }
        const linetype::Pattern& even = linetype::Patterns()[4];
        RECT client{};
        ::GetClientRect(::GetDlgItem(d, 17081), &client);
        for (int x = 0; x < client.right && x < linetype::Width; ++x) {
            const COLORREF want =
                linetype::IsWhite(even, x, 11) ? RGB(255, 255, 255) : RGB(0, 0, 0);
            EXPECT_EQ(pickertest::PixelAt(d, origin.x + x, origin.y + 11), want) << x;
        }
        EXPECT_EQ(pickertest::PixelAt(d, origin.x + 10, origin.y + 5), RGB(0, 0, 0));
        pickertest::PostKey(::GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
}

}  // namespace
