#include "tools/vekhost/VekhostMain.h"

#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/Console.h"
#include "tools/vekhost/Demo.h"
#include "tools/vekhost/DrawingFile.h"
#include "tools/vekhost/DrawingText.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/HostMessages.h"
#include "tools/vekhost/ManyDrawings.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/RunOptions.h"
#include "tools/vekhost/RunSteps.h"
#include "tools/vekhost/Serve.h"
#include "tools/vekhost/SettingValues.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/TextConvert.h"
#include "platform/veklib/VekHost.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using namespace vekhost_tool;

namespace {

const char* const kUsage =
    "Usage:\n"
    "  vekhost demo [--pictures FOLDER]\n"
    "      Runs the command on a built-in sample drawing and prints each figure\n"
    "      before and after, and a summary of each run; with --pictures, writes\n"
    "      FOLDER/demo-run1.svg and demo-run2.svg. Your own settings are not touched.\n"
    "  vekhost run DRAWING.json --ref X,Y [--select all|ID[,ID...]]\n"
    "              [--set NAME=VALUE]... -o OUT.json\n"
    "              [--report REPORT.json|REPORT.csv] [--svg PICTURE.svg] [--list]\n"
    "              [--keep-going]\n"
    "  vekhost run DRAWING.dxf --ref X,Y\n"
    "              [--select all|layer:NAME[,NAME...]|handle:H[,H...]]\n"
    "              [--no-join | --join-tolerance REL] [--set NAME=VALUE]... -o OUT.dxf\n"
    "              [--report REPORT.json|REPORT.csv] [--svg PICTURE.svg] [--list]\n"
    "              [--keep-going]\n"
    "      Runs the command on the drawing: gives the reference point X,Y, picks\n"
    "      the listed figures (all by default), writes the resulting drawing to\n"
    "      OUT and prints a summary: figures converted or left untouched,\n"
    "      elements, the largest movement, gaps opened, corners and arcs whose\n"
    "      radius had to change. Each --set changes a setting for this run\n"
    "      alone; the others are the stored ones, and the stored settings are\n"
    "      left as they were. NAME=VALUE is one of d_point=N (a whole number;\n"
    "      the dialog offers 1 to 5), inchmm=0|1|2, IsExploded=0|1, Color=0|1,\n"
    "      mColor1=MAINCOLOR01..16, mLType1=LINETYPE01..10.\n"
    "      --report  one record per picked figure (JSON or CSV, by the extension)\n"
    "      --svg     a picture of the drawing before and after, movements marked\n"
    "      --list    also the command's steps and every figure before and after\n"
    "      --keep-going, -k  when the command stops at a figure, leave that figure\n"
    "                as it was, say so, and go on with the others (else nothing\n"
    "                is written)\n"
    "      More figures than one run of the command takes (3000) are picked in\n"
    "      turns, one run each; the summary says how many runs were made.\n"
    "      A figure of more elements than the command takes (2999) is left as\n"
    "      it was and listed; picked by name, it is refused.\n"
    "      A DXF drawing (the name ends in .dxf) is converted in place: each\n"
    "      LWPOLYLINE or 2-D POLYLINE and each CIRCLE of the model space is a\n"
    "      figure, and LINE and ARC entities of one layer that meet end to end\n"
    "      are chained into one. OUT.dxf is the drawing with those figures\n"
    "      converted, every other byte as it was; what was left alone is listed.\n"
    "      --select layer:NAME,... or handle:H,... picks the figures on those\n"
    "      layers, or those holding those entities.\n"
    "      --join-tolerance  ends join when closer than REL times the shorter\n"
    "                entity's length (default 1e-6); --no-join chains nothing\n"
    "  vekhost run DRAWING... --out-dir DIR [-j N] --ref X,Y [the options above\n"
    "              but -o, --svg and --list]\n"
    "      Converts each drawing into DIR under its own name, as a run of it\n"
    "      alone would, N at a time (one per core by default), and prints one\n"
    "      summary; --report writes one report with a column for the drawing.\n"
    "      Two drawings of one name are refused.\n"
    "      --force   replaces an output the user may not write (read-only)\n"
    "  vekhost settings [--set NAME=VALUE]...\n"
    "      Starts the command and presses the confirm key, which opens the\n"
    "      settings dialog (Windows build); then shows the stored settings.\n"
    "      With --set, stores those settings for later runs instead, checked\n"
    "      as for run.\n"
    "  vekhost serve [--port N] [FOLDER]\n"
    "      Serves FOLDER (the built page: build/wasm/page) to this computer only,\n"
    "      at http://127.0.0.1:N/ (8080 by default, 0 any free port), until\n"
    "      Ctrl-C; open that address in a browser.\n"
    "  vekhost --help\n"
    "\n"
    "The plug-in is loaded from the folder that holds vekhost.\n"
    "Exit status: 0 done; 1 the input could not be read (a DXF drawing's fault\n"
    "is given with its line), a figure or layer picked is not in it or is too\n"
    "large for the command, the plug-in could not be loaded or registered,\n"
    "the command reported an error, or an output could not be written or is\n"
    "write-protected (then no file is written: OUT, the report and the\n"
    "picture are left as they were); with several drawings, any of them\n"
    "failed (each is named, the others are written); 2 bad arguments.\n";

void ShowStoredSettings(const std::string& heading) {
    WriteOut(heading + " (" + SettingsLocation() + "):\n");
    for (const std::string& name : SettingNames()) {
        const auto value = StoredSetting(name);
        WriteOut("  " + name + " = " + (value ? "\"" + *value + "\"" : "(not set)") + "\n");
    }
}

int Demo(const std::vector<std::string>& args) {
    std::optional<std::string> pictures;
    if (args.size() == 2 && args[0] == "--pictures") {
        pictures = args[1];
    } else if (!args.empty()) {
        return UsageError("demo takes no arguments but --pictures FOLDER");
    }
    ScratchSettings scratch;
    if (!scratch.Ok()) {
        return Failure("cannot set up a scratch settings store for the demo");
    }
    BuildDemoDrawing();
    Plugin plugin;
    std::string error;
    if (!StartPlugin(plugin, error)) {
        return Failure(error);
    }
    const int status = RunDemo(pictures);
    vekhost::Reset();
    return status;
}

std::string NamesText(const std::vector<OutputFile>& files) {
    std::string text;
    for (size_t i = 0; i < files.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == files.size() ? " and " : ", ") + files[i].name;
    }
    return text;
}

// " (MESSAGE, at FIGURE)": the first error the host showed, where it showed it.
std::string FirstError(const RunReport& report) {
    if (const auto& first = report.summary.firstMessage) {
        return " (" + Explained(first->first) + ", at " + first->second + ")";
    }
    for (const std::string& message : report.hostMessages) {
        if (!IsFinalCount(Utf8ToUtf16(message).value_or(u""))) {
            return " (" + Explained(message) + ")";
        }
    }
    return "";
}

std::string NotWritten(const std::vector<OutputFile>& files) {
    return "; " + NamesText(files) + (files.size() == 1 ? " was" : " were") + " not written";
}

// Why the command's play failed: the first error it showed, where, and the
// figures of the run that stopped when there were several runs.
std::string CommandFailure(const RecordedRun& run, size_t picked) {
    std::string text = "the command reported an error" + FirstError(run.report);
    const auto failed = run.command.failedBatch;
    if (failed && failed->second - failed->first < picked) {
        const auto [first, last] = *failed;
        text += " in run " + std::to_string(run.command.commands) +
                " of the command, given figures " + std::to_string(first + 1) + " to " +
                std::to_string(last) + " of " + std::to_string(picked);
    }
    return text;
}

// Plays the command over the picked figures, saying what it did: the drawing
// before and after (--list), the summary and what was left as it was.
RecordedRun PlayAndSay(const RunOptions& options, DrawingFile& drawing,
                       const std::vector<VekId>& picked) {
    if (options.list) {
        ShowStoredSettings("Settings");
        WriteOut("Before:\n" + DescribeDrawing());
    }
    const bool picture = !options.picture.empty();
    const RunNeeds needs{.showSteps = options.list,
                         .keepGoing = options.keepGoing,
                         .figures = options.reportFormat.has_value() || picture,
                         .picture = picture,
                         // A run among many leaves the other cores to the others.
                         .overlap = options.summaryFile.empty()};
    RecordedRun run = PlayAndReport(*options.reference, picked, drawing.Naming(), needs,
                                    drawing.WriteBackSink(picked), drawing.Staging());
    if (options.list) {
        WriteOut("After:\n" + DescribeDrawing());
    }
    for (const std::string& line : drawing.Overview()) {
        WriteOut(line + "\n");
    }
    PrintSummary(run.report);
    for (const std::string& line : drawing.LeftAlone(picked)) {
        WriteOut(line + "\n");
    }
    return run;
}

// The files a run writes: the drawing, then the report and the picture when
// asked for.
std::vector<OutputFile> OutputsOf(const RunOptions& options) {
    std::vector<OutputFile> files = {{options.output, ""}};
    if (options.reportFormat) {
        files.push_back({options.report, ""});
    }
    if (!options.picture.empty()) {
        files.push_back({options.picture, ""});
    }
    return files;
}

void FillOutputs(std::vector<OutputFile>& files, const RunOptions& options, const RecordedRun& run,
                 const DrawingFile& drawing) {
    files[0].write = [&drawing](std::ostream& out) { drawing.WriteTo(out); };
    if (options.reportFormat) {
        files[1].text = ReportText(run.report, *options.reportFormat);
    }
    if (!options.picture.empty()) {
        const std::string name = PathText(PathFromUtf8(options.Drawing()).filename());
        files.back().text = RunPicture(run, "vekhost run " + name);
    }
}

// Read, pick the figures, start the plug-in, play the command, write back:
// everything that can refuse the input comes before anything is changed, and
// nothing is written unless all of it went through.
int Run(const std::vector<std::string>& args) {
    const OptionsRead read = ReadRunOptions(args);
    if (!read.options) {
        return read.status == kExitUsage ? UsageError(read.refusal) : Failure(read.refusal);
    }
    const RunOptions& options = *read.options;
    if (!options.outFolder.empty()) {
        return RunMany({options.drawings, options.outFolder, options.jobs, options.report,
                        PassedOnArguments(args)});
    }
    vekhost::Reset();
    std::unique_ptr<DrawingFile> drawing;
    try {
        drawing = ReadDrawingFile(options);
    } catch (const DrawingError& e) {
        return Failure(e.what());
    }
    // The drawing is held in the host whole only where the run shows it
    // whole: listed before and after, or drawn.
    drawing->LoadIntoHost(options.list || !options.picture.empty());
    std::string error;
    const auto picked = drawing->Pick(error);
    if (!picked) {
        return Failure(error);
    }
    // The run's own copy of the settings, which outlives the plug-in.
    const auto runSettings = StoreRunSettings(options.settings, error);
    Plugin plugin;
    if (!runSettings || !StartPlugin(plugin, error)) {
        return Failure(error);
    }
    const RecordedRun run = PlayAndSay(options, *drawing, *picked);
    std::vector<OutputFile> files = OutputsOf(options);
    if (!run.command.pointTaken || run.command.reportedError) {
        return Failure(CommandFailure(run, picked->size()) + NotWritten(files));
    }
    if (!drawing->TakeResult(run, error)) {
        return Failure(error + NotWritten(files));
    }
    for (const std::string& note : drawing->Notes()) {
        WriteOut("Note: " + note + "\n");
    }
    FillOutputs(files, options, run, *drawing);
    if (!options.summaryFile.empty()) {
        files.push_back({options.summaryFile, RunSummaryJson(run.report)});
    }
    if (!WriteAllOrNothing(files, error, WriteOptions{options.force})) {
        return Failure(error);
    }
    WriteOut("Written to " + NamesText(files) + "\n");
    return kExitOk;
}

int Settings(const std::vector<std::string>& args) {
    std::string error;
    if (!args.empty()) {
        const auto settings = SetArguments(args, error);
        if (!settings) {
            return UsageError(error);
        }
        WarnOfUnusualSettings(*settings);
        if (!StoreSettings(*settings, error)) {
            return Failure(error);
        }
        ShowStoredSettings("Stored settings");
        return kExitOk;
    }
    if (!OpenPersistentSettings(error)) {
        return Failure(error);
    }
    vekhost::Reset();
    Plugin plugin;
    if (!StartPlugin(plugin, error)) {
        return Failure(error);
    }
    WriteOut("  > start the command\n");
    vekhost::StartCommand();
    PrintHostMessages();
    WriteOut("  > press the confirm key\n");
#ifndef _WIN32
    WriteOut("  (this build has no windowing platform: the settings dialog cannot open)\n");
#endif
    const int32_t answer = vekhost::PressConfirm();
    PrintHostMessages();
    WriteOut("  the command answered " + std::to_string(answer) + "\n");
    WriteOut("  > end the command\n");
    vekhost::EndCommand();
    PrintHostMessages();
    ShowStoredSettings("Stored settings");
    return answer == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int vekhost_tool::VekhostMain(const std::vector<std::string>& args) {
    if (args.empty()) {
        return UsageError("no command given");
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            WriteOut(kUsage);
            return kExitOk;
        }
        if (command == "demo") {
            return Demo(rest);
        }
        if (command == "run") {
            return Run(rest);
        }
        if (command == "settings") {
            return Settings(rest);
        }
        if (command == "serve") {
            return Serve(rest);
        }
    } catch (const std::exception& e) {
        return Failure(std::string("unexpected failure: ") + e.what());
    }
    return UsageError("unknown command '" + command + "'");
}
