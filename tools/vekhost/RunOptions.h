// The options of `vekhost run`, read from the command line with CLI11 and
// checked before anything is read or written.
#pragma once

#include "tools/vekhost/DxfFigures.h"
#include "tools/vekhost/DxfSelection.h"
#include "tools/vekhost/RunSteps.h"
#include "platform/veklib/VekHost.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vekhost_tool {

struct RunOptions {
    std::vector<std::string> drawings;
    std::optional<vekhost::Point> reference;
    std::string select = "all";                   // as given
    std::optional<std::vector<VekId>> selection;  // JSON: empty for every figure
    std::optional<DxfSelection> dxfSelection;     // DXF
    JoinOptions join;
    bool joinGiven = false;
    std::vector<std::pair<std::string, std::string>> settings;  // NAME=VALUE, in order
    std::string output;
    std::string report;
    std::optional<ReportFormat> reportFormat;
    std::string picture;
    bool list = false;
    bool keepGoing = false;
    bool force = false;       // replace a write-protected output
    std::string outFolder;    // several drawings, each into it (RunMany)
    unsigned jobs = 0;        // runs at a time there; 0 for one per core
    std::string summaryFile;  // kSummaryOption, given by RunMany

    const std::string& Drawing() const { return drawings.front(); }
    bool Dxf() const;
};

// What reading the options came to: the options, or the message and exit
// status of a refusal.
struct OptionsRead {
    std::optional<RunOptions> options;
    std::string refusal;
    int status = 0;
};

// Reads the arguments of `run` (after the word "run").
OptionsRead ReadRunOptions(const std::vector<std::string>& args);

// A finite decimal number, nothing before or after it; a leading '+' is
// allowed. Read by numeric::ReadDouble, the same code on every target.
std::optional<double> ParseNumber(const std::string& text);

}  // namespace vekhost_tool
