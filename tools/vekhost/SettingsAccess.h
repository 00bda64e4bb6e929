// The command's settings as the driver sees them: the same registry values
// the settings dialog writes, through the plug-in's own settings store.
// Natively the registry stand-in keeps them in a file (see
// DefaultRegistryFilePath); on Windows they are in the user's registry, or
// under HKEY_CURRENT_USER\$TARNEX_REGISTRY_KEY when that is set (tests use
// it to keep away from the user's own settings).
//
// Several vekhost processes may use one store at once: values stored
// together reach it together, and a run reads either all of them or none.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vekhost_tool {

// NAME=VALUE pairs, names spelt as SettingNames() spells them.
using SettingList = std::vector<std::pair<std::string, std::string>>;

// The six value names in loading order.
std::vector<std::string> SettingNames();
// The canonical spelling of a value name given in any letter case; empty
// when it names none of the six.
std::optional<std::string> CanonicalSettingName(const std::string& name);

// Makes the persistent store the current one; false with a reason when it
// cannot be used. Where it is, for messages.
bool OpenPersistentSettings(std::string& error);
std::string SettingsLocation();

// Stores the values in the persistent store as the dialog would, all of them
// or none; false with the reason when the store refused.
bool StoreSettings(const SettingList& settings, std::string& error);

// Writes one value to the current store as the dialog would; false when the
// registry refused.
bool StoreSetting(const std::string& name, const std::string& utf8Value);
// The stored text, or empty when the value cannot be read.
std::optional<std::string> StoredSetting(const std::string& name);

// While it lives, settings are read from and written to a store of this
// process's own: empty (the demo), or a copy of the user's stored settings
// (a run, whose --set values go into the copy). The user's settings are left
// as they were either way; the plug-in reads the registry as in the host.
class ScratchSettings {
public:
    enum class Start { Empty, CopyOfStored };
    explicit ScratchSettings(Start start = Start::Empty);
    ~ScratchSettings();
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;
    bool Ok() const { return ok_; }
    // Why it is not Ok.
    const std::string& Error() const { return error_; }

private:
    bool ok_ = false;
    bool copy_ = false;
    std::string error_;
    [[maybe_unused]] void* key_ = nullptr;  // the registry key it opened (Windows)
};

}  // namespace vekhost_tool
