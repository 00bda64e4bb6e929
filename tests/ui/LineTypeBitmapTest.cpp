// The line-type pictures compiled into the module against the pattern table.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "res/linetypes/LineTypePatterns.h"

namespace {

TEST(LineTypeBitmaps, ResourcesHoldExactlyThePictureOfEachPattern) {
    int id = linetype::kFirstBitmapId;
    for (const linetype::Pattern& pattern : linetype::Patterns()) {
        EXPECT_EQ(pattern.bitmapId, id);
        HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));
        ASSERT_NE(found, nullptr) << id;
        const auto* data =
            static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, found)));
        const std::vector<uint8_t> want = linetype::DibBytes(pattern);
        ASSERT_EQ(::SizeofResource(nullptr, found), want.size()) << id;
        EXPECT_EQ(std::memcmp(data, want.data(), want.size()), 0) << id;

        BITMAPINFOHEADER header{};
        std::memcpy(&header, data, sizeof header);
        EXPECT_EQ(header.biWidth, 62);
        EXPECT_EQ(header.biHeight, 23);
        EXPECT_EQ(header.biBitCount, 24);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        ++id;
    }
    EXPECT_EQ(id, 17056);
}

TEST(LineTypeBitmaps, EveryLineLeavesAMarginOfTwoToFivePixelsAtEachEnd) {
    for (const linetype::Pattern& pattern : linetype::Patterns()) {
        const auto lit = linetype::LitColumns(pattern);
        int first = -1;
        int last = -1;
        int runsSum = 0;
        for (int x = 0; x < linetype::kWidth; ++x) {
            if (lit[static_cast<size_t>(x)]) {
                last = x;
                if (first < 0) {
                    first = x;
                }
            }
        }
        for (int run : pattern.runs) {
            runsSum += run;
        }
        EXPECT_EQ(pattern.runs.size() % 2, 1U) << pattern.bitmapId;  // ends with a dash
        EXPECT_LE(pattern.margin + runsSum, linetype::kWidth) << pattern.bitmapId;
        EXPECT_GE(first, 2) << pattern.bitmapId;
        EXPECT_LE(first, 5) << pattern.bitmapId;
        EXPECT_GE(linetype::kWidth - 1 - last, 2) << pattern.bitmapId;
        EXPECT_LE(linetype::kWidth - 1 - last, 5) << pattern.bitmapId;
    }
}

}  // namespace
