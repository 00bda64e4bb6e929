// The library's one export, called by the host after loading it.
#include "app/CommandFlow.h"
#include "veksdk/VekLib.h"

#ifdef _WIN32
#define TARNEX_EXPORT __declspec(dllexport)
#else
#define TARNEX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TARNEX_EXPORT int32_t VEKCALL Startup(intptr_t /*arg1*/, intptr_t /*arg2*/,
                                                 intptr_t /*arg3*/, intptr_t reserved) {
    // Nothing else happens on either path: no message, no settings, and the
    // outcome is not kept.
    const int32_t accepted =
        VekCtlRegisterVekLib2(CommandStartFunc, CommandSecondFunc, CommandEndFunc, reserved);
    return accepted > 0 ? 0 : -1;
}

// Loaders call the entry through StartupFunc: the types must agree.
[[maybe_unused]] static constexpr StartupFunc kStartupSignatureCheck = &Startup;
