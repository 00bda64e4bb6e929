// The steps of a run that do not depend on the drawing's file format:
// playing the command while recording it, reporting on it and making its
// report and picture. A format brings the loading, the naming of figures and
// the writing of the drawing (JSON: Main.cpp).
#pragma once

#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/RunReport.h"
#include "tools/vekhost/SettingsAccess.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vekhost_tool {

// The figures to pick in the drawing loaded: `selection` in its order, or
// every figure. Empty, with the reason, for a figure the drawing (named
// `drawingName` in messages) does not have or one given twice.
std::optional<std::vector<VekId>> PickFigures(const std::optional<std::vector<VekId>>& selection,
                                              const std::string& drawingName, std::string& error);

// Gives this run a copy of the user's stored settings with each NAME=VALUE
// (checked by CheckSetting) set in it as the settings dialog would set it,
// warning of values the dialog does not offer. The plug-in reads the copy as
// long as the object returned lives; the stored settings are left as they
// were. Null, with the reason, when the copy cannot be made.
[[nodiscard]] std::unique_ptr<ScratchSettings> StoreRunSettings(const SettingList& settings,
                                                                std::string& error);

// Loads the plug-in beside the program and calls its entry.
bool StartPlugin(Plugin& plugin, std::string& error);

// The settings as the plug-in reads them from the store now, with the
// reference point given.
RunSettings CurrentRunSettings(vekhost::Point reference);

struct RecordedRun {
    CommandResult command;
    std::vector<vekhost::Segment> before;  // the drawing before the run
    RunReport report;
};

// What a run is asked to show beyond its summary.
struct RunNeeds {
    bool showSteps = false;  // print the command's steps (--list)
    bool keepGoing = false;  // play on past a figure the command stops at (--keep-going)
    bool figures = true;     // keep every figure's report (--report, --svg, --list)
    bool picture = true;     // keep the drawing before and every point that moved (--svg)
    // Measure and write back a staged drawing's figures on a second core
    // while the next run plays, when the machine has one to spare.
    bool overlap = true;
};

// How the drawing's figures reach the host run by run. For a drawing too
// large to hold in the host at once, `load` adds the figures of one run of
// the command just before it, `unload` takes everything out of the host
// once the run has been reported; both are empty for a drawing the host
// holds whole. `elements` tells each figure's count of elements, so that no
// run is given more than its share of memory (PlayOptions).
struct RunStaging {
    std::function<void(const std::vector<VekId>& figures)> load;
    std::function<void()> unload;
    std::function<std::size_t(VekId figure)> elements;
};

// Told each picked figure's report once its run of the command is over, in
// picking order, with the settings of the run (the DXF write-back).
using FigureSink = std::function<void(const FigureReport&, const RunSettings&)>;

// Plays the command over `picked`, showing progress on a terminal when it
// takes long, and reports on what became of each picked figure: each
// figure is measured as soon as its run of the command is over and handed
// to `sink`, then kept only as far as `needs` asks.
RecordedRun PlayAndReport(vekhost::Point reference, const std::vector<VekId>& picked,
                          const FigureNaming& naming, const RunNeeds& needs,
                          const FigureSink& sink = {}, const RunStaging& staging = {});

// Prints the summary, each line after `indent`.
void PrintSummary(const RunReport& report, const std::string& indent = "");

enum class ReportFormat { Json, Csv };
// From the file name's extension (.json, .csv, any letter case).
std::optional<ReportFormat> ReportFormatOf(const std::string& path);
std::string ReportText(const RunReport& report, ReportFormat format);

// The picture of a recorded run against the drawing as it is now.
std::string RunPicture(const RecordedRun& run, const std::string& title);

}  // namespace vekhost_tool
