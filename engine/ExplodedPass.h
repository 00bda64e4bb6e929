// The exploded conversion pass: every record of a selected figure's exploded
// form becomes a rounded one-element figure of its own.
#pragma once

#include "veksdk/VekLib.h"

// Execute callback installed for the figure selection when figures are to be
// exploded. Event 0 converts the selection and returns 0; event 7 returns 0
// and any other event 2, without work.
int32_t VEKCALL ExplodedPass(int32_t event, intptr_t data, intptr_t arg3, intptr_t arg4);
