#include "settings/Settings.h"

#include "state/CommandState.h"
#include "settings/DecimalText.h"
#include "settings/PaletteTables.h"

#include <utility>

RegText SettingsKeyPath(RegText subkey) {
    return RegText(TEXT("SOFTWARE\\Orlanwick\\VEK\\")) + subkey;
}

bool WriteSetting(RegText subkey, RegText valueName, RegText value) {
    return RegWriteString(SettingsKeyPath(std::move(subkey)), std::move(valueName),
                          std::move(value)) == 0;
}

namespace {

// The stored text of one setting, or its default (written back) when it
// cannot be read. Text that reads but makes no sense is kept as it is.
RegText ReadSetting(const SettingDefault& setting) {
    RegText text;
    if (RegReadString(SettingsKeyPath(SettingsSubkey), setting.name, text) != 0) {
        text = setting.text;
        WriteSetting(SettingsSubkey, setting.name, text);
    }
    return text;
}

}  // namespace

bool LoadSettings() {
    MainColorTable colors;
    BuildMainColors(colors);
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);

    SettingsRecord loaded = {};
    loaded.d_point = DecimalTextToInt(ReadSetting(SettingOf(SettingId::DPoint)));
    loaded.inchmm = DecimalTextToInt(ReadSetting(SettingOf(SettingId::InchMm)));
    loaded.IsExploded =
        DecimalTextToInt(ReadSetting(SettingOf(SettingId::IsExploded))) != 0 ? 1 : 0;
    loaded.Color = DecimalTextToInt(ReadSetting(SettingOf(SettingId::Color)));
    const int colorPosition = FindByName(colors, ReadSetting(SettingOf(SettingId::MainColor)));
    loaded.colorIndex = colors.entries[static_cast<size_t>(colorPosition)].index;
    const int lineTypePosition = FindByName(lineTypes, ReadSetting(SettingOf(SettingId::LineType)));
    loaded.lineTypeCode = lineTypes.entries[static_cast<size_t>(lineTypePosition)].code;

    ActiveSettings = loaded;
    return true;
}
