// The command's settings as the driver sees them: the same registry values
// the settings dialog writes, through the plug-in's own settings store.
// Natively the registry stand-in keeps them in a file (see
// DefaultRegistryFilePath); on Windows they are in the user's registry.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vekhost_tool {

// The six value names in loading order.
std::vector<std::string> SettingNames();
// The canonical spelling of a value name given in any letter case; empty
// when it names none of the six.
std::optional<std::string> CanonicalSettingName(const std::string& name);

// Makes the persistent store the current one; false with a reason when it
// cannot be used. Where it is, for messages.
bool OpenPersistentSettings(std::string& error);
std::string SettingsLocation();

// Writes one value as the dialog would; false when the registry refused.
bool StoreSetting(const std::string& name, const std::string& utf8Value);
// The stored text, or empty when the value cannot be read.
std::optional<std::string> StoredSetting(const std::string& name);

// While it lives, settings go to a scratch store that leaves the user's own
// settings as they were (the demo uses it).
class ScratchSettings {
public:
    ScratchSettings();
    ~ScratchSettings();
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
    void* key_ = nullptr;
};

}  // namespace vekhost_tool
