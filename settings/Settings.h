// The command's six settings, kept as string values under
// HKEY_CURRENT_USER\SOFTWARE\Orlanwick\VEK\<subkey>, and their loading into
// ActiveSettings.
#pragma once

#include "settings/RegText.h"
#include "settings/RegistryStrings.h"

#include <cstddef>

// The command's subkey name, "Tarnex". A constant array, so that its text is
// in place before any constructor of the library runs (a constinit string is
// not a constant expression to every compiler: clang 14 refuses libstdc++'s).
inline constexpr WCHAR SettingsSubkey[] = TEXT("Tarnex");

// The value names and their defaults, in loading order.
struct SettingDefault {
    const WCHAR* name;
    const WCHAR* text;
};
inline constexpr SettingDefault kSettingDefaults[] = {
    {TEXT("d_point"), TEXT("3")},           {TEXT("inchmm"), TEXT("0")},
    {TEXT("IsExploded"), TEXT("0")},        {TEXT("Color"), TEXT("0")},
    {TEXT("mColor1"), TEXT("MAINCOLOR02")}, {TEXT("mLType1"), TEXT("LINETYPE07")},
};

// Each setting by its place in kSettingDefaults, for those that handle one
// setting by name (the loading, the dialog).
enum class SettingId : size_t { DPoint, InchMm, IsExploded, Color, MainColor, LineType };
constexpr const SettingDefault& SettingOf(SettingId id) {
    return kSettingDefaults[static_cast<size_t>(id)];
}
static_assert(sizeof kSettingDefaults / sizeof kSettingDefaults[0] ==
              static_cast<size_t>(SettingId::LineType) + 1);

// "SOFTWARE\Orlanwick\VEK\" followed by `subkey`.
RegText SettingsKeyPath(RegText subkey);

// Writes one value under SettingsKeyPath(subkey); true when it was written.
bool WriteSetting(RegText subkey, RegText valueName, RegText value);

// Fills ActiveSettings from the six values under SettingsSubkey. A value that
// cannot be read takes its default, which is also written back (a failed
// write is ignored). Always true.
bool LoadSettings();
