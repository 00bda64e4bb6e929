// vekhost: a command-line host for the plug-in. It loads the plug-in from its
// own folder as a CAD host does, calls its entry, and plays the user through
// the command on the stand-in host, printing what the host shows.
#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/Console.h"
#include "tools/vekhost/Demo.h"
#include "tools/vekhost/DrawingText.h"
#include "tools/vekhost/DxfDrawing.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/HostMessages.h"
#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/RunSteps.h"
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

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

using namespace vekhost_tool;

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

const char* const Usage =
    "Usage:\n"
    "  vekhost demo [--pictures FOLDER]\n"
    "      Runs the command on a built-in sample drawing and prints each figure\n"
    "      before and after, and a summary of each run; with --pictures, writes\n"
    "      FOLDER/demo-run1.svg and demo-run2.svg. Your own settings are not touched.\n"
    "  vekhost run DRAWING.json --ref X,Y [--select all|ID[,ID...]]\n"
    "              [--set NAME=VALUE]... -o OUT.json\n"
    "              [--report REPORT.json|REPORT.csv] [--svg PICTURE.svg] [--list]\n"
    "  vekhost run DRAWING.dxf --ref X,Y\n"
    "              [--select all|layer:NAME[,NAME...]|handle:H[,H...]]\n"
    "              [--no-join | --join-tolerance REL] [--set NAME=VALUE]... -o OUT.dxf\n"
    "              [--report REPORT.json|REPORT.csv] [--svg PICTURE.svg] [--list]\n"
    "      Runs the command on the drawing: gives the reference point X,Y, picks\n"
    "      the listed figures (all by default), writes the resulting drawing to\n"
    "      OUT and prints a summary: figures converted or left untouched,\n"
    "      elements, the largest movement, gaps opened, corners and arcs whose\n"
    "      radius had to change. Each --set stores a setting before the command\n"
    "      starts, as the settings dialog would; the others keep their stored\n"
    "      values. NAME is one of d_point, inchmm, IsExploded, Color, mColor1,\n"
    "      mLType1.\n"
    "      --report  one record per picked figure (JSON or CSV, by the extension)\n"
    "      --svg     a picture of the drawing before and after, movements marked\n"
    "      --list    also the command's steps and every figure before and after\n"
    "      A DXF drawing (the name ends in .dxf) is converted in place: each\n"
    "      LWPOLYLINE or 2-D POLYLINE and each CIRCLE of the model space is a\n"
    "      figure, and LINE and ARC entities of one layer that meet end to end\n"
    "      are chained into one. OUT.dxf is the drawing with those figures\n"
    "      converted, every other byte as it was; what was left alone is listed.\n"
    "      --select layer:NAME,... or handle:H,... picks the figures on those\n"
    "      layers, or those holding those entities.\n"
    "      --join-tolerance  ends join when closer than REL times the shorter\n"
    "                entity's length (default 1e-6); --no-join chains nothing\n"
    "  vekhost settings\n"
    "      Starts the command and presses the confirm key, which opens the\n"
    "      settings dialog (Windows build); then shows the stored settings.\n"
    "  vekhost --help\n"
    "\n"
    "The plug-in is loaded from the folder that holds vekhost.\n"
    "Exit status: 0 done; 1 the input could not be read (a DXF drawing's fault\n"
    "is given with its line), a figure or layer picked is not in it, the\n"
    "plug-in could not be loaded or registered, or the command reported an\n"
    "error (then no file is written: OUT, the report and the picture are left\n"
    "as they were); 2 bad arguments.\n";

int UsageError(const std::string& message) {
    WriteErr("vekhost: " + message + "\nTry 'vekhost --help'.\n");
    return ExitUsage;
}

int Failure(const std::string& message) {
    WriteErr("vekhost: " + message + "\n");
    return ExitFailed;
}

// A finite decimal number, nothing before or after it; a leading '+' is
// allowed. Read by std::from_chars, the same code on every target.
std::optional<double> ParseNumber(const std::string& text) {
    const char* first = text.data();
    const char* const last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-') {
        ++first;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc{} || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<vekhost::Point> ParsePoint(const std::string& text) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) {
        return std::nullopt;
    }
    const auto x = ParseNumber(text.substr(0, comma));
    const auto y = ParseNumber(text.substr(comma + 1));
    if (!x || !y) {
        return std::nullopt;
    }
    return vekhost::Point{*x, *y};
}

std::optional<std::vector<VekId>> ParseIds(const std::string& text) {
    std::vector<VekId> ids;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty() || item.size() > 9 ||
            item.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        ids.push_back(static_cast<VekId>(std::stol(item)));
        if (comma == std::string::npos) {
            return ids;
        }
        start = comma + 1;
    }
}

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

struct RunOptions {
    std::string drawing;
    std::optional<vekhost::Point> reference;
    std::string select = "all";                   // as given
    std::optional<std::vector<VekId>> selection;  // JSON: empty for every figure
    std::optional<DxfSelection> dxfSelection;     // DXF
    JoinOptions join;
    bool joinGiven = false;
    std::vector<std::pair<std::string, std::string>> settings;
    std::string output;
    std::string report;
    std::optional<ReportFormat> reportFormat;
    std::string picture;
    bool list = false;
};

// Parses the arguments of `run`; an exit status when they are refused.
std::optional<int> ParseRunOptions(const std::vector<std::string>& args, RunOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--list") {
            options.list = true;
        } else if (arg == "--no-join") {
            options.join.join = false;
            options.joinGiven = true;
        } else if (arg == "--ref" || arg == "--select" || arg == "--set" || arg == "-o" ||
                   arg == "--output" || arg == "--report" || arg == "--svg" ||
                   arg == "--join-tolerance") {
            if (!hasValue) {
                return UsageError(arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "--ref") {
                options.reference = ParsePoint(value);
                if (!options.reference) {
                    return UsageError("--ref wants two numbers X,Y, not '" + value + "'");
                }
            } else if (arg == "--select") {
                options.select = value;
            } else if (arg == "--join-tolerance") {
                const auto tolerance = ParseNumber(value);
                if (!tolerance || *tolerance < 0) {
                    return UsageError("--join-tolerance wants a number of 0 or more, not '" +
                                      value + "'");
                }
                options.join.tolerance = *tolerance;
                options.joinGiven = true;
            } else if (arg == "--set") {
                const size_t equals = value.find('=');
                const auto name = CanonicalSettingName(value.substr(0, equals));
                if (equals == std::string::npos || !name) {
                    return UsageError(
                        "--set wants NAME=VALUE with NAME one of d_point, inchmm, "
                        "IsExploded, Color, mColor1, mLType1, not '" +
                        value + "'");
                }
                const std::string text = value.substr(equals + 1);
                const auto wide = Utf8ToUtf16(text);
                // Longer texts cannot be read back by the settings store.
                if (!wide || wide->size() > 126) {
                    return UsageError("the value of " + *name +
                                      " must be UTF-8 text of at most 126 characters");
                }
                options.settings.emplace_back(*name, text);
            } else if (arg == "--report") {
                options.reportFormat = ReportFormatOf(value);
                if (!options.reportFormat) {
                    return UsageError("--report wants a file name ending in .json or .csv, not '" +
                                      value + "'");
                }
                options.report = value;
            } else if (arg == "--svg") {
                options.picture = value;
            } else {
                options.output = value;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else if (options.drawing.empty()) {
            options.drawing = arg;
        } else {
            return UsageError("more than one drawing given ('" + options.drawing + "' and '" + arg +
                              "')");
        }
    }
    if (options.drawing.empty()) {
        return UsageError("run needs a drawing file");
    }
    if (!options.reference) {
        return UsageError("run needs the reference point (--ref X,Y)");
    }
    const bool dxf = IsDxfName(options.drawing);
    if (options.output.empty()) {
        return UsageError(dxf ? "run needs an output file (-o OUT.dxf)"
                              : "run needs an output file (-o OUT.json)");
    }
    if (dxf != IsDxfName(options.output)) {
        return UsageError(dxf ? "a DXF drawing is written as DXF: -o wants a name ending in .dxf"
                              : "a JSON drawing cannot be written as DXF");
    }
    if (dxf) {
        options.dxfSelection = ParseDxfSelection(options.select);
        if (!options.dxfSelection) {
            return UsageError(
                "--select wants 'all', 'layer:NAME[,NAME...]' or 'handle:H[,H...]' for a DXF "
                "drawing, not '" +
                options.select + "'");
        }
    } else {
        if (options.joinGiven) {
            return UsageError("--no-join and --join-tolerance are for DXF drawings");
        }
        if (options.select != "all") {
            options.selection = ParseIds(options.select);
            if (!options.selection) {
                return UsageError("--select wants 'all' or figure numbers such as 1,4,7, not '" +
                                  options.select + "'");
            }
        }
    }
    // One file for two outputs would keep only the last; the drawing read is
    // kept apart from the report and the picture (the output may replace it).
    const std::vector<std::pair<const char*, std::string>> files = {
        {"the drawing", options.drawing},
        {"-o", options.output},
        {"--report", options.report},
        {"--svg", options.picture}};
    for (size_t i = 1; i < files.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            const bool outputOverDrawing = i == 1 && j == 0;
            if (!outputOverDrawing && !files[i].second.empty() && !files[j].second.empty() &&
                std::filesystem::absolute(PathFromUtf8(files[i].second)).lexically_normal() ==
                    std::filesystem::absolute(PathFromUtf8(files[j].second)).lexically_normal()) {
                return UsageError(std::string(files[i].first) + " and " + files[j].first +
                                  " name the same file '" + files[i].second + "'");
            }
        }
    }
    return std::nullopt;
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

int Run(const std::vector<std::string>& args) {
    RunOptions options;
    if (const auto refused = ParseRunOptions(args, options)) {
        return *refused;
    }

    // Everything that can refuse the input comes before anything is changed.
    std::string text;
    std::string error;
    if (!ReadWholeFile(PathFromUtf8(options.drawing), text, error)) {
        return Failure("cannot read " + options.drawing + ": " + error);
    }
    vekhost::Reset();
    std::optional<DxfDrawing> dxf;
    if (options.dxfSelection) {
        try {
            dxf.emplace(std::move(text), options.join);
        } catch (const dxf::ParseError& e) {
            return Failure(options.drawing + " is not a readable DXF drawing: " + e.what());
        }
        dxf->LoadIntoHost();
    } else {
        try {
            vekhost::FromJson(text);
        } catch (const std::exception& e) {
            return Failure(options.drawing + " is not a drawing file: " + e.what());
        }
        std::string().swap(text);  // the drawing holds it all now
    }
    const auto picked = dxf ? dxf->Pick(*options.dxfSelection, options.drawing, error)
                            : PickFigures(options.selection, options.drawing, error);
    if (!picked) {
        return Failure(error);
    }
    if (!StoreRunSettings(options.settings, error)) {
        return Failure(error);
    }

    Plugin plugin;
    if (!StartPlugin(plugin, error)) {
        return Failure(error);
    }
    if (options.list) {
        ShowStoredSettings("Settings");
        WriteOut("Before:\n" + DescribeDrawing());
    }
    const bool picture = !options.picture.empty();
    FigureSink writeBack;
    if (dxf) {
        writeBack = [&dxf](const FigureReport& figure, const RunSettings& settings) {
            dxf->WriteBackFigure(figure, settings);
        };
    }
    const RecordedRun run =
        PlayAndReport(*options.reference, *picked, dxf ? dxf->Naming() : SegmentNaming(),
                      {options.list, options.reportFormat || picture, picture}, writeBack);
    if (options.list) {
        WriteOut("After:\n" + DescribeDrawing());
    }
    if (dxf) {
        WriteOut("Drawing: " + dxf->Overview() + "\n");
    }
    PrintSummary(run.report);
    if (dxf) {
        const std::string left = dxf->LeftAloneBy(*picked).Summary();
        WriteOut("Left as it was: " + (left.empty() ? std::string("nothing") : left) + "\n");
    }

    std::vector<OutputFile> files = {{options.output, ""}};
    if (options.reportFormat) {
        files.push_back({options.report, ""});
    }
    if (!options.picture.empty()) {
        files.push_back({options.picture, ""});
    }
    if (!run.command.pointTaken || run.command.reportedError) {
        return Failure("the command reported an error" + FirstError(run.report) + "; " +
                       NamesText(files) + (files.size() == 1 ? " was" : " were") + " not written");
    }
    if (!dxf) {
        files[0].write = [](std::ostream& out) {
            vekhost::WriteJson([&out](std::string_view piece) {
                out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            });
        };
    } else if (dxf->WriteBackDone(error)) {
        files[0].write = [&dxf](std::ostream& out) { dxf->WriteTo(out); };
        for (const std::string& note : dxf->Notes()) {
            WriteOut("Note: " + note + "\n");
        }
    } else {
        return Failure(error + "; " + NamesText(files) + (files.size() == 1 ? " was" : " were") +
                       " not written");
    }
    if (options.reportFormat) {
        files[1].text = ReportText(run.report, *options.reportFormat);
    }
    if (!options.picture.empty()) {
        const std::string name = PathText(PathFromUtf8(options.drawing).filename());
        files.back().text = RunPicture(run, "vekhost run " + name);
    }
    if (!WriteAllOrNothing(files, error)) {
        return Failure(error);
    }
    WriteOut("Written to " + NamesText(files) + "\n");
    return ExitOk;
}

int Settings(const std::vector<std::string>& args) {
    if (!args.empty()) {
        return UsageError("settings takes no arguments");
    }
    std::string error;
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
    return answer == 0 ? ExitOk : ExitFailed;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    // The wide command line: arguments outside the ANSI code page survive.
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        args.push_back(Utf16ToUtf8(FromWideText(std::wstring(wide[i]))));
    }
    if (wide != nullptr) {
        LocalFree(wide);
    }
#else
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
#endif
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = Arguments(argc, argv);
    if (args.empty()) {
        return UsageError("no command given");
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            WriteOut(Usage);
            return ExitOk;
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
    } catch (const std::exception& e) {
        return Failure(std::string("unexpected failure: ") + e.what());
    }
    return UsageError("unknown command '" + command + "'");
}
