// The interactive command: two stages played through host callbacks. The
// first stage takes the reference point (or opens the settings dialog on the
// confirm key); the second hands the picked figures to a conversion pass.
#pragma once

#include "veksdk/VekLib.h"

#include <cstdint>

// Start callback: loads the settings and opens the reference-point stage.
int32_t VEKCALL CommandStartFunc(void);

// Second registration slot. The command needs nothing there; a harmless
// function is given rather than a null pointer, in case a host calls it.
int32_t VEKCALL CommandSecondFunc(void);

// Execute function of the first stage. 2: the point was taken (the host then
// calls the ready function); 0: the settings dialog ran; 3: event ignored.
int32_t VEKCALL RefPointExecuteFunc(int32_t event, intptr_t data, intptr_t arg3, intptr_t arg4);

// Ready function: switches the host to figure selection and installs the
// conversion pass chosen by the settings as they stand now.
int32_t VEKCALL FigureSelectReadyFunc(void);

// End callback: deletes the working copies a stopped pass left listed.
void VEKCALL CommandEndFunc(void);
