#include "state/CommandState.h"

SettingsRecord ActiveSettings = {};
double RefPoint[2] = {0.0, 0.0};
