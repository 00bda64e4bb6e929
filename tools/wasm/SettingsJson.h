// The settings the plug-in's dialog offers, as JSON for the browser page,
// built from the settings store's and the palette's own tables so that the
// page's controls cannot drift from the plug-in's.
#pragma once

#include <string>

namespace tarnex_page {

std::string SettingsJson();

}  // namespace tarnex_page
