#include "tools/vekhost/RunSteps.h"

#include "tools/vekhost/Console.h"
#include "tools/vekhost/Progress.h"
#include "tools/vekhost/ReportCsv.h"
#include "tools/vekhost/ReportJson.h"
#include "tools/vekhost/RunRecorder.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/SvgPicture.h"
#include "state/CommandState.h"
#include "settings/Settings.h"

#include <cctype>
#include <set>

namespace vekhost_tool {

std::optional<std::vector<VekId>> PickFigures(const std::optional<std::vector<VekId>>& selection,
                                              const std::string& drawingName, std::string& error) {
    if (!selection) {
        return vekhost::Segments();
    }
    std::set<VekId> seen;
    for (VekId id : *selection) {
        if (!vekhost::GetSegment(id)) {
            error = drawingName + " has no figure " + std::to_string(id);
            return std::nullopt;
        }
        if (!seen.insert(id).second) {
            error = "figure " + std::to_string(id) + " is picked twice";
            return std::nullopt;
        }
    }
    return *selection;
}

bool StoreRunSettings(const std::vector<std::pair<std::string, std::string>>& settings,
                      std::string& error) {
    if (!OpenPersistentSettings(error)) {
        return false;
    }
    for (const auto& [name, value] : settings) {
        if (!StoreSetting(name, value)) {
            error = "cannot store the setting " + name + " in " + SettingsLocation();
            return false;
        }
    }
    return true;
}

bool StartPlugin(Plugin& plugin, std::string& error) {
    if (!plugin.Load(PluginBesideExecutable(), error)) {
        return false;
    }
    const int32_t result = plugin.Startup()(0, 0, 0, 0);
    if (result != 0) {
        error = "the plug-in did not register its command (Startup returned " +
                std::to_string(result) + ")";
        return false;
    }
    return true;
}

RunSettings CurrentRunSettings(vekhost::Point reference) {
    // The same reading as the plug-in's at the start of the command.
    LoadSettings();
    RunSettings settings;
    settings.reference = reference;
    settings.decimals = ActiveSettings.d_point;
    settings.unitMode = ActiveSettings.inchmm;
    settings.exploded = ActiveSettings.IsExploded != 0;
    settings.color = ActiveSettings.Color;
    settings.colorName = StoredSetting("mColor1").value_or("");
    settings.lineTypeName = StoredSetting("mLType1").value_or("");
    return settings;
}

RecordedRun PlayAndReport(vekhost::Point reference, const std::vector<VekId>& picked,
                          const FigureNaming& naming, const PlayOptions& play, bool forPicture) {
    RecordedRun run;
    RunRecorder recorder(picked);
    {
        Progress progress("Converting figures");
        recorder.OnFigure(
            [&progress](size_t reached, size_t total) { progress.Update(reached, total); });
        run.command = PlayCommand(reference, picked, play);
    }
    RunRecording recording = recorder.Finish();
    run.report =
        BuildRunReport(recording, CurrentRunSettings(reference), naming, run.command, forPicture);
    if (forPicture) {
        run.before = std::move(recording.drawingBefore);
    }
    return run;
}

void PrintSummary(const RunReport& report, const std::string& indent) {
    std::string text;
    for (const std::string& line : SummaryLines(report)) {
        text += indent + line + "\n";
    }
    WriteOut(text);
}

std::optional<ReportFormat> ReportFormatOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos) {
        return std::nullopt;
    }
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (extension == "json") {
        return ReportFormat::Json;
    }
    if (extension == "csv") {
        return ReportFormat::Csv;
    }
    return std::nullopt;
}

std::string ReportText(const RunReport& report, ReportFormat format) {
    return format == ReportFormat::Json ? ReportJson(report) : ReportCsv(report);
}

std::string RunPicture(const RecordedRun& run, const std::string& title) {
    std::vector<vekhost::Segment> after = CurrentDrawing();
    if (run.report.arcsAtFoundRadius) {
        // Drawn as the file holds them: at the radius that found the centre.
        const auto found = RadiiFound(run.report);
        for (vekhost::Segment& segment : after) {
            for (vekhost::Element& element : segment.elements) {
                if (const auto it = found.find(element.id); it != found.end()) {
                    element.figure.size = it->second;
                }
            }
        }
    }
    return SvgPicture(run.report, run.before, after, title);
}

}  // namespace vekhost_tool
