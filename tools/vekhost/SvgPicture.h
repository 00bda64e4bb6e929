// A picture of a run as SVG: the drawing before (thin, grey) under the drawing
// after (in each element's palette colour), one group per layer, every moved
// point marked with a ring whose size tells how far it moved against the
// grid step (one ring for the point two elements share), gaps and adjusted
// corners highlighted, and a legend with the settings and the summary.
// Scaled to fit, y up.
#pragma once

#include "tools/vekhost/RunReport.h"

#include <string>
#include <vector>

namespace vekhost_tool {

std::string SvgPicture(const RunReport& report, const std::vector<vekhost::Segment>& before,
                       const std::vector<vekhost::Segment>& after, const std::string& title);

// Every figure of the drawing as it is now, in creation order.
std::vector<vekhost::Segment> CurrentDrawing();

}  // namespace vekhost_tool
