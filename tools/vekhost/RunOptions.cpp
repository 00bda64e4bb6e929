#include "tools/vekhost/RunOptions.h"

#include "tools/vekhost/Console.h"
#include "tools/vekhost/DxfDrawing.h"
#include "tools/vekhost/ManyDrawings.h"
#include "tools/vekhost/SettingValues.h"
#include "tools/vekhost/SettingsAccess.h"
#include "tools/vekhost/TextConvert.h"
#include "numeric/NumberText.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace vekhost_tool {

namespace {

// Options as CLI11 reads them, before they are checked.
struct RawOptions {
    std::string reference;
    std::string joinTolerance;
    bool noJoin = false;
    std::vector<std::string> settings;
    std::string jobs;
};

void Declare(CLI::App& app, RunOptions& options, RawOptions& raw) {
    // Help is the program's own usage text (Main.cpp).
    app.set_help_flag();
    app.allow_extras();
    app.add_option("drawing", options.drawings)->expected(0, -1);
    // An option given twice takes its last value, as a shell user expects.
    const auto last = CLI::MultiOptionPolicy::TakeLast;
    app.add_option("--ref", raw.reference)->multi_option_policy(last);
    app.add_option("--select", options.select)->multi_option_policy(last);
    app.add_flag("--no-join", raw.noJoin);
    app.add_option("--join-tolerance", raw.joinTolerance)->multi_option_policy(last);
    app.add_option("--set", raw.settings)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("-o,--output", options.output)->multi_option_policy(last);
    app.add_option("--report", options.report)->multi_option_policy(last);
    app.add_option("--svg", options.picture)->multi_option_policy(last);
    app.add_flag("--list", options.list);
    app.add_flag("-k,--keep-going", options.keepGoing);
    app.add_flag("--force", options.force);
    app.add_option("--out-dir", options.outFolder)->multi_option_policy(last);
    app.add_option("-j,--jobs", raw.jobs)->multi_option_policy(last);
    app.add_option(kSummaryOption, options.summaryFile)->multi_option_policy(last);
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

// Each check below: the refusal's message, or empty when the options pass.
using Check = std::string (*)(RunOptions&, const RawOptions&);

std::string CheckNumbers(RunOptions& options, const RawOptions& raw) {
    if (raw.reference.empty()) {
        return "run needs the reference point (--ref X,Y)";
    }
    options.reference = ParsePoint(raw.reference);
    if (!options.reference) {
        return "--ref wants two numbers X,Y, not '" + raw.reference + "'";
    }
    options.joinGiven = raw.noJoin || !raw.joinTolerance.empty();
    options.join.join = !raw.noJoin;
    if (!raw.joinTolerance.empty()) {
        const auto tolerance = ParseNumber(raw.joinTolerance);
        if (!tolerance || *tolerance < 0) {
            return "--join-tolerance wants a number of 0 or more, not '" + raw.joinTolerance + "'";
        }
        options.join.tolerance = *tolerance;
    }
    if (!raw.jobs.empty()) {
        const auto jobs = ParseJobs(raw.jobs);
        if (!jobs) {
            return "-j wants a whole number from 1, not '" + raw.jobs + "'";
        }
        options.jobs = *jobs;
    }
    return "";
}

std::string CheckSettings(RunOptions& options, const RawOptions& raw) {
    for (const std::string& value : raw.settings) {
        std::string refusal;
        const auto setting = CheckSetting(value, refusal);
        if (!setting) {
            return refusal;
        }
        options.settings.push_back(*setting);
    }
    return "";
}

std::string CheckFiles(RunOptions& options, const RawOptions&) {
    if (options.drawings.empty()) {
        return "run needs a drawing file";
    }
    if (options.drawings.size() > 1 && options.outFolder.empty()) {
        return "several drawings are converted into a folder: give --out-dir DIR";
    }
    if (!options.outFolder.empty()) {
        if (!options.output.empty() || !options.picture.empty() || options.list) {
            return "--out-dir writes each drawing under its own name: no -o, --svg or --list";
        }
        // The first drawing's output, for the checks below.
        options.output =
            PathText(PathFromUtf8(options.outFolder) / PathFromUtf8(options.Drawing()).filename());
    }
    const bool dxf = options.Dxf();
    if (options.output.empty()) {
        return dxf ? "run needs an output file (-o OUT.dxf)"
                   : "run needs an output file (-o OUT.json)";
    }
    if (!options.report.empty()) {
        options.reportFormat = ReportFormatOf(options.report);
        if (!options.reportFormat) {
            return "--report wants a file name ending in .json or .csv, not '" + options.report +
                   "'";
        }
    }
    return "";
}

// A folder named as the drawing is said to be one before its name is taken
// for a format.
std::string CheckInput(RunOptions& options, const RawOptions&) {
    std::error_code error;
    if (std::filesystem::is_directory(PathFromUtf8(options.Drawing()), error)) {
        return options.Drawing() + " is a folder, not a drawing file";
    }
    return "";
}

// The drawing and the output are of one format, named as such.
std::string CheckFormat(RunOptions& options, const RawOptions&) {
    const bool dxf = options.Dxf();
    if (dxf != IsDxfName(options.output)) {
        return dxf ? "a DXF drawing is written as DXF: -o wants a name ending in .dxf"
                   : "a JSON drawing is written as JSON: -o wants a name that does not end in .dxf";
    }
    return "";
}

std::string CheckSelection(RunOptions& options, const RawOptions&) {
    if (options.Dxf()) {
        options.dxfSelection = ParseDxfSelection(options.select);
        if (!options.dxfSelection) {
            return "--select wants 'all', 'layer:NAME[,NAME...]' or 'handle:H[,H...]' for a DXF "
                   "drawing, not '" +
                   options.select + "'";
        }
        return "";
    }
    if (options.joinGiven) {
        return "--no-join and --join-tolerance are for DXF drawings";
    }
    if (options.select != "all") {
        options.selection = ParseIds(options.select);
        if (!options.selection) {
            return "--select wants 'all' or figure numbers such as 1,4,7, not '" + options.select +
                   "'";
        }
    }
    return "";
}

std::filesystem::path Absolute(const std::string& name) {
    return std::filesystem::absolute(PathFromUtf8(name)).lexically_normal();
}

// One file for two outputs would keep only the last; the drawing read is
// kept apart from the report and the picture (the output may replace it).
std::string CheckDistinct(RunOptions& options, const RawOptions&) {
    const std::vector<std::pair<const char*, std::string>> files = {
        {"the drawing", options.Drawing()},
        {"-o", options.output},
        {"--report", options.report},
        {"--svg", options.picture}};
    for (size_t i = 1; i < files.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            const bool outputOverDrawing = i == 1 && j == 0;
            if (!outputOverDrawing && !files[i].second.empty() && !files[j].second.empty() &&
                Absolute(files[i].second) == Absolute(files[j].second)) {
                return std::string(files[i].first) + " and " + files[j].first +
                       " name the same file '" + files[i].second + "'";
            }
        }
    }
    return "";
}

}  // namespace

bool RunOptions::Dxf() const {
    return !drawings.empty() && IsDxfName(Drawing());
}

std::optional<double> ParseNumber(const std::string& text) {
    const char* first = text.data();
    const char* const last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-') {
        ++first;
    }
    double value = 0;
    const auto [end, error] = numeric::ReadDouble(first, last, value);
    if (error != std::errc{} || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

OptionsRead ReadRunOptions(const std::vector<std::string>& args) {
    OptionsRead read;
    RunOptions options;
    RawOptions raw;
    CLI::App app("vekhost run");
    Declare(app, options, raw);
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (const auto extra = app.remaining(); !extra.empty()) {
            read.refusal = "unknown option '" + extra.front() + "'";
            read.status = kExitUsage;
            return read;
        }
    } catch (const CLI::ParseError& e) {
        read.refusal = e.what();
        read.status = kExitUsage;
        return read;
    }
    for (const Check check : {&CheckFiles, &CheckInput, &CheckNumbers, &CheckSettings, &CheckFormat,
                              &CheckSelection, &CheckDistinct}) {
        read.refusal = check(options, raw);
        if (!read.refusal.empty()) {
            // A drawing that cannot be a drawing is a failure of the input,
            // not of the arguments.
            read.status = check == &CheckInput ? kExitFailed : kExitUsage;
            return read;
        }
    }
    read.options = std::move(options);
    return read;
}

}  // namespace vekhost_tool
