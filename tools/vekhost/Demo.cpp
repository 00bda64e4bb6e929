#include "tools/vekhost/Demo.h"

#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/Console.h"
#include "tools/vekhost/DrawingText.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/RunSteps.h"
#include "tools/vekhost/SettingsAccess.h"
#include "platform/veklib/VekHost.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace vekhost_tool {

namespace {

struct DemoFigures {
    VekId outline = VEK_NONE;
    VekId path = VEK_NONE;
    VekId plate = VEK_NONE;
    VekId hole = VEK_NONE;
};

DemoFigures figures;

VekId ElementAt(VekId segment, size_t position) {
    const auto s = vekhost::GetSegment(segment);
    return s && position < s->elements.size() ? s->elements[position].id : VEK_NONE;
}

// A closed figure of straight lines through `corners`.
VekId AddPolygon(const std::vector<vekhost::Point>& corners, VekId layer) {
    std::vector<FigureRecord> lines;
    for (size_t i = 0; i < corners.size(); ++i) {
        const vekhost::Point& a = corners[i];
        const vekhost::Point& b = corners[(i + 1) % corners.size()];
        lines.push_back(vekhost::Line(a.x, a.y, b.x, b.y));
    }
    return vekhost::AddSegment(lines, true, layer);
}

void ShowFigures(const std::vector<VekId>& ids) {
    for (VekId id : ids) {
        if (auto segment = vekhost::GetSegment(id)) {
            WriteOut(DescribeSegment(*segment, "    "));
        }
    }
}

std::vector<VekId> NewFigures(const std::vector<VekId>& before) {
    std::vector<VekId> added;
    for (VekId id : vekhost::Segments()) {
        if (std::find(before.begin(), before.end(), id) == before.end()) {
            added.push_back(id);
        }
    }
    return added;
}

bool ApplySettings(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string line = "  settings:";
    for (const auto& [name, value] : values) {
        if (!StoreSetting(name, value)) {
            WriteErr("vekhost: cannot store the setting " + name + "\n");
            return false;
        }
        line += " " + name + "=" + value;
    }
    WriteOut(line + "\n");
    return true;
}

// One run of the command: settings as the dialog would leave them, then the
// user's part, the figures before and after, and the summary. With
// `picture`, the run's picture is written there.
bool DemoRun(const std::string& title,
             const std::vector<std::pair<std::string, std::string>>& settings,
             vekhost::Point reference, const std::vector<VekId>& picked,
             const std::optional<std::string>& picture) {
    WriteOut("\n" + title + "\n");
    if (!ApplySettings(settings)) {
        return false;
    }
    WriteOut("  before:\n");
    ShowFigures(picked);
    const std::vector<VekId> existing = vekhost::Segments();
    const RecordedRun run = PlayAndReport(reference, picked, SegmentNaming(), {.showSteps = true});
    WriteOut("  after:\n");
    ShowFigures(NewFigures(existing));
    WriteOut("  summary:\n");
    PrintSummary(run.report, "    ");
    if (picture) {
        std::string error;
        if (!WriteAllOrNothing({{*picture, RunPicture(run, "vekhost demo: " + title)}}, error)) {
            WriteErr("vekhost: " + error + "\n");
            return false;
        }
        WriteOut("  picture: " + *picture + "\n");
    }
    return run.command.pointTaken && !run.command.reportedError;
}

std::optional<std::string> PicturePath(const std::optional<std::string>& folder, int run) {
    if (!folder) {
        return std::nullopt;
    }
    // A forward slash works on both systems and prints the same.
    return *folder + "/demo-run" + std::to_string(run) + ".svg";
}

}  // namespace

void BuildDemoDrawing() {
    vekhost::Reset();
    const VekId outlineLayer = vekhost::AddLayer("outline");
    const VekId partsLayer = vekhost::AddLayer("parts");

    // A plate outline drawn with sloppy coordinates, one corner rounded.
    figures.outline = AddPolygon({{12.34567, 20.98765},
                                  {62.3456789, 20.98765},
                                  {62.3456789, 45.6789123},
                                  {12.34567, 45.6789123}},
                                 outlineLayer);
    VekFigAddCorner(ElementAt(figures.outline, 1), ElementAt(figures.outline, 2), 0, 5.43219);

    // Figures drawn in inches: a path with an arch between two lines, a
    // square plate with one chamfered corner, and a lone hole.
    figures.path =
        vekhost::AddSegment({vekhost::Line(1.0312, 3.0007, 2.0004, 3.0007),
                             vekhost::Arc(2.5004, 3.0007, 2.0004, 3.0007, 3.0004, 3.0007, true),
                             vekhost::Line(3.0004, 3.0007, 4.0117, 3.0007)},
                            false, partsLayer);
    figures.plate = AddPolygon(
        {{1.0123, 0.5061}, {2.0123, 0.5061}, {2.0123, 1.5061}, {1.0123, 1.5061}}, partsLayer);
    VekFigAddCorner(ElementAt(figures.plate, 0), ElementAt(figures.plate, 1), 1, 0.1234);
    figures.hole =
        vekhost::AddSegment({vekhost::Circle(5.1234, 1.5678, 0.3123)}, false, partsLayer);
}

int RunDemo(const std::optional<std::string>& pictures) {
    WriteOut("The sample drawing:\n" + DescribeDrawing());
    bool ok = DemoRun("1. Three decimal places on a grid anchored at the reference point (10, 20)",
                      {{"d_point", "3"},
                       {"inchmm", "0"},
                       {"IsExploded", "0"},
                       {"Color", "0"},
                       {"mColor1", "MAINCOLOR02"},
                       {"mLType1", "LINETYPE07"}},
                      {10, 20}, {figures.outline}, PicturePath(pictures, 1));
    ok = DemoRun(
             "2. Inches to millimetres, two decimal places, converted figures marked with "
             "MAINCOLOR06 and LINETYPE03",
             {{"d_point", "2"},
              {"inchmm", "1"},
              {"IsExploded", "0"},
              {"Color", "1"},
              {"mColor1", "MAINCOLOR06"},
              {"mLType1", "LINETYPE03"}},
             {0, 0}, {figures.path, figures.plate, figures.hole}, PicturePath(pictures, 2)) &&
         ok;
    WriteOut("\nThe drawing afterwards:\n" + DescribeDrawing());
    return ok ? 0 : 1;
}

}  // namespace vekhost_tool
