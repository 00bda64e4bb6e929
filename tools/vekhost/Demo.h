// The driver's demonstration: the command run twice on a small built-in
// drawing, with its settings kept apart from the user's own.
#pragma once

#include <optional>
#include <string>

namespace vekhost_tool {

// Builds the sample drawing in the host stand-in (replacing what it held).
void BuildDemoDrawing();

// Plays the demonstration; the plug-in must be loaded and registered. With
// `pictures`, writes the picture of each run there (demo-run1.svg, ...).
// 0 when both runs converted their figures without an error and the
// pictures were written.
int RunDemo(const std::optional<std::string>& pictures);

}  // namespace vekhost_tool
