#include "tools/vekhost/SvgPicture.h"

#include "settings/PaletteTables.h"
#include "numeric/NumberText.h"
#include "numeric/PortableMath.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <utility>

namespace vekhost_tool {

namespace {

const double kPi = 4.0 * numeric::Atan(1.0);

// Canvas in pixels: the drawing fits a box this wide and at most this high,
// inside a margin; the legend goes below it.
constexpr double kCanvasWidth = 960;
constexpr double kMaxDrawingHeight = 640;
constexpr double kMargin = 24;
constexpr double kLineHeight = 18;
constexpr double kFontSize = 13;

// A moved point's ring: this radius, and this much more per grid step moved,
// up to kMarkSteps steps.
constexpr double kMarkRadius = 2;
constexpr double kMarkPerStep = 6;
constexpr double kMarkSteps = 2;

const char* const kBackground = "#15181d";
const char* const kBeforeColour = "#8a8f98";
const char* const kTextColour = "#e8e8e8";
const char* const kMoveColour = "#ff9f1c";
const char* const kGapColour = "#ff2bd6";
const char* const kAdjustedColour = "#c6ff00";

// As printf's %.2f writes it, by the same code on every target (room for
// any double).
std::string Px(double value) {
    char text[330];
    const std::string written(text, numeric::WriteFixed(text, text + sizeof text, value, 2).ptr);
    return written == "-0.00" ? "0.00" : written;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                // Control characters other than tab are not allowed in XML 1.0.
                out += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? ' ' : c;
                break;
        }
    }
    return out;
}

struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
    void Add(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return;
        }
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    bool Empty() const { return minX > maxX; }
};

// An arc of an element as drawn: centre, radius, the angles of its ends and
// the angle it sweeps counter-clockwise from the start (clockwise arcs are
// taken from their end).
struct ArcShape {
    double cx, cy, r, from, sweep;
};

double AngleOf(double dx, double dy) {
    const double a = numeric::Atan2(dy, dx);
    return a < 0 ? a + 2 * kPi : a;
}

ArcShape ShapeOf(const FigureRecord& f) {
    const double a1 = AngleOf(f.p2[0] - f.p1[0], f.p2[1] - f.p1[1]);
    const double a2 = AngleOf(f.p3[0] - f.p1[0], f.p3[1] - f.p1[1]);
    const bool clockwise = f.direction == 1;
    const double from = clockwise ? a2 : a1;
    double sweep = clockwise ? a1 - a2 : a2 - a1;
    if (sweep <= 0) {
        sweep += 2 * kPi;
    }
    return {f.p1[0], f.p1[1], std::fabs(f.size), from, sweep};
}

void AddElement(Box& box, const vekhost::Element& element) {
    const FigureRecord& f = element.figure;
    switch (element.type) {
        case VEK_LINE:
            box.Add(f.p1[0], f.p1[1]);
            box.Add(f.p2[0], f.p2[1]);
            break;
        case VEK_CIRCLE:
            box.Add(f.p1[0] - f.p2[0], f.p1[1] - f.p2[0]);
            box.Add(f.p1[0] + f.p2[0], f.p1[1] + f.p2[0]);
            break;
        case VEK_ARC:
        case VEK_ROUND_CORNER: {
            const ArcShape arc = ShapeOf(f);
            box.Add(arc.cx + arc.r * numeric::Cos(arc.from),
                    arc.cy + arc.r * numeric::Sin(arc.from));
            const double to = arc.from + arc.sweep;
            box.Add(arc.cx + arc.r * numeric::Cos(to), arc.cy + arc.r * numeric::Sin(to));
            for (int quarter = 0; quarter < 8; ++quarter) {
                const double angle = quarter * kPi / 2;
                if (angle > arc.from && angle < to) {
                    box.Add(arc.cx + arc.r * numeric::Cos(angle),
                            arc.cy + arc.r * numeric::Sin(angle));
                }
            }
            break;
        }
        case VEK_CHAMFER:
        case VEK_TWO_POINTS:
            box.Add(f.p2[0], f.p2[1]);
            box.Add(f.p3[0], f.p3[1]);
            break;
        case VEK_POINT_LENGTHS:
        case VEK_POINT:
            box.Add(f.p1[0], f.p1[1]);
            break;
        default:
            break;
    }
}

// Drawing units to pixels: scaled to fit, y up.
class View {
public:
    explicit View(const Box& box) {
        Box b = box;
        if (b.Empty()) {
            b.Add(0, 0);
            b.Add(1, 1);
        }
        minX_ = b.minX;
        maxY_ = b.maxY;
        double width = b.maxX - b.minX;
        double height = b.maxY - b.minY;
        if (width <= 0 && height <= 0) {
            width = height = 1;
        }
        const double available = kCanvasWidth - 2 * kMargin;
        scale_ = std::min(
            width > 0 ? available / width : std::numeric_limits<double>::infinity(),
            height > 0 ? kMaxDrawingHeight / height : std::numeric_limits<double>::infinity());
        // Centred across the width.
        offsetX_ = kMargin + (available - width * scale_) / 2;
        drawingHeight_ = height * scale_;
    }
    double X(double x) const { return offsetX_ + (x - minX_) * scale_; }
    double Y(double y) const { return kMargin + (maxY_ - y) * scale_; }
    double Length(double length) const { return length * scale_; }
    double DrawingHeight() const { return drawingHeight_; }

private:
    double minX_ = 0;
    double maxY_ = 0;
    double scale_ = 1;
    double offsetX_ = 0;
    double drawingHeight_ = 0;
};

std::string ElementSvg(const View& view, const vekhost::Element& element,
                       const std::string& attributes) {
    const FigureRecord& f = element.figure;
    auto line = [&](const double a[2], const double b[2]) {
        return "<line x1=\"" + Px(view.X(a[0])) + "\" y1=\"" + Px(view.Y(a[1])) + "\" x2=\"" +
               Px(view.X(b[0])) + "\" y2=\"" + Px(view.Y(b[1])) + "\"" + attributes + "/>\n";
    };
    auto dot = [&](const double p[2]) {
        return "<circle cx=\"" + Px(view.X(p[0])) + "\" cy=\"" + Px(view.Y(p[1])) + "\" r=\"1.5\"" +
               attributes + "/>\n";
    };
    switch (element.type) {
        case VEK_LINE:
            return line(f.p1, f.p2);
        case VEK_CIRCLE:
            return "<circle cx=\"" + Px(view.X(f.p1[0])) + "\" cy=\"" + Px(view.Y(f.p1[1])) +
                   "\" r=\"" + Px(view.Length(std::fabs(f.p2[0]))) + "\"" + attributes + "/>\n";
        case VEK_ARC:
        case VEK_ROUND_CORNER: {
            const ArcShape arc = ShapeOf(f);
            const double r = view.Length(arc.r);
            const double to = arc.from + arc.sweep;
            auto at = [&](double angle) {
                return Px(view.X(arc.cx + arc.r * numeric::Cos(angle))) + " " +
                       Px(view.Y(arc.cy + arc.r * numeric::Sin(angle)));
            };
            // The flip of y turns the drawing's counter-clockwise into SVG's
            // negative angle direction: sweep flag 0. An arc of more than a
            // half turn goes in two halves, so that neither needs the
            // large-arc flag and a whole turn has distinct ends.
            const std::string piece = " A " + Px(r) + " " + Px(r) + " 0 0 0 ";
            std::string d = "M " + at(arc.from);
            if (arc.sweep > kPi) {
                d += piece + at(arc.from + arc.sweep / 2);
            }
            d += piece + at(to);
            return "<path d=\"" + d + "\"" + attributes + "/>\n";
        }
        case VEK_CHAMFER:
            return line(f.p2, f.p3);
        case VEK_TWO_POINTS:
            return dot(f.p2) + dot(f.p3);
        case VEK_POINT_LENGTHS:
        case VEK_POINT:
            return dot(f.p1);
        default:
            return "";
    }
}

std::map<int32_t, std::string> PaletteColours() {
    MainColorTable table;
    BuildMainColors(table);
    std::map<int32_t, std::string> colours;
    for (int i = 1; i <= table.count; ++i) {
        const MainColorEntry& entry = table.entries[i];
        char text[8];
        std::snprintf(text, sizeof text, "#%02x%02x%02x", entry.red & 0xff, entry.green & 0xff,
                      entry.blue & 0xff);
        colours[entry.index] = text;
    }
    return colours;
}

// Rough width of a text in the legend: Latin letters and digits about half
// the font size, Hangul and other wide letters about the font size.
double TextWidth(const std::string& text) {
    double width = 0;
    for (unsigned char c : text) {
        if (c < 0x80) {
            width += kFontSize * 0.55;
        } else if (c >= 0xC0) {
            width += kFontSize;
        }
    }
    return width;
}

// A line of the legend broken at spaces to fit the canvas; the lines after
// the first are indented.
std::vector<std::string> Wrapped(const std::string& line, double width) {
    std::vector<std::string> lines;
    std::string current;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) {
            end = line.size();
        }
        const std::string word = line.substr(start, end - start);
        const std::string candidate = current.empty() ? word : current + " " + word;
        if (!current.empty() && TextWidth(candidate) > width) {
            lines.push_back(current);
            current = word;
        } else {
            current = candidate;
        }
        start = end + 1;
    }
    lines.push_back(current);
    return lines;
}

std::string Group(const std::string& id, const std::string& label, const std::string& attributes,
                  const std::string& content) {
    return "<g id=\"" + id + "\" inkscape:groupmode=\"layer\" inkscape:label=\"" + Escaped(label) +
           "\"" + attributes + ">\n" + content + "</g>\n";
}

// The drawing before the run as the picture shows it: with a unit
// conversion the picked figures in the new unit but not rounded, under what
// the rounding made of them.
std::vector<vekhost::Segment> ShownBefore(const RunReport& report, const UnitMap& unit,
                                          const std::vector<vekhost::Segment>& before) {
    std::vector<vekhost::Segment> shown = before;
    if (!unit.Converts()) {
        return shown;
    }
    std::set<VekId> picked;
    for (const FigureReport& figure : report.figures) {
        picked.insert(figure.segment);
    }
    for (vekhost::Segment& segment : shown) {
        if (picked.count(segment.id) != 0) {
            for (vekhost::Element& element : segment.elements) {
                element = unit(element);
            }
        }
    }
    return shown;
}

// The view that fits both drawings.
View FittedView(const std::vector<vekhost::Segment>& shown,
                const std::vector<vekhost::Segment>& after) {
    Box box;
    for (const std::vector<vekhost::Segment>* drawing : {&shown, &after}) {
        for (const vekhost::Segment& segment : *drawing) {
            for (const vekhost::Element& element : segment.elements) {
                AddElement(box, element);
            }
        }
    }
    return View(box);
}

// The drawing, a group per layer in the host's layer order: before (grey)
// under after (each element in its palette colour).
std::string LayerGroups(const View& view, const std::vector<vekhost::Segment>& shown,
                        const std::vector<vekhost::Segment>& after,
                        const std::map<int32_t, std::string>& palette) {
    std::map<VekId, std::string> beforeByLayer;
    std::map<VekId, std::string> afterByLayer;
    for (const vekhost::Segment& segment : shown) {
        for (const vekhost::Element& element : segment.elements) {
            beforeByLayer[segment.layer] += ElementSvg(view, element, "");
        }
    }
    for (const vekhost::Segment& segment : after) {
        for (const vekhost::Element& element : segment.elements) {
            const auto colour = palette.find(element.lineType.colorIndex);
            afterByLayer[segment.layer] += ElementSvg(
                view, element,
                " stroke=\"" + (colour == palette.end() ? std::string("#ffffff") : colour->second) +
                    "\"");
        }
    }
    std::set<VekId> layerIds;
    for (const auto& [layer, content] : beforeByLayer) {
        layerIds.insert(layer);
    }
    for (const auto& [layer, content] : afterByLayer) {
        layerIds.insert(layer);
    }
    std::string layers;
    for (VekId layer : layerIds) {
        const std::string id = std::to_string(layer);
        layers += Group("layer-" + id, vekhost::LayerName(layer), " class=\"layer\"",
                        "<g class=\"before\" stroke=\"" + std::string(kBeforeColour) +
                            "\" stroke-width=\"0.8\" fill=\"none\">\n" + beforeByLayer[layer] +
                            "</g>\n<g class=\"after\" stroke-width=\"1.5\" fill=\"none\">\n" +
                            afterByLayer[layer] + "</g>\n");
    }
    return layers;
}

// What the run did, drawn over the drawing, a group each.
struct RunMarks {
    std::string moves;
    std::string gaps;
    std::string adjusted;
};

// A ring on each moved point of `figure` not ringed yet (where two elements
// share a point, one ring stands for both), sized by how far it moved, with
// a line pointing to where the point was.
void MarkMoves(const View& view, const FigureReport& figure, double step,
               std::set<std::array<double, 4>>& ringed, std::string& moves) {
    for (const PointMove& move : figure.moves) {
        if (!ringed.insert({move.now.x, move.now.y, move.expected.x, move.expected.y}).second) {
            continue;
        }
        const double r = kMarkRadius + kMarkPerStep * std::min(move.distance / step, kMarkSteps);
        const double x = view.X(move.now.x);
        const double y = view.Y(move.now.y);
        const double dx = move.expected.x - move.now.x;
        const double dy = move.expected.y - move.now.y;
        const double length = numeric::Hypot(dx, dy);
        moves += "<circle class=\"move\" cx=\"" + Px(x) + "\" cy=\"" + Px(y) + "\" r=\"" + Px(r) +
                 "\"><title>" + Escaped(figure.source.Text()) + ", element " +
                 std::to_string(move.element) + " " + RoleName(move.role) + ": moved " +
                 ShortNumber(move.distance) + "</title></circle>\n";
        if (length > 0) {
            moves += "<line class=\"move-direction\" x1=\"" + Px(x) + "\" y1=\"" + Px(y) +
                     "\" x2=\"" + Px(x + r * dx / length) + "\" y2=\"" + Px(y - r * dy / length) +
                     "\"/>\n";
        }
    }
}

void MarkGaps(const View& view, const FigureReport& figure, std::string& gaps) {
    for (const GapItem& gap : figure.gaps) {
        const double x = view.X((gap.from.x + gap.to.x) / 2);
        const double y = view.Y((gap.from.y + gap.to.y) / 2);
        gaps += "<circle class=\"gap\" cx=\"" + Px(x) + "\" cy=\"" + Px(y) + "\" r=\"10\"><title>" +
                Escaped(figure.source.Text()) + ", elements " + std::to_string(gap.element) +
                " and " + std::to_string(gap.next) + ": gap " + ShortNumber(gap.distance) +
                "</title></circle>\n" + "<line x1=\"" + Px(view.X(gap.from.x)) + "\" y1=\"" +
                Px(view.Y(gap.from.y)) + "\" x2=\"" + Px(view.X(gap.to.x)) + "\" y2=\"" +
                Px(view.Y(gap.to.y)) + "\"/>\n";
    }
}

// Corners whose size was adjusted and arcs whose radius was corrected.
void MarkAdjusted(const View& view, const FigureReport& figure, std::string& adjusted) {
    for (const CornerItem& corner : figure.corners) {
        if (corner.Adjusted()) {
            adjusted += ElementSvg(view, corner.now, " class=\"adjusted-corner\"");
        }
    }
    for (const ArcItem& arc : figure.arcs) {
        if (arc.rule == ArcRule::CorrectedRadius || arc.rule == ArcRule::NotRebuilt) {
            adjusted += ElementSvg(view, arc.now, " class=\"corrected-arc\"");
        }
    }
}

RunMarks MarksOf(const View& view, const RunReport& report, double step) {
    RunMarks marks;
    std::set<std::array<double, 4>> ringed;
    for (const FigureReport& figure : report.figures) {
        MarkMoves(view, figure, step, ringed, marks.moves);
        MarkGaps(view, figure, marks.gaps);
        MarkAdjusted(view, figure, marks.adjusted);
    }
    return marks;
}

// The legend's text lines from `top` down: the title in bold, then the
// summary, each broken to fit. `y` ends on the last line's baseline.
std::string LegendText(const std::string& title, const RunReport& report, double& y) {
    const double textWidth = kCanvasWidth - 2 * kMargin - 40;
    std::string text;
    auto add = [&](const std::string& line, bool bold) {
        const std::vector<std::string> lines = Wrapped(line, textWidth);
        for (size_t i = 0; i < lines.size(); ++i) {
            y += kLineHeight;
            text += "<text x=\"" + Px(kMargin + (i > 0 ? 24 : 0)) + "\" y=\"" + Px(y) + "\"" +
                    (bold ? " font-weight=\"bold\"" : "") + ">" + Escaped(lines[i]) + "</text>\n";
        }
    };
    add(title, true);
    for (const std::string& summary : SummaryLines(report)) {
        add(summary, false);
    }
    return text;
}

// The key of the marks, below the legend's text; `y` ends on its last line.
std::string LegendKey(const UnitMap& unit, const std::map<int32_t, std::string>& palette,
                      double step, double& y) {
    struct KeyEntry {
        std::string symbol;
        std::string label;
    };
    const std::vector<KeyEntry> keys = {
        {"<line x1=\"0\" y1=\"0\" x2=\"28\" y2=\"0\" stroke=\"" + std::string(kBeforeColour) +
             "\" stroke-width=\"0.8\"/>",
         unit.Converts() ? "before the run (picked figures in the new unit, not rounded)"
                         : "before the run"},
        {"<line x1=\"0\" y1=\"0\" x2=\"28\" y2=\"0\" stroke=\"" + palette.at(1) +
             "\" stroke-width=\"1.5\"/>",
         "after the run, in each element's colour"},
        {"<circle cx=\"14\" cy=\"0\" r=\"" + Px(kMarkRadius + kMarkPerStep) +
             "\" fill=\"none\" stroke=\"" + kMoveColour + "\" stroke-width=\"1.2\"/>",
         "moved point: ring of " + ShortNumber(kMarkRadius) + " px + " + ShortNumber(kMarkPerStep) +
             " px per grid step moved (step " + ShortNumber(step) + ", up to " +
             ShortNumber(kMarkSteps) + " steps); its line points to where the point was"},
        {"<circle cx=\"14\" cy=\"0\" r=\"6\" fill=\"none\" stroke=\"" + std::string(kGapColour) +
             "\" stroke-width=\"2\"/>",
         "gap: neighbours that met before and no longer meet"},
        {"<line x1=\"0\" y1=\"0\" x2=\"28\" y2=\"0\" stroke=\"" + std::string(kAdjustedColour) +
             "\" stroke-width=\"6\" stroke-opacity=\"0.55\"/>",
         "corner whose size was adjusted, arc whose radius was corrected"},
    };
    std::string text;
    y += kLineHeight / 2;
    for (const KeyEntry& key : keys) {
        y += kLineHeight;
        text += "<g transform=\"translate(" + Px(kMargin) + " " + Px(y - 4) + ")\">" + key.symbol +
                "</g><text x=\"" + Px(kMargin + 40) + "\" y=\"" + Px(y) + "\">" +
                Escaped(key.label) + "</text>\n";
    }
    return text;
}

// The document around the parts, `height` pixels high.
std::string SvgDocument(const std::string& title, double height, const std::string& layers,
                        const RunMarks& marks, const std::string& legend) {
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg +=
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" width=\"" +
        Px(kCanvasWidth) + "\" height=\"" + Px(height) + "\" viewBox=\"0 0 " + Px(kCanvasWidth) +
        " " + Px(height) + "\" stroke-linecap=\"round\">\n";
    svg += "<title>" + Escaped(title) + "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"" + std::string(kBackground) + "\"/>\n";
    svg += layers;
    svg += Group("adjusted", "adjusted corners and corrected arcs",
                 " fill=\"none\" stroke=\"" + std::string(kAdjustedColour) +
                     "\" stroke-width=\"6\" stroke-opacity=\"0.55\"",
                 marks.adjusted);
    svg += Group("gaps", "gaps",
                 " fill=\"none\" stroke=\"" + std::string(kGapColour) + "\" stroke-width=\"2\"",
                 marks.gaps);
    svg += Group("moved-points", "moved points",
                 " fill=\"none\" stroke=\"" + std::string(kMoveColour) + "\" stroke-width=\"1.2\"",
                 marks.moves);
    svg += Group("legend", "legend",
                 " font-family=\"sans-serif\" font-size=\"" + Px(kFontSize) + "\" fill=\"" +
                     kTextColour + "\"",
                 legend);
    svg += "</svg>\n";
    return svg;
}

}  // namespace

std::vector<vekhost::Segment> CurrentDrawing() {
    std::vector<vekhost::Segment> drawing;
    for (VekId id : vekhost::Segments()) {
        if (auto segment = vekhost::GetSegment(id)) {
            drawing.push_back(std::move(*segment));
        }
    }
    return drawing;
}

std::string SvgPicture(const RunReport& report, const std::vector<vekhost::Segment>& before,
                       const std::vector<vekhost::Segment>& after, const std::string& title) {
    const UnitMap unit{report.settings.reference, report.settings.unitMode};
    const std::vector<vekhost::Segment> shown = ShownBefore(report, unit, before);
    const View view = FittedView(shown, after);
    const std::map<int32_t, std::string> palette = PaletteColours();
    const double step = report.settings.GridStep();

    double y = kMargin + view.DrawingHeight() + kMargin;  // the legend's top
    std::string legend = LegendText(title, report, y);
    legend += LegendKey(unit, palette, step, y);
    return SvgDocument(title, y + kMargin, LayerGroups(view, shown, after, palette),
                       MarksOf(view, report, step), legend);
}

}  // namespace vekhost_tool
