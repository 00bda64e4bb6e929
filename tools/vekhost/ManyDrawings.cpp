#include "tools/vekhost/ManyDrawings.h"

#include "tools/vekhost/ChildProcess.h"
#include "tools/vekhost/Console.h"
#include "tools/vekhost/Progress.h"
#include "tools/vekhost/ReportCsv.h"
#include "tools/vekhost/RunSteps.h"
#include "tools/vekhost/TextConvert.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <list>
#include <map>
#include <random>
#include <set>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace vekhost_tool {

namespace fs = std::filesystem;

namespace {

using Json = nlohmann::ordered_json;

// How often the runs are looked at while they work.
constexpr std::chrono::milliseconds kPollInterval{10};

// ---- Interruption: the runs are stopped and the scratch folder removed ----

std::atomic<int> interruption{0};

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD event) {
    // The runs got the same event and end; this program then cleans up.
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interruption.store(1);
        return TRUE;
    }
    return FALSE;
}

class InterruptionWatch {
public:
    InterruptionWatch() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
    ~InterruptionWatch() { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }
    // Ends the program as the interruption would have.
    [[noreturn]] static void Finish() { ExitProcess(STATUS_CONTROL_C_EXIT); }
};
#else
void OnSignal(int number) {
    interruption.store(number);
}

class InterruptionWatch {
public:
    InterruptionWatch() {
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction action {};
            action.sa_handler = OnSignal;
            sigemptyset(&action.sa_mask);
            sigaction(kSignals[i], nullptr, &old_[i]);
            // A signal the program was started to ignore stays ignored.
            if (old_[i].sa_handler != SIG_IGN) {
                sigaction(kSignals[i], &action, nullptr);
            }
        }
    }
    ~InterruptionWatch() {
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            sigaction(kSignals[i], &old_[i], nullptr);
        }
    }
    InterruptionWatch(const InterruptionWatch&) = delete;
    InterruptionWatch& operator=(const InterruptionWatch&) = delete;
    [[noreturn]] static void Finish() {
        const int number = interruption.load();
        signal(number, SIG_DFL);
        raise(number);
        _exit(128 + number);
    }

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction old_[std::size(kSignals)]{};
};
#endif

// ---- The scratch folder the runs hand their results back in ----

class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path path =
                fs::temp_directory_path() / ("vekhost-many-" + std::to_string(random()));
            std::error_code failed;
            if (fs::create_directory(path, failed)) {
                path_ = path;
            }
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// ---- Each drawing and what its run gave back ----

struct Drawing {
    std::string name;    // as given
    std::string output;  // DIR/NAME (UTF-8)
    fs::path scratch;    // its files in the scratch folder, without an extension
    int status = -1;
    std::string error;               // when it failed
    std::vector<std::string> notes;  // "Note: " lines of its run
    Json summary;                    // RunSummaryJson, when written
    bool Written() const { return status == 0; }
};

std::string Folded(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// A name compared as a folder that ignores letter case would.
std::string FileKey(const std::string& utf8) {
    return Folded(PathText(fs::absolute(PathFromUtf8(utf8)).lexically_normal()));
}

// The outputs, each DIR/NAME; a refusal when two share a name (in any letter
// case, which a Windows or macOS folder does not tell apart), or the report
// would be one of them.
std::optional<std::string> PlanOutputs(const ManyRun& run, std::vector<Drawing>& drawings) {
    std::map<std::string, std::string> taken;  // key -> drawing
    for (const std::string& name : run.drawings) {
        const fs::path file = PathFromUtf8(name).filename();
        if (file.empty() || file == "." || file == "..") {
            return "'" + name + "' names no drawing file";
        }
        Drawing drawing;
        drawing.name = name;
        drawing.output = PathText(PathFromUtf8(run.outFolder) / file);
        const auto [at, added] = taken.emplace(FileKey(drawing.output), name);
        if (!added) {
            return "'" + at->second + "' and '" + name + "' would both be written to " +
                   drawing.output;
        }
        drawings.push_back(std::move(drawing));
    }
    if (!run.report.empty() && taken.count(FileKey(run.report)) > 0) {
        return "--report names the output of '" + taken[FileKey(run.report)] + "'";
    }
    return std::nullopt;
}

std::string ReadText(const fs::path& path) {
    std::string text;
    std::string ignored;
    ReadWholeFile(path, text, ignored);
    return text;
}

fs::path WithExtension(fs::path path, const std::string& extension) {
    return path += extension;
}

std::string ReportExtension(const ManyRun& run) {
    return ReportFormatOf(run.report) == ReportFormat::Csv ? ".csv" : ".json";
}

std::vector<std::string> ChildArguments(const ManyRun& run, const Drawing& drawing) {
    std::vector<std::string> args = {"run", drawing.name, "-o", drawing.output};
    args.insert(args.end(), run.runArguments.begin(), run.runArguments.end());
    if (!run.report.empty()) {
        args.push_back("--report");
        args.push_back(PathText(WithExtension(drawing.scratch, ReportExtension(run))));
    }
    args.push_back(kSummaryOption);
    args.push_back(PathText(WithExtension(drawing.scratch, ".summary.json")));
    return args;
}

// The message of a failed run: what it wrote on its standard error, without
// the program's name or the hint on usage.
std::string FailureText(const std::string& errors, int status) {
    std::string text;
    size_t start = 0;
    while (start < errors.size()) {
        size_t end = errors.find('\n', start);
        end = end == std::string::npos ? errors.size() : end;
        std::string line = errors.substr(start, end - start);
        start = end + 1;
        if (line.rfind("vekhost: ", 0) == 0) {
            line.erase(0, 9);
        }
        if (!line.empty() && line.rfind("Try 'vekhost --help'", 0) != 0) {
            text += (text.empty() ? "" : "; ") + line;
        }
    }
    if (text.empty()) {
        text = status > 128 ? "its run was ended by signal " + std::to_string(status - 128)
                            : "its run ended with status " + std::to_string(status);
    }
    return text;
}

void Collect(Drawing& drawing, int status) {
    drawing.status = status;
    const std::string output = ReadText(WithExtension(drawing.scratch, ".out"));
    for (size_t start = 0; start < output.size();) {
        const size_t end = std::min(output.find('\n', start), output.size());
        if (output.compare(start, 6, "Note: ") == 0) {
            drawing.notes.push_back(output.substr(start + 6, end - start - 6));
        }
        start = end + 1;
    }
    if (status == 0) {
        drawing.summary =
            Json::parse(ReadText(WithExtension(drawing.scratch, ".summary.json")), nullptr, false);
        if (!drawing.summary.is_discarded()) {
            return;
        }
        drawing.status = kExitFailed;
        drawing.error = "its run handed back no summary";
        return;
    }
    drawing.error = FailureText(ReadText(WithExtension(drawing.scratch, ".err")), status);
    // Its report is a part of the one over all drawings, not a file of its own.
    for (const char* extension : {".json", ".csv"}) {
        const std::string own = PathText(WithExtension(drawing.scratch, extension));
        for (size_t at = drawing.error.find(own); at != std::string::npos;
             at = drawing.error.find(own, at)) {
            drawing.error.replace(at, own.size(), "its report rows");
        }
    }
}

// Runs every drawing, `jobs` at a time; false when interrupted (the runs
// stopped).
bool RunAll(const ManyRun& run, std::vector<Drawing>& drawings, unsigned jobs) {
    const fs::path program = ProgramFile();
    std::list<std::pair<size_t, ChildProcess>> running;
    size_t next = 0;
    size_t done = 0;
    Progress progress("Converting drawings");
    while (done < drawings.size() && interruption.load() == 0) {
        while (running.size() < jobs && next < drawings.size()) {
            Drawing& drawing = drawings[next];
            ChildProcess child;
            std::string error;
            if (child.Start(program, ChildArguments(run, drawing),
                            WithExtension(drawing.scratch, ".out"),
                            WithExtension(drawing.scratch, ".err"), error)) {
                running.emplace_back(next, std::move(child));
            } else {
                drawing.status = kExitFailed;
                drawing.error = "vekhost could not start its run: " + error;
                ++done;
            }
            ++next;
        }
        for (auto it = running.begin(); it != running.end();) {
            if (const auto status = it->second.Ended()) {
                Collect(drawings[it->first], *status);
                ++done;
                it = running.erase(it);
            } else {
                ++it;
            }
        }
        progress.Update(done, drawings.size());
        std::this_thread::sleep_for(kPollInterval);
    }
    for (auto& [index, child] : running) {
        child.Stop();
    }
    return interruption.load() == 0;
}

// ---- One summary over the drawings ----

// The counts added up over the drawings written, and the largest movement
// of them all with its drawing.
Json Totals(const std::vector<Drawing>& drawings) {
    Json totals = Json::object();
    Json largest = nullptr;
    for (const Drawing& drawing : drawings) {
        if (!drawing.Written()) {
            continue;
        }
        for (const auto& [key, value] : drawing.summary.items()) {
            if (value.is_number_unsigned()) {
                totals[key] = totals.value(key, size_t{0}) + value.get<size_t>();
            }
        }
        const Json& move = drawing.summary["largestMovement"];
        if (move.is_object() && (largest.is_null() || move["distance"] > largest["distance"])) {
            largest = {{"drawing", drawing.name}};
            largest.update(move);
        }
    }
    totals["largestMovement"] = largest;
    return totals;
}

std::vector<std::string> SummaryLines(const std::vector<Drawing>& drawings, const Json& totals) {
    const auto count = [&totals](const char* key) {
        return std::to_string(totals.value(key, size_t{0}));
    };
    const size_t written = static_cast<size_t>(std::count_if(
        drawings.begin(), drawings.end(), [](const Drawing& d) { return d.Written(); }));
    std::vector<std::string> lines;
    for (const Drawing& drawing : drawings) {
        if (drawing.Written()) {
            lines.push_back(drawing.summary.value("settings", ""));
            break;
        }
    }
    lines.push_back("Drawings: " + std::to_string(drawings.size()) + " given, " +
                    std::to_string(written) + " written, " +
                    std::to_string(drawings.size() - written) + " failed");
    const size_t refused = totals.value("refused", size_t{0});
    lines.push_back("Figures: " + count("picked") + " picked, " + count("converted") +
                    " converted, " + count("untouched") + " left untouched" +
                    (refused > 0 ? " (" + std::to_string(refused) + " refused)" : "") + "; " +
                    count("commands") + " runs of the command");
    lines.push_back("Elements: " + count("elementsBefore") + " before, " + count("elementsAfter") +
                    " after");
    const Json& largest = totals["largestMovement"];
    lines.push_back(largest.is_null()
                        ? std::string("Largest movement: 0 (no point moved)")
                        : "Largest movement: " + ShortNumber(largest["distance"].get<double>()) +
                              " (" + largest["drawing"].get<std::string>() + ", " +
                              largest["where"].get<std::string>() + ")");
    lines.push_back("Gaps opened: " + count("gaps"));
    lines.push_back("Corners adjusted: " + count("cornersAdjusted") + " of " + count("corners"));
    lines.push_back("Arcs corrected: " + count("arcsCorrected") + " of " + count("arcs"));
    return lines;
}

// ---- One report over the drawings ----

std::string ManyReportJson(const std::vector<Drawing>& drawings, Json totals) {
    Json entries = Json::array();
    Json figures = Json::array();
    for (const Drawing& drawing : drawings) {
        Json entry{{"drawing", drawing.name},
                   {"output", drawing.output},
                   {"written", drawing.Written()},
                   {"error", drawing.Written() ? Json(nullptr) : Json(drawing.error)}};
        const Json report =
            drawing.Written()
                ? Json::parse(ReadText(WithExtension(drawing.scratch, ".json")), nullptr, false)
                : Json();
        if (report.is_object()) {
            for (const char* key :
                 {"settings", "completed", "stopMessage", "hostMessages", "summary"}) {
                entry[key] = report.value(key, Json());
            }
            for (const Json& figure : report.value("figures", Json::array())) {
                Json record{{"drawing", drawing.name}};
                record.update(figure);
                figures.push_back(std::move(record));
            }
        }
        entries.push_back(std::move(entry));
    }
    totals.erase("settings");
    const Json document{{"format", "vekhost-report-many"},
                        {"version", 1},
                        {"summary", totals},
                        {"drawings", entries},
                        {"figures", figures}};
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The records of a CSV text, each with its line end; a quoted field may
// hold line ends of its own.
std::vector<std::string> CsvRecords(const std::string& text) {
    std::vector<std::string> records;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        quoted = text[i] == '"' ? !quoted : quoted;
        if (!quoted && text[i] == '\n') {
            records.push_back(text.substr(start, i + 1 - start));
            start = i + 1;
        }
    }
    return records;
}

const std::string kByteOrderMark = "\xEF\xBB\xBF";

std::string WithoutMark(const std::string& text) {
    return text.rfind(kByteOrderMark, 0) == 0 ? text.substr(kByteOrderMark.size()) : text;
}

// A drawing that was not written, as a row of its own: its status `failed`
// and the reason as its message.
std::string FailedRow(const std::string& header, const Drawing& drawing) {
    std::vector<std::string> cells;
    for (size_t start = 0; start <= header.size();) {
        const size_t end = std::min(header.find_first_of(",\r\n", start), header.size());
        const std::string column = header.substr(start, end - start);
        cells.push_back(column == "status"    ? "failed"
                        : column == "item"    ? "drawing"
                        : column == "message" ? CsvField(drawing.error)
                                              : "");
        start = header[end] == ',' ? end + 1 : header.size() + 1;
    }
    std::string row = CsvField(drawing.name);
    for (const std::string& cell : cells) {
        row += "," + cell;
    }
    return row + "\r\n";
}

std::string ManyReportCsv(const std::vector<Drawing>& drawings) {
    const std::string header = WithoutMark(ReportCsv(RunReport{}));
    std::string csv = kByteOrderMark + "drawing," + header;
    for (const Drawing& drawing : drawings) {
        if (!drawing.Written()) {
            csv += FailedRow(header, drawing);
            continue;
        }
        const std::vector<std::string> records =
            CsvRecords(WithoutMark(ReadText(WithExtension(drawing.scratch, ".csv"))));
        for (size_t r = 1; r < records.size(); ++r) {
            csv += CsvField(drawing.name) + "," + records[r];
        }
    }
    return csv;
}

bool Forced(const ManyRun& run) {
    return std::find(run.runArguments.begin(), run.runArguments.end(), "--force") !=
           run.runArguments.end();
}

// Prints the summary, notes and failures, writes the report; the exit status.
// The report over the drawings, when asked for: read from the scratch folder.
std::string ManyReport(const ManyRun& run, const std::vector<Drawing>& drawings) {
    if (run.report.empty()) {
        return "";
    }
    return ReportFormatOf(run.report) == ReportFormat::Csv
               ? ManyReportCsv(drawings)
               : ManyReportJson(drawings, Totals(drawings));
}

int Conclude(const ManyRun& run, const std::vector<Drawing>& drawings, const std::string& report) {
    const Json totals = Totals(drawings);
    for (const std::string& line : SummaryLines(drawings, totals)) {
        WriteOut(line + "\n");
    }
    std::vector<std::string> failed;
    for (const Drawing& drawing : drawings) {
        for (const std::string& note : drawing.notes) {
            WriteOut("Note: " + drawing.name + ": " + note + "\n");
        }
        if (!drawing.Written()) {
            WriteErr("vekhost: " + drawing.name + ": " + drawing.error + "\n");
            failed.push_back(drawing.name);
        }
    }
    if (!run.report.empty()) {
        std::string error;
        if (!WriteAllOrNothing({{run.report, report}}, error, WriteOptions{Forced(run)})) {
            return Failure(error);
        }
    }
    const size_t written = drawings.size() - failed.size();
    WriteOut("Written to " + run.outFolder + ": " + std::to_string(written) +
             (written == 1 ? " drawing" : " drawings") +
             (run.report.empty() ? std::string() : ", and " + run.report) + "\n");
    if (failed.empty()) {
        return 0;
    }
    std::string names;
    for (size_t i = 0; i < failed.size(); ++i) {
        names += (i == 0 ? "" : ", ") + failed[i];
    }
    return Failure(std::to_string(failed.size()) + " of " + std::to_string(drawings.size()) +
                   (drawings.size() == 1 ? " drawing" : " drawings") + " failed: " + names);
}

}  // namespace

int RunMany(const ManyRun& run) {
    if (run.drawings.empty()) {
        return UsageError("run needs a drawing file");
    }
#ifdef __EMSCRIPTEN__
    // Each drawing is a process of its own, which the browser has not.
    return Failure(
        "this build converts one drawing at a time: --out-dir needs the vekhost program");
#endif
    std::vector<Drawing> drawings;
    if (const auto refused = PlanOutputs(run, drawings)) {
        return UsageError(*refused);
    }
    std::error_code failed;
    fs::create_directories(PathFromUtf8(run.outFolder), failed);
    if (!fs::is_directory(PathFromUtf8(run.outFolder))) {
        return Failure("cannot make the folder " + run.outFolder +
                       (failed ? ": " + failed.message() : std::string(": a file has its name")));
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto jobs =
        static_cast<unsigned>(std::min<size_t>(run.jobs > 0 ? run.jobs : cores, drawings.size()));
    std::string report;
    {
        // Watched from before the scratch folder is made until it is gone.
        InterruptionWatch watch;
        ScratchFolder scratch;
        if (scratch.Path().empty()) {
            return Failure("cannot make a scratch folder in " +
                           PathText(fs::temp_directory_path()));
        }
        for (size_t i = 0; i < drawings.size(); ++i) {
            drawings[i].scratch = scratch.Path() / std::to_string(i);
        }
        if (RunAll(run, drawings, jobs)) {
            report = ManyReport(run, drawings);
        }
    }
    if (interruption.load() != 0) {
        InterruptionWatch::Finish();
    }
    return Conclude(run, drawings, report);
}

std::vector<std::string> PassedOnArguments(const std::vector<std::string>& args) {
    // The options that take no value; every other one takes the next
    // argument unless its value is attached (--name=VALUE, -jN).
    static const std::set<std::string> flags = {"--no-join", "--list", "-k", "--keep-going",
                                                "--force"};
    static const std::set<std::string> kept = {"--out-dir", "-j", "--jobs", "--report",
                                               kSummaryOption};
    std::vector<std::string> passed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            continue;  // a drawing
        }
        const bool shortName = arg[1] != '-';
        const std::string name = shortName ? arg.substr(0, 2) : arg.substr(0, arg.find('='));
        const bool attached = name.size() < arg.size();
        const bool takesNext = flags.count(name) == 0 && !attached && i + 1 < args.size();
        if (kept.count(name) == 0) {
            passed.push_back(arg);
            if (takesNext) {
                passed.push_back(args[i + 1]);
            }
        }
        i += takesNext ? 1 : 0;
    }
    return passed;
}

std::optional<unsigned> ParseJobs(const std::string& text) {
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error != std::errc{} || end != text.data() + text.size() || jobs == 0) {
        return std::nullopt;
    }
    return jobs;
}

std::string RunSummaryJson(const RunReport& report) {
    const RunSummary& s = report.summary;
    Json largest = nullptr;
    // From the summary: a plain run keeps no figure's report.
    if (s.largest) {
        largest = {{"distance", s.largest->distance},
                   {"where", s.largestSource + ", element " + std::to_string(s.largest->element) +
                                 ", " + RoleName(s.largest->role)}};
    }
    const Json summary{{"settings", SummaryLines(report).front()},
                       {"picked", s.picked},
                       {"converted", s.converted},
                       {"untouched", s.untouched},
                       {"refused", s.refused},
                       {"commands", report.commands},
                       {"elementsBefore", s.elementsBefore},
                       {"elementsAfter", s.elementsAfter},
                       {"dropped", s.dropped},
                       {"gaps", s.gaps},
                       {"corners", s.corners},
                       {"cornersAdjusted", s.cornersAdjusted},
                       {"arcs", s.arcs},
                       {"arcsCorrected", s.arcsCorrected},
                       {"largestMovement", largest}};
    return summary.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace vekhost_tool
