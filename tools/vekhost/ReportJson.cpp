#include "tools/vekhost/ReportJson.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace vekhost_tool {

namespace {

using Json = nlohmann::ordered_json;

Json PointJson(vekhost::Point p) {
    return Json::array({p.x, p.y});
}

Json SourceJson(const FigureSource& source) {
    Json ids = Json::array();
    for (const std::string& id : source.ids) {
        ids.push_back(id);
    }
    // A segment identifier is a number in the drawing file too.
    if (source.kind == "segment" && source.ids.size() == 1) {
        return Json{{source.kind, std::stol(source.ids[0])}};
    }
    Json json{{source.kind, ids}};
    if (source.line) {
        json["line"] = *source.line;
    }
    return json;
}

Json MoveJson(const PointMove& move) {
    return Json{{"distance", move.distance},
                {"element", move.element},
                {"point", RoleName(move.role)},
                {"was", PointJson(move.was)},
                {"expected", PointJson(move.expected)},
                {"now", PointJson(move.now)}};
}

Json FigureJson(const FigureReport& figure) {
    Json corners = Json::array();
    for (const CornerItem& corner : figure.corners) {
        corners.push_back({{"element", corner.element},
                           {"kind", corner.chamfer ? "chamfer" : "rounded corner"},
                           {"wasArc", corner.wasArc},
                           {"sizeBefore", corner.sizeBefore},
                           {"sizeAsked", corner.sizeAsked},
                           {"sizeAccepted", corner.sizeAccepted},
                           {"tries", corner.tries},
                           {"at", PointJson({corner.now.figure.p1[0], corner.now.figure.p1[1]})}});
    }
    Json arcs = Json::array();
    for (const ArcItem& arc : figure.arcs) {
        Json item{{"element", arc.element},
                  {"rule", RuleName(arc.rule)},
                  {"radiusBefore", arc.radiusBefore},
                  {"radius", arc.radius}};
        item["radiusFound"] =
            arc.rule == ArcRule::TangentCircle || arc.rule == ArcRule::CorrectedRadius
                ? Json(arc.radiusFound)
                : Json(nullptr);
        item["tries"] = arc.tries;
        item["centre"] = PointJson({arc.now.figure.p1[0], arc.now.figure.p1[1]});
        arcs.push_back(item);
    }
    Json gaps = Json::array();
    for (const GapItem& gap : figure.gaps) {
        gaps.push_back({{"element", gap.element},
                        {"next", gap.next},
                        {"distance", gap.distance},
                        {"from", PointJson(gap.from)},
                        {"to", PointJson(gap.to)}});
    }
    Json dropped = Json::array();
    for (const DroppedItem& item : figure.dropped) {
        dropped.push_back({{"element", item.element}, {"type", TypeName(item.type)}});
    }
    return Json{{"source", SourceJson(figure.source)},
                {"layer", figure.layer},
                {"status", StatusName(figure.status)},
                {"messages", figure.messages},
                {"elementsBefore", figure.elementsBefore},
                {"elementsAfter", figure.elementsAfter},
                {"newSegments", figure.newSegments},
                {"measured", figure.status == FigureStatus::Converted && figure.paired},
                {"points", figure.points},
                {"movedPoints", figure.movedPoints},
                {"largestMovement", figure.largest ? MoveJson(*figure.largest) : Json(nullptr)},
                {"meanMovement", figure.meanMovement},
                {"corners", corners},
                {"arcs", arcs},
                {"gaps", gaps},
                {"dropped", dropped}};
}

// Two spaces a level; text that is not UTF-8 replaced rather than refused.
std::string Dump(const Json& json) {
    return json.dump(2, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

const char* TypeName(int32_t type) {
    switch (type) {
        case VEK_LINE:
            return "line";
        case VEK_CIRCLE:
            return "circle";
        case VEK_ARC:
            return "arc";
        case VEK_ROUND_CORNER:
            return "rounded corner";
        case VEK_CHAMFER:
            return "chamfer";
        case VEK_POINT:
            return "point";
        default:
            return "other";
    }
}

std::string ReportJson(const RunReport& report) {
    const RunSettings& settings = report.settings;
    const RunSummary& s = report.summary;
    Json summary{{"figuresPicked", s.picked},
                 {"converted", s.converted},
                 {"untouched", s.untouched},
                 {"elementsBefore", s.elementsBefore},
                 {"elementsAfter", s.elementsAfter},
                 {"elementsDropped", s.dropped},
                 {"largestMovement", nullptr},
                 {"gaps", s.gaps},
                 {"corners", s.corners},
                 {"cornersAdjusted", s.cornersAdjusted},
                 {"arcs", s.arcs},
                 {"arcsCorrected", s.arcsCorrected}};
    if (s.largestIn) {
        const FigureReport& figure = report.figures[*s.largestIn];
        Json largest = MoveJson(*figure.largest);
        largest["source"] = SourceJson(figure.source);
        summary["largestMovement"] = largest;
    }
    const Json document{
        {"format", "vekhost-report"},
        {"version", 1},
        {"settings",
         {{"d_point", settings.decimals},
          {"inchmm", settings.unitMode},
          {"IsExploded", settings.exploded ? 1 : 0},
          {"Color", settings.color},
          {"mColor1", settings.colorName},
          {"mLType1", settings.lineTypeName},
          {"reference", PointJson(settings.reference)},
          {"gridStep", settings.GridStep()}}},
        {"completed", report.completed},
        {"stopMessage", report.completed ? Json(nullptr) : Json(report.stopMessage)},
        {"hostMessages", report.hostMessages},
        {"summary", summary},
        {"figures", Json::array()}};
    std::string text = Dump(document);
    // The figures go in one at a time, laid out as in the whole document's
    // dump: the trees of a run of a million figures would take gigabytes.
    constexpr std::string_view kNoFigures = "[]\n}";
    if (report.figures.empty() || !text.ends_with(kNoFigures)) {
        return text + "\n";
    }
    text.resize(text.size() - kNoFigures.size());
    text += "[\n";
    for (size_t i = 0; i < report.figures.size(); ++i) {
        text += i == 0 ? "    " : ",\n    ";
        for (const char c : Dump(FigureJson(report.figures[i]))) {
            text += c;
            if (c == '\n') {
                text += "    ";  // the array's items lie two levels deep
            }
        }
    }
    return text + "\n  ]\n}\n";
}

}  // namespace vekhost_tool
