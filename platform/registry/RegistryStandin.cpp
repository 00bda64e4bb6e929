// The registry calls of <windows.h> for native builds, with the Win32
// behaviour the settings store relies on: missing keys and values fail with
// ERROR_FILE_NOT_FOUND, data longer than the caller's buffer is refused with
// ERROR_MORE_DATA (size reported, buffer untouched), value types are kept,
// names are compared ignoring case, and creating a key creates its parents.
#include "platform/registry/RegistryStandin.h"

#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistryTree.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

struct HKEY__ {
    std::vector<std::u16string> path;  // stored names from the root
    REGSAM access = 0;
    uint64_t generation = 0;
};

namespace winreg_standin {

namespace {

char16_t Fold(char16_t c) {
    bool lower = (c >= u'a' && c <= u'z') || (c >= 0xe0 && c <= 0xfe && c != 0xf7);
    return lower ? static_cast<char16_t>(c - 0x20) : c;
}

enum class Mode { Memory, File, Broken };

struct Store {
    std::mutex mutex;
    RegKey root;
    Mode mode = Mode::Memory;
    std::string path;
    uint64_t generation = 0;  // raised whenever the store is replaced
    std::set<HKEY> open;
};

Store& TheStore() {
    static Store store;
    return store;
}

// Splits a subkey path at "\". As in Wine's registry, a leading "\" is refused and
// repeated or trailing ones count as one separator.
LSTATUS SplitPath(LPCWSTR subKey, std::vector<std::u16string>& parts) {
    parts.clear();
    if (!subKey || !*subKey) return ERROR_SUCCESS;
    if (*subKey == u'\\') return ERROR_BAD_PATHNAME;
    std::u16string name;
    for (const WCHAR* p = subKey;; ++p) {
        if (*p == u'\\' || *p == 0) {
            if (!name.empty()) parts.push_back(std::move(name));
            name.clear();
            if (*p == 0) return ERROR_SUCCESS;
        } else {
            name += *p;
        }
    }
}

// The key a handle stands for, and the access it was opened with.
LSTATUS Resolve(Store& store, HKEY handle, RegKey*& key, REGSAM& access) {
    if (store.mode == Mode::Broken) return ERROR_BADDB;
    if (handle == HKEY_CURRENT_USER) {
        key = &store.root;
        access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    if (!store.open.count(handle)) return ERROR_INVALID_HANDLE;
    if (handle->generation != store.generation) return ERROR_KEY_DELETED;
    key = &store.root;
    for (const std::u16string& name : handle->path) {
        key = FindSubkey(*key, name);
        if (!key) return ERROR_KEY_DELETED;
    }
    access = handle->access;
    return ERROR_SUCCESS;
}

HKEY NewHandle(Store& store, std::vector<std::u16string> path, REGSAM access) {
    HKEY handle = new HKEY__{std::move(path), access, store.generation};
    store.open.insert(handle);
    return handle;
}

std::vector<std::u16string> BasePath(HKEY handle) {
    return handle == HKEY_CURRENT_USER ? std::vector<std::u16string>{} : handle->path;
}

// Makes a change to the store and, when it changed anything and a file is
// behind the store, writes the file; if that fails the change is undone and
// reported as an I/O failure.
template <typename Change>
LSTATUS Commit(Store& store, Change&& change, const bool& changed) {
    if (store.mode != Mode::File) return change();
    RegKey before = store.root;
    LSTATUS status = change();
    if (status != ERROR_SUCCESS || !changed) return status;
    if (!WriteRegistryFile(store.path, store.root)) {
        store.root = std::move(before);
        return ERROR_REGISTRY_IO_FAILED;
    }
    return ERROR_SUCCESS;
}

void ReplaceStore(Store& store, Mode mode, std::string path, RegKey root) {
    store.mode = mode;
    store.path = std::move(path);
    store.root = std::move(root);
    ++store.generation;
}

}  // namespace

bool SameRegName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

RegKey* FindSubkey(RegKey& key, const std::u16string& name) {
    for (RegKey& sub : key.subkeys) {
        if (SameRegName(sub.name, name)) return &sub;
    }
    return nullptr;
}

RegValue* FindValue(RegKey& key, const std::u16string& name) {
    for (RegValue& value : key.values) {
        if (SameRegName(value.name, name)) return &value;
    }
    return nullptr;
}

void UseMemoryRegistry() {
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    ReplaceStore(store, Mode::Memory, {}, RegKey{});
}

bool UseRegistryFile(const std::string& path) {
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    RegKey root;
    if (ReadRegistryFile(path, root) == FileLoad::Failed) {
        ReplaceStore(store, Mode::Broken, path, RegKey{});
        return false;
    }
    ReplaceStore(store, Mode::File, path, std::move(root));
    return true;
}

std::string DefaultRegistryFilePath() {
    auto env = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value ? value : "";
    };
    if (std::string file = env("TARNEX_REGISTRY_FILE"); !file.empty()) return file;
    if (std::string config = env("XDG_CONFIG_HOME"); !config.empty() && config[0] == '/')
        return config + "/tarnex/registry.txt";
    if (std::string home = env("HOME"); !home.empty()) return home + "/.config/tarnex/registry.txt";
    return "tarnex-registry.txt";
}

int OpenRegistryKeyCount() {
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    return static_cast<int>(store.open.size());
}

}  // namespace winreg_standin

using namespace winreg_standin;

extern "C" {

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired,
                             PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    RegKey* key = nullptr;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, key, access); status != ERROR_SUCCESS) return status;
    std::vector<std::u16string> parts;
    if (LSTATUS status = SplitPath(lpSubKey, parts); status != ERROR_SUCCESS) return status;
    std::vector<std::u16string> path = BasePath(hKey);
    for (const std::u16string& name : parts) {
        key = FindSubkey(*key, name);
        if (!key) return ERROR_FILE_NOT_FOUND;
        path.push_back(key->name);
    }
    *phkResult = NewHandle(store, std::move(path), samDesired);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD dwOptions,
                               REGSAM samDesired, const LPSECURITY_ATTRIBUTES, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (dwOptions != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    RegKey* base = nullptr;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, base, access); status != ERROR_SUCCESS) return status;
    std::vector<std::u16string> parts;
    if (LSTATUS status = SplitPath(lpSubKey, parts); status != ERROR_SUCCESS) return status;

    std::vector<std::u16string> path = BasePath(hKey);
    bool created = false;
    LSTATUS status = Commit(
        store,
        [&]() -> LSTATUS {
            RegKey* key = base;
            for (const std::u16string& name : parts) {
                RegKey* sub = FindSubkey(*key, name);
                if (!sub) {
                    if (!(access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
                    key->subkeys.push_back(RegKey{name, {}, {}});
                    sub = &key->subkeys.back();
                    created = true;
                }
                path.push_back(sub->name);
                key = sub;
            }
            return ERROR_SUCCESS;
        },
        created);
    if (status != ERROR_SUCCESS) return status;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = NewHandle(store, std::move(path), samDesired);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    RegKey* key = nullptr;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, key, access); status != ERROR_SUCCESS) return status;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const RegValue* value = FindValue(*key, lpValueName ? lpValueName : u"");
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    const DWORD size = static_cast<DWORD>(value->data.size());
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(lpData, value->data.data(), size);
    }
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    if (!lpData && cbData) return ERROR_NOACCESS;
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    RegKey* key = nullptr;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, key, access); status != ERROR_SUCCESS) return status;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    const std::u16string name = lpValueName ? lpValueName : u"";
    const bool changed = true;
    return Commit(
        store,
        [&]() -> LSTATUS {
            std::vector<BYTE> data(lpData, lpData + cbData);
            if (RegValue* value = FindValue(*key, name)) {
                value->type = dwType;
                value->data = std::move(data);
            } else {
                key->values.push_back(RegValue{name, dwType, std::move(data)});
            }
            return ERROR_SUCCESS;
        },
        changed);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    if (!store.open.erase(hKey)) return ERROR_INVALID_HANDLE;
    delete hKey;
    return ERROR_SUCCESS;
}

}  // extern "C"
