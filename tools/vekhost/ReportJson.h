// The run report as JSON: one record per picked figure (README.md, "What a
// run did: summary, report and picture", describes the fields).
#pragma once

#include "tools/vekhost/RunReport.h"

#include <string>

namespace vekhost_tool {

std::string ReportJson(const RunReport& report);

// Names of element types as the reports give them ("line", "arc", ...).
const char* TypeName(int32_t type);

}  // namespace vekhost_tool
