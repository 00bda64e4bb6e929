#include "tools/wasm/SettingsJson.h"

#include "tools/vekhost/SettingValues.h"
#include "tools/vekhost/TextConvert.h"
#include "settings/PaletteTables.h"
#include "settings/Settings.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace tarnex_page {

namespace {

using vekhost_tool::FromWideText;
using vekhost_tool::Utf16ToUtf8;

template <typename Char>
std::string Utf8(const std::basic_string<Char>& text) {
    return Utf16ToUtf8(FromWideText(text));
}

// The palette's line-type pictures, by table position, as the picker's
// resources name them (res/PickerDialogs.rc); the page has copies under
// palette/.
std::string LineTypeBitmap(int position) {
    char name[32];
    std::snprintf(name, sizeof name, "LineType%02d.bmp", position);
    return name;
}

nlohmann::json Colours() {
    MainColorTable table;
    BuildMainColors(table);
    nlohmann::json colours = nlohmann::json::array();
    for (int i = 1; i <= table.count; ++i) {
        const MainColorEntry& entry = table.entries[static_cast<size_t>(i)];
        colours.push_back({{"name", Utf8(entry.name)},
                           {"index", entry.index},
                           {"rgb", {entry.red & 0xff, entry.green & 0xff, entry.blue & 0xff}}});
    }
    return colours;
}

nlohmann::json LineTypes() {
    LineTypeTable table;
    BuildLineTypes(table);
    nlohmann::json lineTypes = nlohmann::json::array();
    for (int i = 1; i <= table.count; ++i) {
        const LineTypeEntry& entry = table.entries[static_cast<size_t>(i)];
        // "index": the host's number for it, as a colour's.
        lineTypes.push_back(
            {{"name", Utf8(entry.name)}, {"index", entry.code}, {"bitmap", LineTypeBitmap(i)}});
    }
    return lineTypes;
}

// A setting's values as the dialog offers them: its list of places, its
// radio buttons and check boxes, or the palette's names.
nlohmann::json Choices(const std::string& name, const nlohmann::json& colours,
                       const nlohmann::json& lineTypes) {
    nlohmann::json choices = nlohmann::json::array();
    if (name == "d_point") {
        for (int places = vekhost_tool::kFewestOfferedPlaces;
             places <= vekhost_tool::kMostOfferedPlaces; ++places) {
            choices.push_back(
                {{"value", std::to_string(places)}, {"label", std::to_string(places)}});
        }
    } else if (name == "mColor1" || name == "mLType1") {
        for (const auto& entry : name == "mColor1" ? colours : lineTypes) {
            choices.push_back({{"value", entry["name"]}, {"label", entry["name"]}});
        }
    } else {
        for (const vekhost_tool::SettingChoice& choice : vekhost_tool::SettingChoices(name)) {
            choices.push_back({{"value", choice.value}, {"label", choice.meaning}});
        }
    }
    return choices;
}

}  // namespace

std::string SettingsJson() {
    const nlohmann::json colours = Colours();
    const nlohmann::json lineTypes = LineTypes();
    nlohmann::json settings = nlohmann::json::array();
    for (const SettingDefault& setting : kSettingDefaults) {
        const std::string name = Utf8(std::basic_string<WCHAR>(setting.name));
        settings.push_back({{"name", name},
                            {"default", Utf8(std::basic_string<WCHAR>(setting.text))},
                            {"choices", Choices(name, colours, lineTypes)}});
    }
    return nlohmann::json{{"settings", settings}, {"colours", colours}, {"lineTypes", lineTypes}}
        .dump();
}

}  // namespace tarnex_page
