#include "tools/vekhost/FigureLimit.h"

#include "tools/dxf/DxfEntities.h"

namespace vekhost_tool {

namespace {

// 3635 as "3,635".
std::string Thousands(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

}  // namespace

std::string TooLargeDetail(std::size_t elements) {
    return Thousands(elements) + " elements, at most " + Thousands(kMaxFigureElements) +
           " in one figure";
}

std::string TooLargeReason(std::size_t elements) {
    // The DXF library's name for the refusal, so that every format says it alike.
    return std::string(dxf::Describe(dxf::Refusal::TooLarge)) + ": " + TooLargeDetail(elements);
}

}  // namespace vekhost_tool
