// The confirm-key branch of the command's first stage: the user pressed the
// confirm key instead of giving a reference point, so the settings dialog is
// shown and, when confirmed, its settings take effect at once.
#pragma once

#include <cstdint>

// Runs the settings dialog modally with the library's own resources. On OK
// the dialog's six values are written once more and ActiveSettings is
// reloaded; on any other end nothing more happens. The command stays in its
// first stage, so the result for the host is always 0.
int32_t RunSettingsDialog();
