#include "tools/wasm/SettingsJson.h"

namespace tarnex_page {

std::string SettingsJson() {
    return "{}";
}

}  // namespace tarnex_page
