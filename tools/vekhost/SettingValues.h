// The values a setting takes from the command line, checked as the settings
// dialog offers them: a typo is refused rather than taken silently, since
// the settings store reads any text (a word as 0 places, an unknown unit
// mode as no conversion).
#pragma once

#include "tools/vekhost/SettingsAccess.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vekhost_tool {

// The places the settings dialog's list offers.
inline constexpr int32_t kFewestOfferedPlaces = 1;
inline constexpr int32_t kMostOfferedPlaces = 5;

// A value of a setting of a few choices, and what it means.
struct SettingChoice {
    const char* value;
    const char* meaning;
};

// The choices of inchmm, IsExploded and Color, as the dialog offers them;
// empty for any other setting.
std::vector<SettingChoice> SettingChoices(const std::string& name);

// NAME=VALUE, NAME in any letter case: the name as SettingNames() spells it
// and the value as the dialog writes it (d_point in plain decimal, palette
// names as the palette spells them). Empty, with a message that lists the
// values allowed, when the name or the value is refused:
//   d_point     a whole number whose grid step (10^-d_point) a double holds
//   inchmm      0, 1 or 2
//   IsExploded  0 or 1
//   Color       0 or 1
//   mColor1     a colour of the palette, MAINCOLOR01 to MAINCOLOR16
//   mLType1     a line type of the palette, LINETYPE01 to LINETYPE10
std::optional<std::pair<std::string, std::string>> CheckSetting(const std::string& assignment,
                                                                std::string& error);

// What to tell the user about a value CheckSetting took that the dialog does
// not offer (d_point outside 1 to 5); empty when there is nothing to tell.
std::string SettingWarning(const std::string& name, const std::string& value);

// Writes each setting's warning, if any, to the standard error.
void WarnOfUnusualSettings(const SettingList& settings);

// The arguments of `vekhost settings --set NAME=VALUE...`: the settings,
// checked, or empty with the reason.
std::optional<SettingList> SetArguments(const std::vector<std::string>& args, std::string& error);

}  // namespace vekhost_tool
