// How large a figure the command takes: one rule for every drawing format,
// applied before the command runs so that a figure it would stop at is left
// as it was and the rest of the drawing converts.
#pragma once

#include "engine/WorkBuffers.h"

#include <cstddef>
#include <string>

namespace vekhost_tool {

// Either pass reads a figure into a buffer of kFigureSlotCount elements and
// stops the run when it fills: a figure it can take has one fewer.
inline constexpr std::size_t kMaxFigureElements = kFigureSlotCount - 1;

inline bool FitsTheCommand(std::size_t elements) {
    return elements <= kMaxFigureElements;
}

// "3,634 elements, at most 2,999 in one figure".
std::string TooLargeDetail(std::size_t elements);

// "too large for the command: 3,634 elements, at most 2,999 in one figure".
std::string TooLargeReason(std::size_t elements);

}  // namespace vekhost_tool
