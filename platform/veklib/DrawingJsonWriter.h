// The drawing file written from the host's drawing: one line per element,
// every double in the shortest text that reads back as the same double.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vekhost::detail {

// The file's names of the element types, by type code (1 to 9).
inline constexpr std::string_view kTypeNames[] = {
    "",          "line",      "circle",      "arc",     "pointLengths",
    "twoPoints", "unchanged", "roundCorner", "chamfer", "point"};

// The longest an element's line can be: the raw record's seven doubles of at
// most 24 characters, four integers of at most 11 and the names around them.
inline constexpr size_t kMaxElementText = 512;

// The drawing's text into `out`. With `write`, each time `out` holds a
// megabyte or more it is handed over and emptied, so that no more than that
// is held at once.
void WriteDrawing(std::string& out, const std::function<void(std::string_view)>* write);

}  // namespace vekhost::detail
