// What both DXF benchmarks generate their drawings on: an empty R2000
// drawing with a model space, and coordinates of four decimals.
#pragma once

#include <cmath>
#include <string>
#include <string_view>

namespace dxfbench {

// An R2000 drawing with no entities; `headerVariables` (group code / value
// lines) go into its HEADER after $ACADVER and $HANDSEED.
inline std::string EmptyDrawing(std::string_view headerVariables = "") {
    std::string text =
        "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$HANDSEED\n  5\n100\n";
    text += headerVariables;
    text +=
        "  0\nENDSEC\n  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nBLOCK_RECORD\n  5\n1\n"
        "330\n0\n100\nAcDbSymbolTable\n 70\n1\n  0\nBLOCK_RECORD\n  5\n1F\n330\n1\n"
        "100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n  2\n*Model_Space\n"
        "  0\nENDTAB\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n";
    return text;
}

// Coordinates with four decimals, as drawings usually hold them.
inline double Round4(double v) {
    return std::round(v * 1e4) / 1e4;
}

}  // namespace dxfbench
