// The run report as CSV for spreadsheets: a row per picked figure, then a row
// per corner, arc, gap and dropped element of it (README.md, "Run reports").
#pragma once

#include "tools/vekhost/RunReport.h"

#include <string>

namespace vekhost_tool {

std::string ReportCsv(const RunReport& report);

// A field as the report writes it: quoted when it must be (RFC 4180).
std::string CsvField(const std::string& text);

}  // namespace vekhost_tool
