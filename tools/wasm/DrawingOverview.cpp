#include "tools/wasm/DrawingOverview.h"

#include "tools/vekhost/DrawingFile.h"
#include "tools/vekhost/RunOptions.h"
#include "numeric/NumberText.h"
#include "numeric/PortableMath.h"
#include "platform/veklib/VekHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnex_page {

namespace {

using vekhost_tool::DrawingFile;

const double kPi = 4.0 * numeric::Atan(1.0);

void AppendNumber(std::string& out, double value) {
    char text[32];
    out.append(text, numeric::WriteDouble(text, text + sizeof text, value).ptr);
}

// A JSON string: quotes, backslashes and control characters escaped, other
// bytes (UTF-8) as they are.
void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

struct Point {
    double x, y;
    bool operator==(const Point&) const = default;
};

struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
    void Add(Point p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
};

// An arc of a record: centre, radius, start angle and the signed sweep
// (positive counter-clockwise), in radians.
struct ArcShape {
    Point centre;
    double radius, from, sweep;
    Point At(double angle) const {
        return {centre.x + radius * numeric::Cos(angle), centre.y + radius * numeric::Sin(angle)};
    }
};

ArcShape ShapeOf(const FigureRecord& f) {
    const double a1 = numeric::Atan2(f.p2[1] - f.p1[1], f.p2[0] - f.p1[0]);
    const double a2 = numeric::Atan2(f.p3[1] - f.p1[1], f.p3[0] - f.p1[0]);
    const bool clockwise = f.direction == 1;
    double sweep = clockwise ? a1 - a2 : a2 - a1;
    if (sweep <= 0) {
        sweep += 2 * kPi;  // equal ends: a whole turn
    }
    return {{f.p1[0], f.p1[1]}, std::fabs(f.size), a1, clockwise ? -sweep : sweep};
}

// A figure's outline as SVG path data in drawing units (y up, so a
// counter-clockwise arc has the sweep flag 1), its end points, and the
// drawing's bounds grown by it.
class Outline {
public:
    explicit Outline(Box& bounds) : bounds_(bounds) {}

    void Add(const vekhost::Element& element) {
        const FigureRecord& f = element.figure;
        switch (element.type) {
            case VEK_LINE:
                Line({f.p1[0], f.p1[1]}, {f.p2[0], f.p2[1]});
                break;
            case VEK_CHAMFER:
                Line({f.p2[0], f.p2[1]}, {f.p3[0], f.p3[1]});
                break;
            case VEK_ARC:
            case VEK_ROUND_CORNER:
                Arc(ShapeOf(f));
                break;
            case VEK_CIRCLE:
                Circle({f.p1[0], f.p1[1]}, std::fabs(f.p2[0]));
                break;
            default:
                break;  // points: nothing to outline
        }
    }
    const std::string& Path() const { return d_; }
    const std::vector<Point>& Ends() const { return ends_; }

private:
    void MoveTo(Point p) {
        if (!pen_ || !(*pen_ == p)) {
            Command(" M ", p);
            End(p);
        }
    }
    void Line(Point a, Point b) {
        MoveTo(a);
        Command(" L ", b);
        End(b);
        bounds_.Add(a);
        bounds_.Add(b);
    }
    // In halves beyond half a turn, so that neither needs the large-arc flag
    // and a whole turn has distinct ends.
    void Arc(const ArcShape& arc) {
        const Point start = arc.At(arc.from);
        const Point end = arc.At(arc.from + arc.sweep);
        MoveTo(start);
        if (std::fabs(arc.sweep) > kPi) {
            ArcTo(arc, arc.At(arc.from + arc.sweep / 2));
        }
        ArcTo(arc, end);
        End(end);
        bounds_.Add(start);
        bounds_.Add(end);
        // The extremes along the axes that the arc passes.
        const double low = std::min(arc.from, arc.from + arc.sweep);
        const double high = std::max(arc.from, arc.from + arc.sweep);
        for (int quarter = -8; quarter <= 8; ++quarter) {
            const double angle = quarter * kPi / 2;
            if (angle > low && angle < high) {
                bounds_.Add(arc.At(angle));
            }
        }
    }
    void Circle(Point centre, double radius) {
        const ArcShape whole{centre, radius, 0, 2 * kPi};
        Command(" M ", whole.At(0));
        ArcTo(whole, whole.At(kPi));
        ArcTo(whole, whole.At(0));
        d_ += " Z";
        ends_.push_back(centre);  // no ends: its centre to snap to
        bounds_.Add({centre.x - radius, centre.y - radius});
        bounds_.Add({centre.x + radius, centre.y + radius});
    }
    void ArcTo(const ArcShape& arc, Point to) {
        d_ += " A ";
        AppendNumber(d_, arc.radius);
        d_ += ' ';
        AppendNumber(d_, arc.radius);
        d_ += arc.sweep > 0 ? " 0 0 1" : " 0 0 0";
        Command(" ", to);
    }
    void Command(const char* letter, Point p) {
        d_ += letter;
        AppendNumber(d_, p.x);
        d_ += ' ';
        AppendNumber(d_, p.y);
        pen_ = p;
    }
    void End(Point p) {
        if (ends_.empty() || !(ends_.back() == p)) {
            ends_.push_back(p);
        }
    }

    Box& bounds_;
    std::string d_;
    std::vector<Point> ends_;
    std::optional<Point> pen_;
};

void AppendFigure(std::string& out, const std::string& id, const std::string& layer,
                  const Outline& outline) {
    out += "{\"id\":";
    AppendQuoted(out, id);
    out += ",\"layer\":";
    AppendQuoted(out, layer);
    out += ",\"d\":";
    const std::string& d = outline.Path();
    AppendQuoted(out, d.empty() ? d : d.substr(1));
    out += ",\"ends\":[";
    for (size_t i = 0; i < outline.Ends().size(); ++i) {
        out += i == 0 ? "[" : ",[";
        AppendNumber(out, outline.Ends()[i].x);
        out += ',';
        AppendNumber(out, outline.Ends()[i].y);
        out += ']';
    }
    out += "]}";
}

std::string Failure(const std::string& message) {
    std::string out = "{\"ok\":false,\"error\":";
    AppendQuoted(out, message);
    return out + "}";
}

void AppendTexts(std::string& out, const char* name, const std::vector<std::string>& texts) {
    out += ",\"";
    out += name;
    out += "\":[";
    for (size_t i = 0; i < texts.size(); ++i) {
        out += i == 0 ? "" : ",";
        AppendQuoted(out, texts[i]);
    }
    out += ']';
}

// The figures a run picking every one would take, after the drawing's
// overview and layers.
// The figures are loaded a run's worth at a time where the drawing stages
// its figures, as a run does, so that a large drawing is never in the host
// whole.
std::string Describe(DrawingFile& drawing, const std::vector<VekId>& picked, bool dxf) {
    const vekhost_tool::FigureNaming naming = drawing.Naming();
    const vekhost_tool::RunStaging staging = drawing.Staging();
    Box bounds;
    std::string figures;
    std::vector<std::string> layers;
    std::set<std::string> seen;
    // A DXF drawing without handles names its figures by line: they cannot
    // be picked one by one (--select handle:).
    bool pickById = true;
    vekhost_tool::PlayOptions runs;
    runs.elementsOf = staging.elements;
    std::size_t loadedEnd = 0;
    for (std::size_t at = 0; at < picked.size(); ++at) {
        const VekId id = picked[at];
        if (staging.load && at == loadedEnd) {
            staging.unload();
            loadedEnd = at + vekhost_tool::RunLength(picked, at, runs);
            staging.load({picked.begin() + static_cast<std::ptrdiff_t>(at),
                          picked.begin() + static_cast<std::ptrdiff_t>(loadedEnd)});
        }
        const auto segment = vekhost::GetSegment(id);
        if (!segment) {
            continue;
        }
        Outline outline(bounds);
        for (const vekhost::Element& element : segment->elements) {
            outline.Add(element);
        }
        const vekhost_tool::FigureSource source = naming.source(*segment);
        const std::vector<std::string>& ids = source.ids;
        pickById = pickById && source.kind != "lines";
        const std::string layer = naming.layer(*segment);
        if (seen.insert(layer).second) {
            layers.push_back(layer);
        }
        figures += figures.empty() ? "" : ",";
        AppendFigure(figures, ids.empty() ? std::to_string(id) : ids.front(), layer, outline);
    }
    std::string out = dxf ? "{\"ok\":true,\"format\":\"dxf\"" : "{\"ok\":true,\"format\":\"json\"";
    AppendTexts(out, "overview", drawing.Overview());
    AppendTexts(out, "layers", layers);
    out += pickById ? ",\"pickById\":true" : ",\"pickById\":false";
    out += ",\"bounds\":[";
    if (bounds.minX <= bounds.maxX) {
        for (const double v : {bounds.minX, bounds.minY, bounds.maxX, bounds.maxY}) {
            AppendNumber(out, v);
            out += ',';
        }
        out.pop_back();
    }
    out += "],\"figures\":[" + figures + "]}";
    return out;
}

}  // namespace

std::string InspectDrawing(const std::string& path) {
    vekhost_tool::RunOptions options;
    options.drawings = {path};
    options.dxfSelection = vekhost_tool::DxfSelection{};
    vekhost::Reset();
    std::string answer;
    try {
        const std::unique_ptr<DrawingFile> drawing = vekhost_tool::ReadDrawingFile(options);
        drawing->LoadIntoHost(false);
        std::string error;
        const auto picked = drawing->Pick(error);
        answer = picked ? Describe(*drawing, *picked, options.Dxf()) : Failure(error);
    } catch (const std::exception& e) {
        answer = Failure(e.what());
    }
    vekhost::Reset();  // the host's drawing is the next run's to load
    return answer;
}

}  // namespace tarnex_page
