// The tables behind DxfText, made by tools/dxf/text_tables.py (see
// DxfTextTables.cpp): what each byte and byte pair of a code page is, and
// Unicode simple case folding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dxf::tables {

// In a table: no character (a lead byte, or bytes the page leaves undefined).
inline constexpr char16_t kNone = u'\uFFFF';

// The pairs of one lead byte: chars[trail - first] for trails first..last.
struct LeadRow {
    std::uint8_t first = 0, last = 0;
    const char16_t* chars = nullptr;
};

// A code page above ASCII (bytes 0x00..0x7F are ASCII in every page):
// high[b - 0x80] for a byte b; for a double-byte page, leads[b - 0x80] for
// a lead byte b (nullptr for a single-byte page).
struct CodePageTable {
    const char16_t* high;
    const LeadRow* leads;
};

extern const CodePageTable kCp874, kCp932, kCp936, kCp949, kCp950, kCp1250, kCp1251, kCp1252,
    kCp1253, kCp1254, kCp1255, kCp1256, kCp1257, kCp1258;

// Every stride-th character from first to last folds to itself + delta.
struct FoldRun {
    char32_t first, last;
    std::uint8_t stride;
    std::int32_t delta;
};
extern const FoldRun kFoldRuns[];
extern const std::size_t kFoldRunCount;

}  // namespace dxf::tables
