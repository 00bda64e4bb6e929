// The plug-in's entry as a host sees it: found by name after loading the
// library and called once to make the command available. 0: registered; -1:
// the host refused. The first three arguments are not read; the fourth is
// handed on to the registration unchanged.
#pragma once

#include "VekLib.h"

#include <cstdint>

typedef int32_t(VEKCALL* StartupFunc)(intptr_t arg1, intptr_t arg2, intptr_t arg3,
                                      intptr_t reserved);

inline constexpr const char* StartupExportName = "Startup";
