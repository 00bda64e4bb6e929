// The standard conversion pass: every selected figure is replaced by a new
// segment built from its rounded elements, with its corners added again.
#pragma once

#include "veksdk/VekLib.h"

// Execute callback installed for the figure selection. Event 0 (selection
// complete) converts the selection and returns 0; event 7 returns 0 and any
// other event 3, without work.
int32_t VEKCALL StandardPass(int32_t event, intptr_t data, intptr_t arg3, intptr_t arg4);

// Preparation of the temporary copy, key = {context, copy}. Each returns
// false, with the element-info message shown, when the copy cannot be read.
// Lets the host turn arcs into rounded corners of their neighbours.
bool ArcsToCorners(FigureKey key);
// An open figure cannot keep a rounded corner at a free end: it is changed
// back.
bool ReleaseEndFillets(FigureKey key);
// The same for chamfer corners.
bool ReleaseEndChamfers(FigureKey key);
