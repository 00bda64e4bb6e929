// The drawing as text, the way the driver prints it before and after a
// command: one line per figure and one per element.
#pragma once

#include "platform/veklib/VekHost.h"

#include <string>

namespace vekhost_tool {

// Shortest decimal text that reads back as `value` to 10 significant digits;
// never "-0".
std::string Number(double value);

std::string DescribeElement(const vekhost::Element& element);
std::string DescribeSegment(const vekhost::Segment& segment, const std::string& indent = "  ");
// Every figure in creation order; "(no figures)" for an empty drawing.
std::string DescribeDrawing();

}  // namespace vekhost_tool
