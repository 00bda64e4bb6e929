#include "tools/wasm/DrawingOverview.h"

namespace tarnex_page {

std::string InspectDrawing(const std::string& path) {
    (void)path;
    return "{\"ok\":false,\"error\":\"not yet\"}";
}

}  // namespace tarnex_page
