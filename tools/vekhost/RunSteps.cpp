#include "tools/vekhost/RunSteps.h"

#include "tools/vekhost/Console.h"
#include "tools/vekhost/OrderedWorker.h"
#include "tools/vekhost/Progress.h"
#include "tools/vekhost/ReportCsv.h"
#include "tools/vekhost/ReportJson.h"
#include "tools/vekhost/RunRecorder.h"
#include "tools/vekhost/SettingValues.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/SvgPicture.h"
#include "state/CommandState.h"
#include "settings/Settings.h"

#include <cctype>
#include <set>
#include <thread>
#include <unordered_map>

#ifdef __linux__
#include <sched.h>
#endif

namespace vekhost_tool {

std::optional<std::vector<VekId>> PickFigures(const std::optional<std::vector<VekId>>& selection,
                                              const std::string& drawingName, std::string& error) {
    if (!selection) {
        return vekhost::Segments();
    }
    std::set<VekId> seen;
    for (VekId id : *selection) {
        if (!vekhost::HasSegment(id)) {
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

std::unique_ptr<ScratchSettings> StoreRunSettings(const SettingList& settings, std::string& error) {
    WarnOfUnusualSettings(settings);
    auto copy = std::make_unique<ScratchSettings>(ScratchSettings::Start::CopyOfStored);
    if (!copy->Ok()) {
        error = copy->Error();
        return nullptr;
    }
    for (const auto& [name, value] : settings) {
        if (!StoreSetting(name, value)) {
            error = "cannot set " + name + " in " + SettingsLocation();
            return nullptr;
        }
    }
    return copy;
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

namespace {

// Whether this process may run on more than one core: the machine's cores,
// less those it is kept off (taskset, a container's share).
bool SecondCore() {
#ifdef __linux__
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
        return CPU_COUNT(&cores) > 1;
    }
#endif
    return std::thread::hardware_concurrency() > 1;
}

// Reports on the picked figures run by run: takes each run's figures as
// they are before it starts (staged into the host first, when the drawing
// is), and what the host holds of them once it has ended. They are measured
// and handed to the sink while the next run plays, when nothing of that
// reads the host: for a staged drawing, whose figures are named from its
// file and written back into it. That costs some CPU time (the caches'
// traffic between the cores) and takes much of a run's own work off the wait.
class RunReporter {
public:
    RunReporter(vekhost::Point reference, const std::vector<VekId>& picked,
                const FigureNaming& naming, const RunNeeds& needs, const FigureSink& sink,
                const RunStaging& staging)
        : reference_(reference),
          picked_(picked),
          naming_(naming),
          needs_(needs),
          sink_(sink),
          staging_(staging),
          recorder_(picked, needs.picture),
          before_(picked.size()),
          behind_(needs.overlap && staging.load && SecondCore()) {}

    RunRecorder& Recorder() { return recorder_; }

    void Before(size_t first, size_t count) {
        if (staging_.load) {
            staging_.load({picked_.begin() + static_cast<std::ptrdiff_t>(first),
                           picked_.begin() + static_cast<std::ptrdiff_t>(first + count)});
        }
        for (size_t p = first; p < first + count; ++p) {
            if (auto segment = vekhost::GetSegment(picked_[p])) {
                before_[p] = std::move(*segment);
            }
        }
    }

    void After(size_t first, size_t count, const CommandResult& sofar) {
        for (size_t r = refusedSeen_; r < sofar.refused.size(); ++r) {
            refused_.emplace(sofar.refused[r].figure, sofar.refused[r].message);
        }
        refusedSeen_ = sofar.refused.size();
        if (!report_) {
            // As the plug-in read them when the run started.
            report_ = StartRunReport(CurrentRunSettings(reference_), naming_);
        }
        std::vector<Ended> ended;
        ended.reserve(count);
        for (size_t p = first; p < first + count; ++p) {
            if (std::optional<Ended> figure = Take(p)) {
                ended.push_back(std::move(*figure));
            }
        }
        reported_ = first + count;
        if (staging_.unload) {
            staging_.unload();
        }
        behind_.Post([this, ended = std::move(ended)]() mutable {
            for (Ended& figure : ended) {
                Report(figure);
            }
        });
    }

    // The figures no run reached, as they are, and how the run ended.
    RunReport Finish(const CommandResult& command) {
        Before(reported_, picked_.size() - reported_);
        After(reported_, picked_.size() - reported_, command);
        behind_.Drain();
        RunRecording recording = recorder_.Finish();
        FinishRunReport(*report_, recording, command);
        drawingBefore_ = std::move(recording.drawingBefore);
        return std::move(*report_);
    }

    std::vector<vekhost::Segment> DrawingBefore() { return std::move(drawingBefore_); }

private:
    // A picked figure whose run has ended, with all that is known of it.
    struct Ended {
        vekhost::Segment before;
        FigureCalls calls;
        FigureOutcome outcome;
        std::optional<std::string> refused;  // the host's message
    };

    std::optional<Ended> Take(size_t p) {
        vekhost::Segment before = std::move(before_[p]);
        before_[p] = {};
        if (before.id == VEK_NONE) {
            return std::nullopt;  // not a figure of the drawing
        }
        FigureCalls calls = recorder_.Take(before.id);
        FigureOutcome outcome = TakeOutcome(before, calls);
        std::optional<std::string> refused;
        if (const auto it = refused_.find(before.id); it != refused_.end()) {
            refused = it->second;
        }
        return Ended{std::move(before), std::move(calls), std::move(outcome), std::move(refused)};
    }

    void Report(Ended& ended) {
        FigureReport figure =
            ReportFigure(ended.before, ended.calls, std::move(ended.outcome), report_->settings,
                         naming_.arcsAtFoundRadius, needs_.picture);
        if (ended.refused) {
            MarkRefused(figure, *ended.refused);
        }
        if (sink_) {
            sink_(figure, report_->settings);
        }
        if (figure.after) {
            // No report keeps them: they go back with the job, to be freed
            // where they were made.
            ended.outcome.elements = std::move(*figure.after);
            figure.after.reset();
        }
        AddFigure(*report_, std::move(figure), ended.before, naming_, needs_.figures);
    }

    const vekhost::Point reference_;
    const std::vector<VekId>& picked_;
    const FigureNaming& naming_;
    const RunNeeds needs_;
    const FigureSink& sink_;
    const RunStaging& staging_;
    RunRecorder recorder_;
    std::vector<vekhost::Segment> before_;  // by position in `picked_`, until reported
    std::optional<RunReport> report_;
    size_t reported_ = 0;
    std::vector<vekhost::Segment> drawingBefore_;
    // The figures the play went on without, with the host's message.
    std::unordered_map<VekId, std::string> refused_;
    size_t refusedSeen_ = 0;
    // Last, so that its work ends before what it works on goes.
    OrderedWorker behind_;
};

}  // namespace

RecordedRun PlayAndReport(vekhost::Point reference, const std::vector<VekId>& picked,
                          const FigureNaming& naming, const RunNeeds& needs, const FigureSink& sink,
                          const RunStaging& staging) {
    RecordedRun run;
    RunReporter reporter(reference, picked, naming, needs, sink, staging);
    {
        Progress progress("Converting figures");
        reporter.Recorder().OnFigure(
            [&progress](size_t reached, size_t total) { progress.Update(reached, total); });
        RunHooks hooks;
        hooks.before = [&reporter](size_t first, size_t count) { reporter.Before(first, count); };
        hooks.after = [&reporter](size_t first, size_t count, const CommandResult& sofar) {
            reporter.After(first, count, sofar);
        };
        run.command = PlayCommand(reference, picked,
                                  {.showSteps = needs.showSteps,
                                   .keepGoing = needs.keepGoing,
                                   .elementsOf = staging.elements},
                                  hooks);
    }
    run.report = reporter.Finish(run.command);
    run.before = reporter.DrawingBefore();
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
