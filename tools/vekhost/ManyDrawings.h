// `vekhost run A.dxf B.dxf ... --out-dir DIR [-j N]`: each drawing converted
// by a run of its own (vekhost starting itself, N at a time) into DIR under
// its own name, byte for byte as a run of that drawing alone writes it; one
// summary and one report over them all.
//
// Each drawing's run is given the other run arguments as they were given,
// `-o DIR/NAME`, its report in a scratch folder, and kSummaryOption naming a
// file there for the numbers this program totals (RunSummaryJson). The
// scratch folder is removed when the runs end, and on an interruption.
#pragma once

#include "tools/vekhost/Files.h"
#include "tools/vekhost/RunReport.h"

#include <optional>
#include <string>
#include <vector>

namespace vekhost_tool {

struct ManyRun {
    std::vector<std::string> drawings;  // as given (UTF-8)
    std::string outFolder;              // --out-dir
    unsigned jobs = 0;                  // -j: runs at a time; 0 for one per core
    std::string report;                 // --report, empty for none
    // Every other argument of `run` as given (PassedOnArguments), for each
    // drawing's run.
    std::vector<std::string> runArguments;
};

// Converts the drawings; the exit status (0 all written, 1 some failed, 2
// the arguments were refused before any ran).
int RunMany(const ManyRun& run);

// The arguments of `run` (as given to it) that go on to each drawing's own
// run: all but the drawings, --out-dir, -j and --report with their values.
std::vector<std::string> PassedOnArguments(const std::vector<std::string>& args);
// -j's value: a whole number from 1.
std::optional<unsigned> ParseJobs(const std::string& text);

// The option of a drawing's run that writes RunSummaryJson to a file, with
// its other outputs (not shown in the usage: RunMany gives it).
inline constexpr const char* kSummaryOption = "--summary-to";
std::string RunSummaryJson(const RunReport& report);

}  // namespace vekhost_tool
