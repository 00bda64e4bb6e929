#include "tools/vekhost/ReportCsv.h"

#include "tools/vekhost/ReportJson.h"
#include "numeric/NumberText.h"

#include <charconv>
#include <optional>

namespace vekhost_tool {

namespace {

const char* const kColumns[] = {"source",
                                "layer",
                                "status",
                                "item",
                                "element",
                                "detail",
                                "elements_before",
                                "elements_after",
                                "points",
                                "moved_points",
                                "largest_movement",
                                "mean_movement",
                                "size_before",
                                "size_asked",
                                "size_accepted",
                                "tries",
                                "distance",
                                "x",
                                "y",
                                "message"};
constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

enum Column : size_t {
    Source,
    Layer,
    Status,
    Item,
    Element,
    Detail,
    ElementsBefore,
    ElementsAfter,
    Points,
    MovedPoints,
    LargestMovement,
    MeanMovement,
    SizeBefore,
    SizeAsked,
    SizeAccepted,
    Tries,
    Distance,
    X,
    Y,
    Message
};

// The shortest text that reads back as the same double, as in the JSON form.
std::string Decimal(double value) {
    char text[40];
    const auto end = numeric::WriteDouble(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

class Row {
public:
    Row(const FigureReport& figure, const char* item) {
        cells_[Source] = figure.source.Text();
        cells_[Layer] = figure.layer;
        cells_[Status] = StatusName(figure.status);
        cells_[Item] = item;
    }
    Row& Set(Column column, const std::string& text) {
        cells_[column] = text;
        return *this;
    }
    Row& Set(Column column, double value) { return Set(column, Decimal(value)); }
    Row& Set(Column column, size_t value) { return Set(column, std::to_string(value)); }
    Row& Set(Column column, int value) { return Set(column, std::to_string(value)); }
    Row& At(vekhost::Point p) { return Set(X, p.x).Set(Y, p.y); }
    std::string Text() const {
        std::string line;
        for (size_t c = 0; c < kColumnCount; ++c) {
            line += (c > 0 ? "," : "") + CsvField(cells_[c]);
        }
        return line + "\r\n";
    }

private:
    std::string cells_[kColumnCount];
};

std::string Joined(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages) {
        text += (text.empty() ? "" : " / ") + message;
    }
    return text;
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos && !text.empty() &&
        text.front() != ' ' && text.back() != ' ') {
        return text;
    }
    if (text.empty()) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

// The rows of a figure's corners, arcs, gaps and dropped elements.
std::string ItemRows(const FigureReport& figure) {
    std::string csv;
    for (const CornerItem& corner : figure.corners) {
        csv += Row(figure, "corner")
                   .Set(Element, corner.element)
                   .Set(Detail, std::string(corner.chamfer ? "chamfer" : "rounded corner") +
                                    (corner.wasArc ? " (was an arc)" : ""))
                   .Set(SizeBefore, corner.sizeBefore)
                   .Set(SizeAsked, corner.sizeAsked)
                   .Set(SizeAccepted, corner.sizeAccepted)
                   .Set(Tries, corner.tries)
                   .At({corner.now.figure.p1[0], corner.now.figure.p1[1]})
                   .Text();
    }
    for (const ArcItem& arc : figure.arcs) {
        Row item(figure, "arc");
        item.Set(Element, arc.element)
            .Set(Detail, RuleName(arc.rule))
            .Set(SizeBefore, arc.radiusBefore)
            .Set(SizeAsked, arc.radius)
            .Set(Tries, arc.tries)
            .At({arc.now.figure.p1[0], arc.now.figure.p1[1]});
        if (arc.rule == ArcRule::TangentCircle || arc.rule == ArcRule::CorrectedRadius) {
            item.Set(SizeAccepted, arc.radiusFound);
        }
        csv += item.Text();
    }
    for (const GapItem& gap : figure.gaps) {
        csv += Row(figure, "gap")
                   .Set(Element, gap.element)
                   .Set(Detail, "to element " + std::to_string(gap.next))
                   .Set(Distance, gap.distance)
                   .At({(gap.from.x + gap.to.x) / 2, (gap.from.y + gap.to.y) / 2})
                   .Text();
    }
    for (const DroppedItem& item : figure.dropped) {
        csv += Row(figure, "dropped")
                   .Set(Element, item.element)
                   .Set(Detail, TypeName(item.type))
                   .Text();
    }
    return csv;
}

std::string ReportCsv(const RunReport& report) {
    // A byte-order mark tells spreadsheets that the text is UTF-8.
    std::string csv = "\xEF\xBB\xBF";
    for (size_t c = 0; c < kColumnCount; ++c) {
        csv += std::string(c > 0 ? "," : "") + kColumns[c];
    }
    csv += "\r\n";
    for (const FigureReport& figure : report.figures) {
        Row row(figure, "figure");
        row.Set(ElementsBefore, figure.elementsBefore)
            .Set(ElementsAfter, figure.elementsAfter)
            .Set(Message, Joined(figure.messages));
        if (figure.status == FigureStatus::Converted && figure.paired) {
            row.Set(Points, figure.points)
                .Set(MovedPoints, figure.movedPoints)
                .Set(LargestMovement, figure.largest ? figure.largest->distance : 0.0)
                .Set(MeanMovement, figure.meanMovement);
        }
        if (figure.largest) {
            row.Set(Element, figure.largest->element)
                .Set(Detail, RoleName(figure.largest->role))
                .At(figure.largest->now);
        }
        csv += row.Text();
        csv += ItemRows(figure);
    }
    return csv;
}

}  // namespace vekhost_tool
