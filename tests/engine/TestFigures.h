// Figures that both pass tests put into the stand-in drawing.
#pragma once

#include "platform/veklib/VekHost.h"

#include <vector>

// A closed square of side 10 at (x, y) made of four lines.
inline VekId Square(double x, double y, VekId layer = 0, LineTypeRecord lt = {}) {
    using vekhost::Line;
    return vekhost::AddSegment({Line(x, y, x + 10, y), Line(x + 10, y, x + 10, y + 10),
                                Line(x + 10, y + 10, x, y + 10), Line(x, y + 10, x, y)},
                               true, layer, lt);
}

// Closed square 0..10 whose corner at (10, 10) is rounded (VEK_ROUND_CORNER,
// radius c) or cut by a chamfer (VEK_CHAMFER, setback c).
inline VekId CorneredSquare(uint32_t kind, double c) {
    using vekhost::Line;
    FigureRecord corner{};
    if (kind == VEK_ROUND_CORNER) {
        corner = vekhost::Arc(10 - c, 10 - c, 10, 10 - c, 10 - c, 10);
        corner.size = c;
    } else {
        corner.p1[0] = 10;
        corner.p1[1] = 10;
        corner.p2[0] = 10;
        corner.p2[1] = 10 - c;
        corner.p3[0] = 10 - c;
        corner.p3[1] = 10;
        corner.size = c;
    }
    corner.kind = kind;
    return vekhost::AddSegment({Line(0, 0, 10, 0), Line(10, 0, 10, 10 - c), corner,
                                Line(10 - c, 10, 0, 10), Line(0, 10, 0, 0)},
                               true);
}

// A chain of n lines, open.
inline VekId Chain(int n) {
    std::vector<FigureRecord> lines;
    for (int i = 0; i < n; ++i) {
        lines.push_back(vekhost::Line(i, 0, i + 1, 0));
    }
    return vekhost::AddSegment(lines, false);
}
