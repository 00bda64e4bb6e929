// The line-type picker run modally under Wine: the pictures it sets into its
// swatches, selection and keys, and (with a display) what it paints.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/ui/PickerDriver.h"
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
    const int stride = (linetype::kWidth * 3 + 3) / 4 * 4;
    int wrong = 0;
    for (int y = 0; y < linetype::kHeight; ++y) {
        for (int x = 0; x < linetype::kWidth; ++x) {
            const uint8_t want = linetype::IsWhite(pattern, x, y) ? 0xFF : 0x00;
            const size_t at = static_cast<size_t>(y * stride + x * 3);
            if (pixels[at] != want || pixels[at + 1] != want || pixels[at + 2] != want) {
                ++wrong;
            }
        }
    }
    return wrong;
}

// Number of white runs along the middle row of the line as a swatch shows it;
// -1 if the swatch's top row is not all black.
int DashesShown(HWND dialog, int controlId) {
    HWND swatch = ::GetDlgItem(dialog, controlId);
    RECT client{};
    ::GetClientRect(swatch, &client);
    for (int x = 0; x < client.right; ++x) {
        if (pickertest::PixelAt(swatch, x, 0) != RGB(0, 0, 0)) {
            return -1;
        }
    }
    // The lit rows sit in the middle of the picture.
    int best = 0;
    for (int y = client.bottom / 2 - 2; y <= client.bottom / 2 + 2; ++y) {
        int runs = 0;
        bool inRun = false;
        for (int x = 0; x < client.right; ++x) {
            const bool white = pickertest::PixelAt(swatch, x, y) == RGB(255, 255, 255);
            if (white && !inRun) {
                ++runs;
            }
            inRun = white;
        }
        best = runs > best ? runs : best;
    }
    return best;
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
        // The pictures inside the swatches: the row through the middle of
        // the line shows the pattern's dashes, the top row is black. (Wine
        // fits the picture into the client area inside the border, so the
        // dashes are counted rather than compared pixel by pixel.)
        EXPECT_EQ(DashesShown(d, 17081), 6);  // LINETYPE05, even dashes
        EXPECT_EQ(DashesShown(d, 17016), 1);  // LINETYPE01, continuous
        EXPECT_EQ(DashesShown(d, 17085), 3);  // LINETYPE09, 26, 6, 16
        EXPECT_EQ(DashesShown(d, 17086), 4);  // LINETYPE10, 23, 6, 6, 11
        pickertest::PostKey(::GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
}

}  // namespace
