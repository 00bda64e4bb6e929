// The driver's demonstration: the command run twice on a small built-in
// drawing, with its settings kept apart from the user's own.
#pragma once

namespace vekhost_tool {

// Builds the sample drawing in the host stand-in (replacing what it held).
void BuildDemoDrawing();

// Plays the demonstration; the plug-in must be loaded and registered. 0 when
// both runs converted their figures without an error.
int RunDemo();

}  // namespace vekhost_tool
