#include "tools/vekhost/DxfSelection.h"

#include "tools/dxf/DxfNumbers.h"

namespace vekhost_tool {

std::optional<DxfSelection> ParseDxfSelection(const std::string& text) {
    DxfSelection selection;
    if (text == "all") {
        return selection;
    }
    std::string list;
    if (text.rfind("layer:", 0) == 0) {
        selection.kind = DxfSelection::Kind::Layers;
        list = text.substr(6);
    } else if (text.rfind("handle:", 0) == 0) {
        selection.kind = DxfSelection::Kind::Handles;
        list = text.substr(7);
    } else {
        return std::nullopt;
    }
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty() || (selection.kind == DxfSelection::Kind::Handles &&
                             (item.find(' ') != std::string::npos || !dxf::ParseHandle(item)))) {
            return std::nullopt;
        }
        selection.names.push_back(item);
        if (comma == std::string::npos) {
            return selection;
        }
        start = comma + 1;
    }
}

}  // namespace vekhost_tool
