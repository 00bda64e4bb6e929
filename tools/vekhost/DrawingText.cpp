#include "tools/vekhost/DrawingText.h"

#include "numeric/NumberText.h"

#include <charconv>
#include <cmath>

namespace vekhost_tool {

std::string Number(double value) {
    if (value == 0.0) {
        return "0";
    }
    // As printf's %.10g writes it, by the same code on every target.
    char text[40];
    char* end = numeric::WriteGeneral(text, text + sizeof text, value, 10).ptr;
    std::string result(text, end);
    return result == "-0" ? "0" : result;
}

namespace {

std::string PointText(const double p[2]) {
    return "(" + Number(p[0]) + ", " + Number(p[1]) + ")";
}

}  // namespace

std::string DescribeElement(const vekhost::Element& element) {
    const FigureRecord& f = element.figure;
    std::string text;
    switch (element.type) {
        case VEK_LINE:
            text = "line     " + PointText(f.p1) + " - " + PointText(f.p2);
            break;
        case VEK_CIRCLE:
            text = "circle   centre " + PointText(f.p1) + ", radius " + Number(f.p2[0]);
            break;
        case VEK_ARC:
            text = "arc      centre " + PointText(f.p1) + ", radius " + Number(f.size) + ", from " +
                   PointText(f.p2) + " to " + PointText(f.p3) +
                   (f.direction == 1 ? ", clockwise" : ", counter-clockwise");
            break;
        case VEK_ROUND_CORNER:
            text = "rounded corner, radius " + Number(f.size) + ", centre " + PointText(f.p1) +
                   ", from " + PointText(f.p2) + " to " + PointText(f.p3);
            break;
        case VEK_CHAMFER:
            text = "chamfer  setback " + Number(f.size) + ", corner at " + PointText(f.p1);
            break;
        case VEK_POINT:
            text = "point    " + PointText(f.p1);
            break;
        default:
            text = "element of type " + std::to_string(element.type) + ", " + PointText(f.p1) +
                   " " + PointText(f.p2) + " " + PointText(f.p3);
            break;
    }
    if (element.lineType.colorIndex != 0 || element.lineType.lineTypeCode != 0) {
        text += "  [colour " + std::to_string(element.lineType.colorIndex) + ", line type " +
                std::to_string(element.lineType.lineTypeCode) + "]";
    }
    return text;
}

std::string DescribeSegment(const vekhost::Segment& segment, const std::string& indent) {
    std::string text = indent + "figure " + std::to_string(segment.id) + " on layer \"" +
                       vekhost::LayerName(segment.layer) + "\"" +
                       (segment.closed ? ", closed" : ", open") + ":\n";
    for (const vekhost::Element& element : segment.elements) {
        text += indent + "  " + DescribeElement(element) + "\n";
    }
    return text;
}

std::string DescribeDrawing() {
    std::string text;
    for (VekId id : vekhost::Segments()) {
        if (auto segment = vekhost::GetSegment(id)) {
            text += DescribeSegment(*segment);
        }
    }
    return text.empty() ? "  (no figures)\n" : text;
}

}  // namespace vekhost_tool
