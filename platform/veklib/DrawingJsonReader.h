// The drawing file read into a new drawing. A whole file is checked and
// turned into tables before the drawing is touched, so a bad file leaves the
// drawing as it was.
#pragma once

#include "platform/veklib/HostState.h"

#include <cstdint>
#include <string_view>

namespace vekhost::detail {

// Reads `text` into `d` (which must be new); throws std::runtime_error, naming
// the place, on anything it cannot take. `firstFreeId` is the lowest
// identifier the drawing may hand out to objects the file gives none.
void ReadDrawing(std::string_view text, Drawing& d, int64_t firstFreeId);

}  // namespace vekhost::detail
