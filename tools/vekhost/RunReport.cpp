#include "tools/vekhost/RunReport.h"

#include "tools/vekhost/DrawingText.h"
#include "tools/vekhost/HostMessages.h"
#include "tools/vekhost/TextConvert.h"
#include "engine/Rounding.h"
#include "numeric/NumberText.h"
#include "numeric/PortableMath.h"

#include <charconv>
#include <cmath>
#include <map>
#include <unordered_map>

namespace vekhost_tool {

namespace {

// A point that moved less than this fraction of the grid step has not moved:
// what is left is the arithmetic's own noise (relative to the grid step).
constexpr double kStillFraction = 1e-4;

double Distance(vekhost::Point a, vekhost::Point b) {
    return numeric::Hypot(a.x - b.x, a.y - b.y);
}

std::string PointText(vekhost::Point p) {
    return "(" + Number(p.x) + ", " + Number(p.y) + ")";
}

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What the host made of one rounded or chamfer corner: the sizes asked for
// one after another until it accepted one.
struct CornerAnswer {
    double asked = 0;
    double accepted = 0;
    int tries = 0;
};

std::map<VekId, CornerAnswer> CornersMade(const std::vector<CornerCall>& calls) {
    std::map<VekId, CornerAnswer> made;
    const CornerCall* first = nullptr;
    int tries = 0;
    for (const CornerCall& call : calls) {
        const bool sameCorner = first != nullptr && call.previous == first->previous &&
                                call.next == first->next && call.mode == first->mode;
        if (!sameCorner) {
            first = &call;
            tries = 0;
        }
        ++tries;
        if (call.corner != VEK_NONE) {
            made[call.corner] = {first->size, call.size, tries};
            first = nullptr;
        }
    }
    return made;
}

// The tangent-circle calls made for one arc: the same two points, one radius
// after another until one gave a centre.
struct ArcAttempt {
    vekhost::Point a;
    vekhost::Point b;
    double foundRadius = 0;
    int tries = 0;
    int foundAt = 0;  // 1-based; 0 when no radius gave a centre
};

std::vector<ArcAttempt> ArcAttempts(const std::vector<TangentCall>& calls) {
    std::vector<ArcAttempt> attempts;
    for (const TangentCall& call : calls) {
        const bool sameArc = !attempts.empty() && attempts.back().foundAt == 0 &&
                             attempts.back().a.x == call.a.x && attempts.back().a.y == call.a.y &&
                             attempts.back().b.x == call.b.x && attempts.back().b.y == call.b.y;
        if (!sameArc) {
            attempts.push_back({call.a, call.b, 0, 0, 0});
        }
        ArcAttempt& attempt = attempts.back();
        ++attempt.tries;
        if (call.found > 0) {
            attempt.foundAt = attempt.tries;
            attempt.foundRadius = call.radius;
        }
    }
    return attempts;
}

// Whether the attempt's centre is `arc`'s: both its points lie at the radius
// it found from the arc's centre after the run (to 1e-9 of the sizes
// involved; trimming by a corner moves an arc's ends, never its centre).
bool FoundCentreOf(const ArcAttempt& attempt, const vekhost::Element& arc) {
    if (attempt.foundAt == 0 || arc.type != VEK_ARC) {
        return false;
    }
    const vekhost::Point centre{arc.figure.p1[0], arc.figure.p1[1]};
    const double size = std::max({std::fabs(centre.x), std::fabs(centre.y), attempt.foundRadius});
    const double tolerance = 1e-9 * size;
    return std::fabs(Distance(centre, attempt.a) - attempt.foundRadius) <= tolerance &&
           std::fabs(Distance(centre, attempt.b) - attempt.foundRadius) <= tolerance;
}

// The rounding moves each coordinate by at most half a step: an attempt whose
// points lie within a step of an arc's converted ends was made for that arc.
// An end the command first moved to the sharp corner of a neighbouring
// rounded corner may lie farther: then the arc's centre after the run tells.
bool AttemptFits(const ArcAttempt& attempt, const FigureRecord& arc, const vekhost::Element* now,
                 const UnitMap& unit, double step) {
    const vekhost::Point start = unit(vekhost::Point{arc.p2[0], arc.p2[1]});
    const vekhost::Point end = unit(vekhost::Point{arc.p3[0], arc.p3[1]});
    return (std::fabs(attempt.a.x - start.x) <= step && std::fabs(attempt.a.y - start.y) <= step &&
            std::fabs(attempt.b.x - end.x) <= step && std::fabs(attempt.b.y - end.y) <= step) ||
           (now != nullptr && FoundCentreOf(attempt, *now));
}

// The corners the host made and the rule that rebuilt each arc.
void ListCornersAndArcs(const std::vector<vekhost::Element>& elements,
                        const std::vector<vekhost::Element>& after, const std::vector<int>& pairing,
                        const FigureCalls& calls, const RunSettings& settings,
                        FigureReport& figure) {
    const UnitMap unit{settings.reference, settings.unitMode};
    const double step = settings.GridStep();
    const std::map<VekId, CornerAnswer> corners = CornersMade(calls.corners);
    const std::vector<ArcAttempt> attempts = ArcAttempts(calls.tangents);
    size_t nextAttempt = 0;
    for (size_t i = 0; i < elements.size(); ++i) {
        const vekhost::Element& was = elements[i];
        const int element = static_cast<int>(i) + 1;
        // Attempts come in the order of the arcs, also of those dropped after.
        std::optional<ArcAttempt> attempt;
        const vekhost::Element* paired = pairing[i] >= 0 ? &after[pairing[i]] : nullptr;
        if ((was.type == VEK_ARC || was.type == VEK_ROUND_CORNER) &&
            nextAttempt < attempts.size() &&
            AttemptFits(attempts[nextAttempt], was.figure, paired, unit, step)) {
            attempt = attempts[nextAttempt++];
        }
        if (pairing[i] < 0) {
            continue;
        }
        const vekhost::Element& now = *paired;
        if (now.type == VEK_ROUND_CORNER || now.type == VEK_CHAMFER) {
            CornerItem corner{element,
                              now.type == VEK_CHAMFER,
                              was.type == VEK_ARC,
                              was.figure.size,
                              now.figure.size,
                              now.figure.size,
                              0,
                              now};
            if (const auto it = corners.find(now.id); it != corners.end()) {
                corner.sizeAsked = it->second.asked;
                corner.sizeAccepted = it->second.accepted;
                corner.tries = it->second.tries;
            }
            figure.corners.push_back(corner);
        } else if (now.type == VEK_ARC && (was.type == VEK_ARC || was.type == VEK_ROUND_CORNER)) {
            ArcItem arc{
                element, ArcRule::HalfCircle, was.figure.size, now.figure.size, now.figure.size, 0,
                now};
            if (!settings.exploded && elements.size() == 1) {
                arc.rule = ArcRule::Alone;
            } else if (attempt) {
                arc.tries = attempt->tries;
                arc.rule = attempt->foundAt == 1  ? ArcRule::TangentCircle
                           : attempt->foundAt > 1 ? ArcRule::CorrectedRadius
                                                  : ArcRule::NotRebuilt;
                arc.radiusFound = attempt->foundAt > 0 ? attempt->foundRadius : arc.radiusFound;
            }
            figure.arcs.push_back(arc);
        }
    }
}

// How far each point of the figure moved from where the conversion, before
// rounding, would have put it.
void MeasureMovements(const std::vector<vekhost::Element>& elements,
                      const std::vector<vekhost::Element>& after, const std::vector<int>& pairing,
                      const RunSettings& settings, bool keepMoves, FigureReport& figure) {
    const UnitMap unit{settings.reference, settings.unitMode};
    const double step = settings.GridStep();
    double sum = 0;
    for (size_t i = 0; i < elements.size(); ++i) {
        const int element = static_cast<int>(i) + 1;
        if (pairing[i] < 0) {
            figure.dropped.push_back({element, elements[i].type});
            continue;
        }
        const ElementPoints from = PointsOf(elements[i]);
        const ElementPoints to = PointsOf(after[pairing[i]]);
        for (int k = 0; k < from.count; ++k) {
            const vekhost::Point* now = to.Find(from.points[k].role);
            if (now == nullptr) {
                continue;
            }
            const vekhost::Point expected = unit(from.points[k].at);
            double distance = Distance(expected, *now);
            if (distance < kStillFraction * step) {
                distance = 0;
            }
            ++figure.points;
            sum += distance;
            if (distance > 0) {
                const PointMove move{
                    element, from.points[k].role, from.points[k].at, expected, *now, distance};
                ++figure.movedPoints;
                if (keepMoves) {
                    figure.moves.push_back(move);
                }
                if (!figure.largest || distance > figure.largest->distance) {
                    figure.largest = move;
                }
            }
        }
    }
    figure.meanMovement = figure.points > 0 ? sum / static_cast<double>(figure.points) : 0;
}

// The elements after the run as the drawing's file holds them: an arc whose
// centre was found at another radius at that radius. Null when they are the
// host's.
std::optional<std::vector<vekhost::Element>> AsWritten(const std::vector<vekhost::Element>& after,
                                                       const std::vector<int>& pairing,
                                                       const FigureReport& figure) {
    std::optional<std::vector<vekhost::Element>> written;
    for (const ArcItem& arc : figure.arcs) {
        if (arc.rule == ArcRule::CorrectedRadius) {
            if (!written) {
                written = after;
            }
            (*written)[pairing[arc.element - 1]].figure.size = arc.radiusFound;
        }
    }
    return written;
}

void MeasureFigure(const vekhost::Segment& before, const std::vector<vekhost::Element>& host,
                   const FigureCalls& calls, const RunSettings& settings, bool keepMoves,
                   bool arcsAtFoundRadius, FigureReport& figure) {
    const UnitMap unit{settings.reference, settings.unitMode};
    const std::vector<vekhost::Element>& elements = before.elements;
    const std::vector<int> pairing =
        PairElements(elements, host, unit, !settings.exploded && before.closed);
    if (pairing.size() != elements.size()) {
        figure.paired = false;
        return;
    }
    figure.pairing = pairing;
    ListCornersAndArcs(elements, host, pairing, calls, settings, figure);
    // Measured as the drawing's file will hold them.
    const auto written = arcsAtFoundRadius ? AsWritten(host, pairing, figure) : std::nullopt;
    const std::vector<vekhost::Element>& after = written ? *written : host;
    MeasureMovements(elements, after, pairing, settings, keepMoves, figure);
    for (const OpenedGap& gap : OpenedGaps(elements, after, pairing, before.closed)) {
        figure.gaps.push_back({gap.element + 1, gap.next + 1, gap.distance, gap.from, gap.to});
    }
}

using SourceOf = std::function<const FigureSource&()>;

std::optional<std::string> FirstAdjustedCorner(const FigureReport& figure, const SourceOf& source) {
    for (const CornerItem& corner : figure.corners) {
        if (corner.Adjusted()) {
            return source().Text() + ", element " + std::to_string(corner.element) + ", " +
                   (corner.chamfer ? "setback " : "radius ") + Number(corner.sizeAsked) +
                   " taken as " + Number(corner.sizeAccepted);
        }
    }
    return std::nullopt;
}

std::optional<std::string> FirstCorrectedArc(const FigureReport& figure, const SourceOf& source,
                                             bool arcsAtFoundRadius) {
    for (const ArcItem& arc : figure.arcs) {
        if (arc.rule != ArcRule::CorrectedRadius && arc.rule != ArcRule::NotRebuilt) {
            continue;
        }
        const std::string where = source().Text() + ", element " + std::to_string(arc.element);
        if (arc.rule == ArcRule::CorrectedRadius) {
            return arcsAtFoundRadius
                       ? where + ", radius " + Number(arc.radius) +
                             " asked, centre found and arc written at radius " +
                             Number(arc.radiusFound)
                       : where + ", centre found at radius " + Number(arc.radiusFound) +
                             ", radius kept " + Number(arc.radius);
        }
        return where + ", no radius gave a centre";
    }
    return std::nullopt;
}

// The counts of a figure added to the summary.
void Count(RunSummary& s, const FigureReport& figure) {
    ++s.picked;
    s.converted += figure.status == FigureStatus::Converted ? 1 : 0;
    s.refused += figure.status == FigureStatus::Refused ? 1 : 0;
    s.untouched = s.picked - s.converted;
    s.elementsBefore += figure.elementsBefore;
    s.elementsAfter += figure.elementsAfter;
    s.dropped += figure.dropped.size();
    s.gaps += figure.gaps.size();
    s.corners += figure.corners.size();
    for (const CornerItem& corner : figure.corners) {
        s.cornersAdjusted += corner.Adjusted() ? 1 : 0;
    }
    s.arcs += figure.arcs.size();
    for (const ArcItem& arc : figure.arcs) {
        s.arcsCorrected +=
            arc.rule == ArcRule::CorrectedRadius || arc.rule == ArcRule::NotRebuilt ? 1 : 0;
    }
}

// What the summary's lines name, from the figure at `index` of the run;
// `source` names it, when asked.
void Note(RunSummary& s, const FigureReport& figure, size_t index, const SourceOf& source,
          bool arcsAtFoundRadius) {
    if (figure.largest && (!s.largest || figure.largest->distance > s.largest->distance)) {
        s.largestIn = index;
        s.largest = figure.largest;
        s.largestSource = source().Text();
    }
    for (const GapItem& gap : figure.gaps) {
        if (gap.distance > (s.largestGap ? s.largestGap->distance : 0.0)) {
            s.largestGapIn = index;
            s.largestGap = gap;
            s.largestGapSource = source().Text();
        }
    }
    if (!s.firstAdjustedCorner && !figure.corners.empty()) {
        s.firstAdjustedCorner = FirstAdjustedCorner(figure, source);
    }
    if (!s.firstCorrectedArc && !figure.arcs.empty()) {
        s.firstCorrectedArc = FirstCorrectedArc(figure, source, arcsAtFoundRadius);
    }
    if (!figure.paired) {
        s.notMeasured.push_back(source().Text());
    }
    if (!s.firstMessage && !figure.messages.empty()) {
        s.firstMessage.emplace(figure.messages.front(), source().Where());
    }
    constexpr size_t kRefusedNamed = 5;
    if (figure.status == FigureStatus::Refused && s.firstRefused.size() < kRefusedNamed) {
        s.firstRefused.emplace_back(source().Where(),
                                    figure.messages.empty() ? "" : figure.messages.front());
    }
    if (figure.status == FigureStatus::Stopped) {
        s.lastStopped = index;
        s.lastStoppedWhere = source().Where();
        s.lastStoppedMessage = figure.messages.empty()
                                   ? std::nullopt
                                   : std::optional<std::string>(figure.messages.back());
    }
}

}  // namespace

std::string FigureSource::Text() const {
    std::string text = kind;
    for (const std::string& id : ids) {
        text += " " + id;
    }
    return text;
}

std::string FigureSource::Where() const {
    return line ? Text() + ", line " + std::to_string(*line) : Text();
}

FigureNaming SegmentNaming() {
    FigureNaming naming;
    naming.source = [](const vekhost::Segment& segment) {
        return FigureSource{"segment", {std::to_string(segment.id)}, std::nullopt};
    };
    naming.layer = [](const vekhost::Segment& segment) {
        return vekhost::LayerName(segment.layer);
    };
    return naming;
}

double RunSettings::GridStep() const {
    // The plug-in's own grid, so the step is computed in one place.
    const double origin[2] = {reference.x, reference.y};
    return MakeGrid(decimals, unitMode, origin).step;
}

std::string RunSettings::UnitText() const {
    if (unitMode == 1) {
        return "inches to millimetres";
    }
    if (unitMode == 2) {
        return "millimetres to inches";
    }
    return "no unit conversion";
}

const char* StatusName(FigureStatus status) {
    switch (status) {
        case FigureStatus::Converted:
            return "converted";
        case FigureStatus::Stopped:
            return "stopped";
        case FigureStatus::Refused:
            return "refused";
        case FigureStatus::Untouched:
            break;
    }
    return "untouched";
}

const char* RuleName(ArcRule rule) {
    switch (rule) {
        case ArcRule::Alone:
            return "alone";
        case ArcRule::HalfCircle:
            return "half circle";
        case ArcRule::TangentCircle:
            return "tangent circle";
        case ArcRule::CorrectedRadius:
            return "corrected radius";
        case ArcRule::NotRebuilt:
            break;
    }
    return "not rebuilt";
}

std::string ShortNumber(double value, int digits) {
    if (value == 0.0) {
        return "0";
    }
    char text[40];
    char* end = numeric::WriteGeneral(text, text + sizeof text, value, digits).ptr;
    const std::string result(text, end);
    return result == "-0" ? "0" : result;
}

FigureOutcome TakeOutcome(const vekhost::Segment& before, const FigureCalls& calls) {
    FigureOutcome outcome;
    outcome.converted = !vekhost::HasSegment(before.id);
    for (VekId made : calls.made) {
        if (auto segment = vekhost::GetSegment(made)) {
            outcome.segments.push_back(made);
            outcome.closed = outcome.closed || segment->closed;
            if (!outcome.converted) {
                continue;
            }
            if (outcome.elements.empty()) {
                outcome.elements = std::move(segment->elements);
            } else {
                outcome.elements.insert(outcome.elements.end(), segment->elements.begin(),
                                        segment->elements.end());
            }
        }
    }
    return outcome;
}

FigureReport ReportFigure(const vekhost::Segment& before, const FigureCalls& calls,
                          FigureOutcome outcome, const RunSettings& settings,
                          bool arcsAtFoundRadius, bool keepMoves) {
    FigureReport figure;
    figure.segment = before.id;
    figure.messages = calls.messages;
    figure.elementsBefore = before.elements.size();
    figure.elementsAfter = figure.elementsBefore;
    figure.newSegments = std::move(outcome.segments);
    figure.afterClosed = outcome.closed;
    if (!outcome.converted) {
        figure.status = calls.handedOut ? FigureStatus::Stopped : FigureStatus::Untouched;
        return figure;
    }
    figure.status = FigureStatus::Converted;
    figure.elementsAfter = outcome.elements.size();
    MeasureFigure(before, outcome.elements, calls, settings, keepMoves, arcsAtFoundRadius, figure);
    figure.after = std::move(outcome.elements);
    return figure;
}

RunReport StartRunReport(const RunSettings& settings, const FigureNaming& naming) {
    RunReport report;
    report.settings = settings;
    report.arcsAtFoundRadius = naming.arcsAtFoundRadius;
    return report;
}

void AddFigure(RunReport& report, FigureReport figure, const vekhost::Segment& before,
               const FigureNaming& naming, bool keep) {
    std::optional<FigureSource> source;
    const SourceOf named = [&]() -> const FigureSource& {
        if (!source) {
            source = naming.source(before);
        }
        return *source;
    };
    const size_t index = report.summary.picked;
    Count(report.summary, figure);
    Note(report.summary, figure, index, named, report.arcsAtFoundRadius);
    if (keep) {
        figure.after.reset();
        figure.source = named();
        figure.layer = naming.layer(before);
        report.figures.push_back(std::move(figure));
    }
}

void MarkRefused(FigureReport& figure, const std::string& message) {
    figure.status = FigureStatus::Refused;
    if (figure.messages.empty() && !message.empty()) {
        figure.messages.push_back(message);
    }
}

void FinishRunReport(RunReport& report, const RunRecording& recording,
                     const CommandResult& command) {
    const bool pointTaken = command.pointTaken;
    // A play that went on past the figures the command stopped at went
    // through the whole selection, whichever run came last.
    report.completed = pointTaken && (recording.countShown || !command.reportedError);
    report.commands = command.commands;
    report.hostMessages = recording.messages;
    if (report.completed) {
        return;
    }
    const RunSummary& s = report.summary;
    report.stoppedAt = s.lastStopped;
    if (!pointTaken) {
        report.stopMessage = "the command did not take the reference point";
    } else if (s.lastStopped && s.lastStoppedMessage) {
        report.stopMessage = *s.lastStoppedMessage;
    } else if (!recording.messages.empty()) {
        report.stopMessage = recording.messages.back();
    } else {
        report.stopMessage = "the run ended before the last figure";
    }
}

namespace {

const FigureCalls& CallsFor(const RunRecording& recording, VekId figure) {
    static const FigureCalls none;
    const auto it = recording.figures.find(figure);
    return it == recording.figures.end() ? none : it->second;
}

}  // namespace

RunReport BuildRunReport(const RunRecording& recording, const RunSettings& settings,
                         const FigureNaming& naming, const CommandResult& command, bool keepMoves) {
    RunReport report = StartRunReport(settings, naming);
    std::unordered_map<VekId, const std::string*> refused;
    for (const RefusedFigure& figure : command.refused) {
        refused[figure.figure] = &figure.message;
    }
    std::unordered_map<VekId, const vekhost::Segment*> before;
    for (const vekhost::Segment& segment : recording.drawingBefore) {
        before[segment.id] = &segment;
    }
    for (VekId id : recording.picked) {
        const auto was = before.find(id);
        if (was != before.end()) {
            const vekhost::Segment& segment = *was->second;
            const FigureCalls& calls = CallsFor(recording, id);
            FigureReport figure = ReportFigure(segment, calls, TakeOutcome(segment, calls),
                                               settings, naming.arcsAtFoundRadius, keepMoves);
            if (const auto it = refused.find(id); it != refused.end()) {
                MarkRefused(figure, *it->second);
            }
            AddFigure(report, std::move(figure), segment, naming, true);
        }
    }
    FinishRunReport(report, recording, command);
    return report;
}

std::unordered_map<VekId, double> RadiiFound(const RunReport& report) {
    std::unordered_map<VekId, double> found;
    for (const FigureReport& figure : report.figures) {
        for (const ArcItem& arc : figure.arcs) {
            if (arc.rule == ArcRule::CorrectedRadius) {
                found[arc.now.id] = arc.radiusFound;
            }
        }
    }
    return found;
}

namespace {

std::string SettingsLine(const RunSettings& settings) {
    return "Settings: d_point " + std::to_string(settings.decimals) + " (grid step " +
           Number(settings.GridStep()) + ") about " + PointText(settings.reference) + ", " +
           settings.UnitText() + ", " + (settings.exploded ? "exploded" : "standard") + " pass" +
           (settings.color == 1
                ? ", converted figures in " + settings.colorName + " and " + settings.lineTypeName
                : std::string());
}

std::string FiguresLine(const RunReport& report) {
    const RunSummary& s = report.summary;
    std::string line = "Figures: " + std::to_string(s.picked) + " picked, " +
                       std::to_string(s.converted) + " converted, " + std::to_string(s.untouched) +
                       " left untouched" +
                       (s.refused > 0 ? " (" + std::to_string(s.refused) + " refused)" : "");
    if (!report.completed) {
        line += report.stoppedAt ? " (the run stopped at " + s.lastStoppedWhere + ": " +
                                       Explained(report.stopMessage) + ")"
                                 : " (" + Explained(report.stopMessage) + ")";
    }
    return line + "; " + Plural(report.commands, "run", "runs") + " of the command";
}

std::string MovementLine(const RunSummary& s) {
    if (!s.largest) {
        return "Largest movement: 0 (no point moved)";
    }
    const PointMove& move = *s.largest;
    return "Largest movement: " + ShortNumber(move.distance) + " (" + s.largestSource +
           ", element " + std::to_string(move.element) + ", " + RoleName(move.role) + ", now at " +
           PointText(move.now) + ")";
}

std::string GapsLine(const RunSummary& s) {
    if (!s.largestGap) {
        return "Gaps opened: none";
    }
    const GapItem& largest = *s.largestGap;
    return "Gaps opened: " + std::to_string(s.gaps) + ", largest " + ShortNumber(largest.distance) +
           " (" + s.largestGapSource + ", between elements " + std::to_string(largest.element) +
           " and " + std::to_string(largest.next) + ")";
}

// "Corners adjusted: 1 of 3 (first: ...)".
std::string CountLine(const char* what, size_t count, size_t of,
                      const std::optional<std::string>& first) {
    return std::string(what) + ": " + std::to_string(count) + " of " + std::to_string(of) +
           (first ? " (first: " + *first + ")" : "");
}

// The figures the command stopped at and the play went on without, the
// first few by name.
void AddRefusedLines(const RunSummary& s, std::vector<std::string>& lines) {
    for (const auto& [where, message] : s.firstRefused) {
        lines.push_back("Refused, left as it was: " + where +
                        (message.empty() ? "" : ": " + Explained(message)));
    }
    if (s.refused > s.firstRefused.size()) {
        lines.push_back("Refused: " + std::to_string(s.refused - s.firstRefused.size()) +
                        " more (the report lists them)");
    }
}

// The number a final count gives, when `message` is one.
std::optional<unsigned long long> FinalCountOf(const std::string& message) {
    const auto wide = Utf8ToUtf16(message);
    if (!wide || !IsFinalCount(*wide)) {
        return std::nullopt;
    }
    const size_t digits = message.find_first_of("0123456789");
    unsigned long long count = 0;
    std::from_chars(message.data() + digits, message.data() + message.size(), count);
    return count;
}

// Each run of the command ends with its count: over several runs, one line
// says them all.
void AddHostSaidLines(const std::vector<std::string>& messages, std::vector<std::string>& lines) {
    size_t counts = 0;
    unsigned long long total = 0;
    const std::string* firstCount = nullptr;
    for (const std::string& message : messages) {
        if (const auto count = FinalCountOf(message)) {
            firstCount = firstCount != nullptr ? firstCount : &message;
            ++counts;
            total += *count;
        } else {
            lines.push_back("The host said: " + Explained(message));
        }
    }
    if (counts == 1) {
        lines.push_back("The host said: " + Explained(*firstCount));
    } else if (counts > 1) {
        lines.push_back("The host said at the end of each of " + std::to_string(counts) +
                        " runs, first: " + Explained(*firstCount) + "; " + std::to_string(total) +
                        " figures in all");
    }
}

}  // namespace

std::vector<std::string> SummaryLines(const RunReport& report) {
    const RunSummary& s = report.summary;
    std::vector<std::string> lines = {
        SettingsLine(report.settings),
        FiguresLine(report),
        "Elements: " + std::to_string(s.elementsBefore) + " before, " +
            std::to_string(s.elementsAfter) + " after" +
            (s.dropped > 0
                 ? " (" + Plural(s.dropped, "element", "elements") + " shrank to nothing and went)"
                 : ""),
        MovementLine(s),
        GapsLine(s),
        CountLine("Corners adjusted", s.cornersAdjusted, s.corners, s.firstAdjustedCorner),
        CountLine("Arcs corrected", s.arcsCorrected, s.arcs, s.firstCorrectedArc)};
    for (const std::string& source : s.notMeasured) {
        lines.push_back("Not measured: " + source +
                        " (its converted elements could not be paired with its elements)");
    }
    AddRefusedLines(report.summary, lines);
    AddHostSaidLines(report.hostMessages, lines);
    return lines;
}

}  // namespace vekhost_tool
