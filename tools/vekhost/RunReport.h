// What a run of the command did to each picked figure: whether it was
// converted, how far its points moved, which corners had to take another
// size, which rule rebuilt each arc, and where neighbours no longer meet.
// Built from a RunRecorder's recording and the drawing after the run.
#pragma once

#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/ElementPairing.h"
#include "tools/vekhost/RunRecorder.h"
#include "platform/veklib/VekHost.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vekhost_tool {

// How a picked figure is known in the drawing file it came from: a JSON
// drawing's segment identifier, a DXF drawing's entity handles.
struct FigureSource {
    std::string kind;              // "segment" or "handles"
    std::vector<std::string> ids;  // the identifier, or the handles
    // Where a DXF figure's first entity starts in its file.
    std::optional<std::size_t> line;
    std::string Text() const;   // "segment 12", "handles 1F 20"
    std::string Where() const;  // "handles 1F 20, line 310"
};

// Names the figures of the drawing that was loaded, from the figure as it
// was before the run, and says how its format holds an arc.
struct FigureNaming {
    std::function<FigureSource(const vekhost::Segment&)> source;
    std::function<std::string(const vekhost::Segment&)> layer;
    // An arc whose centre was found at another radius is written at that
    // radius, through the host's ends (DXF holds an arc as its centre,
    // radius and angles); else with its radius kept (the host's record, as a
    // JSON drawing holds it), which leaves a gap at each end.
    bool arcsAtFoundRadius = false;
};
// Segment identifiers and the host's layer names (JSON drawings).
FigureNaming SegmentNaming();

// The settings the run used, as the plug-in read them.
struct RunSettings {
    vekhost::Point reference;
    int32_t decimals = 3;  // d_point
    int32_t unitMode = 0;  // inchmm: 1 inch to mm, 2 mm to inch
    bool exploded = false;
    int32_t color = 0;             // 1: converted figures take the colour below
    std::string colorName;         // mColor1 as stored
    std::string lineTypeName;      // mLType1 as stored
    double GridStep() const;       // 10^-d, in the converted drawing's unit
    std::string UnitText() const;  // "inches to millimetres", ...
};

// Refused: the command stopped at it, and the play went on without it
// (it is left as it was).
enum class FigureStatus { Converted, Stopped, Untouched, Refused };
// "converted", "stopped", "untouched", "refused"
const char* StatusName(FigureStatus status);

// A point of the figure and where it went.
struct PointMove {
    int element = 0;  // position in the picked figure, from 1
    PointRole role = PointRole::Point;
    vekhost::Point was;       // as drawn before, in the drawing's unit then
    vekhost::Point expected;  // `was` in the new unit, not rounded
    vekhost::Point now;
    double distance = 0;  // from `expected` to `now`
};

struct CornerItem {
    int element = 0;  // position in the picked figure, from 1
    bool chamfer = false;
    bool wasArc = false;      // an arc the host took as a rounded corner
    double sizeBefore = 0;    // radius or setback as drawn, in the unit before
    double sizeAsked = 0;     // what the conversion asked the host for first
    double sizeAccepted = 0;  // what the host accepted
    int tries = 0;
    vekhost::Element now;  // the corner made
    bool Adjusted() const { return sizeAccepted != sizeAsked; }
};

enum class ArcRule { Alone, HalfCircle, TangentCircle, CorrectedRadius, NotRebuilt };
const char* RuleName(ArcRule rule);  // "alone", "half circle", ...

struct ArcItem {
    int element = 0;  // position in the picked figure, from 1
    ArcRule rule = ArcRule::TangentCircle;
    double radiusBefore = 0;
    double radius = 0;       // the arc's radius now
    double radiusFound = 0;  // the radius whose circles gave the centre (tangent circle rules)
    int tries = 0;           // tangent-circle calls made for it
    vekhost::Element now;
};

struct GapItem {
    int element = 0;  // positions in the picked figure, from 1
    int next = 0;
    double distance = 0;
    vekhost::Point from;
    vekhost::Point to;
};

struct DroppedItem {
    int element = 0;  // position in the picked figure, from 1
    int32_t type = 0;
};

struct FigureReport {
    VekId segment = VEK_NONE;  // the picked figure, before the run
    FigureSource source;
    std::string layer;
    FigureStatus status = FigureStatus::Untouched;
    std::vector<std::string> messages;  // shown while it was in work
    size_t elementsBefore = 0;
    size_t elementsAfter = 0;
    std::vector<VekId> newSegments;
    // Their elements in order and whether one of them is closed, as the
    // host holds them, while the report is handed on as the run goes
    // (a FigureSink); not kept.
    std::optional<std::vector<vekhost::Element>> after;
    bool afterClosed = false;
    // For each element before, its position among the elements of
    // `newSegments` taken in order, or -1 when it was dropped; empty when
    // the elements could not be paired.
    std::vector<int> pairing;
    bool paired = true;  // false when the converted elements could not be paired
    size_t points = 0;   // points measured
    std::optional<PointMove> largest;
    double meanMovement = 0;
    size_t movedPoints = 0;
    std::vector<PointMove> moves;  // every point that moved, when kept (for the picture)
    std::vector<CornerItem> corners;
    std::vector<ArcItem> arcs;
    std::vector<GapItem> gaps;
    std::vector<DroppedItem> dropped;
};

struct RunSummary {
    size_t picked = 0;
    size_t converted = 0;
    size_t untouched = 0;  // stopped, refused or never reached
    size_t refused = 0;
    size_t elementsBefore = 0;
    size_t elementsAfter = 0;
    size_t dropped = 0;
    std::optional<size_t> largestIn;  // the figure with the largest movement
    size_t gaps = 0;
    std::optional<size_t> largestGapIn;
    size_t corners = 0;
    size_t cornersAdjusted = 0;
    size_t arcs = 0;
    size_t arcsCorrected = 0;
    // What the summary's lines name, gathered as the figures go by (a run
    // need not keep them): the largest movement and gap with their figures'
    // sources, the first corner adjusted and arc corrected, the figures
    // whose elements could not be paired, the first message shown while a
    // figure was in work (with where), and the last figure stopped.
    std::optional<PointMove> largest;
    std::string largestSource;
    std::optional<GapItem> largestGap;
    std::string largestGapSource;
    std::optional<std::string> firstAdjustedCorner;
    std::optional<std::string> firstCorrectedArc;
    std::vector<std::string> notMeasured;
    std::optional<std::pair<std::string, std::string>> firstMessage;  // message, where
    std::optional<size_t> lastStopped;
    std::string lastStoppedWhere;
    std::optional<std::string> lastStoppedMessage;
    // The first figures refused (where, and the host's message), a few.
    std::vector<std::pair<std::string, std::string>> firstRefused;
};

struct RunReport {
    RunSettings settings;
    bool arcsAtFoundRadius = false;         // as the drawing's format writes them
    std::vector<FigureReport> figures;      // in picking order
    bool completed = false;                 // the run went through the whole selection
    std::optional<size_t> stoppedAt;        // the figure in work when the run stopped
    std::string stopMessage;                // what stopped it; empty when completed
    std::vector<std::string> hostMessages;  // error lines and boxes outside a figure
    std::size_t commands = 0;               // runs of the command made
    RunSummary summary;
};

// What the host's drawing holds of a picked figure once its run has ended:
// all a report reads of the host, so that the figure can be measured after
// the host has moved on.
struct FigureOutcome {
    bool converted = false;       // its own segment is gone
    std::vector<VekId> segments;  // those made from it still in the drawing, in creation order
    bool closed = false;          // one of them is closed
    std::vector<vekhost::Element> elements;  // theirs in turn, for a converted figure
};
FigureOutcome TakeOutcome(const vekhost::Segment& before, const FigureCalls& calls);

// One picked figure, as it was `before` the run, paired with what became of
// it, from the calls made while it was in work. Its source and layer are
// left for the caller to name (AddFigure does).
FigureReport ReportFigure(const vekhost::Segment& before, const FigureCalls& calls,
                          FigureOutcome outcome, const RunSettings& settings,
                          bool arcsAtFoundRadius, bool keepMoves);

// A report with no figure yet.
RunReport StartRunReport(const RunSettings& settings, const FigureNaming& naming);
// Counts a figure (`before` the run) in the summary, in picking order, and
// keeps it in `figures`, named, when `keep`.
void AddFigure(RunReport& report, FigureReport figure, const vekhost::Segment& before,
               const FigureNaming& naming, bool keep);
// A figure the play went on without: it is left as it was, with the host's
// `message` when the recording has none.
void MarkRefused(FigureReport& figure, const std::string& message);
// How the run ended, once every picked figure was added, as `command`
// played it.
void FinishRunReport(RunReport& report, const RunRecording& recording,
                     const CommandResult& command);

// Pairs each picked figure with what became of it in the drawing as it is
// now (the recording holds the drawing before the run), as `command` played it. `keepMoves`:
// every point that moved is kept in its figure's `moves` (the picture draws them), else only
// counted.
RunReport BuildRunReport(const RunRecording& recording, const RunSettings& settings,
                         const FigureNaming& naming, const CommandResult& command,
                         bool keepMoves = true);

// The arcs whose centre was found only at a corrected radius, by their
// element after the run: that radius.
std::unordered_map<VekId, double> RadiiFound(const RunReport& report);

// The summary as a few lines of text (no line ends).
std::vector<std::string> SummaryLines(const RunReport& report);

// A movement or size as text, to `digits` significant digits; never "-0".
std::string ShortNumber(double value, int digits = 4);

}  // namespace vekhost_tool
