// Which figures of a DXF drawing a run picks: every one, those on some
// layers, or those holding some entities (by handle).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vekhost_tool {

struct DxfSelection {
    enum class Kind { All, Layers, Handles };
    Kind kind = Kind::All;
    std::vector<std::string> names;  // layer names, or handles as given
};

// "all", "layer:NAME[,NAME...]" or "handle:H[,H...]"; nothing for any other
// text (an empty name, a handle that is not 1 to 16 hexadecimal digits).
std::optional<DxfSelection> ParseDxfSelection(const std::string& text);

}  // namespace vekhost_tool
