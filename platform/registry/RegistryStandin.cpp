// The registry calls of <windows.h> for native builds, with the Win32
// behaviour the settings store relies on: missing keys and values fail with
// ERROR_FILE_NOT_FOUND, data longer than the caller's buffer is refused with
// ERROR_MORE_DATA (size reported, buffer untouched), value types are kept,
// names are compared ignoring case, and creating a key creates its parents.
// Key names too long, value names too long and keys too deep (RegistryTree.h)
// are refused with ERROR_INVALID_PARAMETER before anything changes.
#include "platform/registry/RegistryStandin.h"

#include "platform/registry/RegistryFile.h"
#include "platform/registry/RegistryTree.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

struct HKEY__ {
    uint32_t key = 0;  // its position in the tree
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
    RegTree tree;
    Mode mode = Mode::Memory;
    std::string path;
    uint64_t generation = 0;  // raised whenever the store is replaced
    std::set<HKEY> open;
    // While a change to the file is under way: its lock, how many changes
    // (one inside ChangeAsOne) hold it, and the batch's state.
    std::unique_ptr<RegistryFileLock> fileLock;
    int lockDepth = 0;
    bool inBatch = false;
    bool batchChanged = false;
    RegTree batchBefore;
};

Store& TheStore() {
    static Store store;
    return store;
}

// Splits a subkey path at "\". As in Wine's registry, a leading "\" is refused and
// repeated or trailing ones count as one separator. A name longer than Windows
// takes is refused as Windows refuses it, whether the key is opened or made.
LSTATUS SplitPath(LPCWSTR subKey, std::vector<std::u16string>& parts) {
    parts.clear();
    if (!subKey || !*subKey) {
        return ERROR_SUCCESS;
    }
    if (*subKey == u'\\') {
        return ERROR_BAD_PATHNAME;
    }
    std::u16string name;
    for (const WCHAR* p = subKey;; ++p) {
        if (*p == u'\\' || *p == 0) {
            if (name.size() > kMaxKeyNameLength) {
                return ERROR_INVALID_PARAMETER;
            }
            if (!name.empty()) {
                parts.push_back(std::move(name));
            }
            name.clear();
            if (*p == 0) {
                return ERROR_SUCCESS;
            }
        } else {
            name += *p;
        }
    }
}

// The key a handle stands for, and the access it was opened with.
LSTATUS Resolve(Store& store, HKEY handle, uint32_t& key, REGSAM& access) {
    if (store.mode == Mode::Broken) {
        return ERROR_BADDB;
    }
    if (handle == HKEY_CURRENT_USER) {
        key = RegTree::kRoot;
        access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    if (!store.open.count(handle)) {
        return ERROR_INVALID_HANDLE;
    }
    if (handle->generation != store.generation) {
        return ERROR_KEY_DELETED;
    }
    key = handle->key;
    access = handle->access;
    return ERROR_SUCCESS;
}

HKEY NewHandle(Store& store, uint32_t key, REGSAM access) {
    HKEY handle = new HKEY__{key, access, store.generation};
    store.open.insert(handle);
    return handle;
}

// Makes `fresh` (the file's latest contents) the store's tree, keeping every
// key this process knows, so that open handles still name their keys. Parents
// come before their subkeys in a tree, so one pass maps every key.
void AdoptFileTree(Store& store, RegTree fresh) {
    std::vector<uint32_t> moved(store.tree.keys.size(), RegTree::kRoot);
    for (uint32_t k = 1; k < store.tree.keys.size(); ++k) {
        const RegKey& key = store.tree.keys[k];
        const uint32_t parent = moved[key.parent];
        uint32_t found = fresh.FindSubkey(parent, key.name);
        if (found == kNoKey) {
            found = fresh.AddSubkey(parent, key.name);
        }
        moved[k] = found;
    }
    for (HKEY handle : store.open) {
        if (handle->generation == store.generation) {
            handle->key = moved[handle->key];
        }
    }
    store.tree = std::move(fresh);
}

// Before a change to a file-backed store: takes the file's lock (unless a
// batch holds it already) and brings the tree up to the file, which another
// process may have changed since it was read.
LSTATUS BeginChange(Store& store) {
    if (store.mode != Mode::File || store.lockDepth++ > 0) {
        return ERROR_SUCCESS;
    }
    store.fileLock = RegistryFileLock::Take(store.path);
    RegTree fresh;
    LSTATUS status = ERROR_SUCCESS;
    if (!store.fileLock) {
        status = ERROR_REGISTRY_IO_FAILED;
    } else if (ReadRegistryFile(store.path, fresh) == FileLoad::Failed) {
        status = ERROR_BADDB;
    }
    if (status != ERROR_SUCCESS) {
        store.fileLock.reset();
        store.lockDepth = 0;
        return status;
    }
    AdoptFileTree(store, std::move(fresh));
    return ERROR_SUCCESS;
}

void EndChange(Store& store) {
    if (store.lockDepth > 0 && --store.lockDepth == 0) {
        store.fileLock.reset();
    }
}

// BeginChange and EndChange around one registry call.
class ChangeScope {
public:
    explicit ChangeScope(Store& store) : store_(store), status_(BeginChange(store)) {}
    ~ChangeScope() {
        if (status_ == ERROR_SUCCESS) {
            EndChange(store_);
        }
    }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;
    LSTATUS Status() const { return status_; }

private:
    Store& store_;
    LSTATUS status_;
};

// Makes a change to the store and, when it changed anything and a file is
// behind the store, writes the file (at the end of a batch, when in one); if
// that fails the change is undone and reported as an I/O failure.
template <typename Change>
LSTATUS Commit(Store& store, Change&& change, const bool& changed) {
    if (store.mode != Mode::File) {
        return change();
    }
    if (store.inBatch) {
        LSTATUS status = change();
        if (status == ERROR_SUCCESS && changed) {
            store.batchChanged = true;
        }
        return status;
    }
    RegTree before = store.tree;
    LSTATUS status = change();
    if (status != ERROR_SUCCESS || !changed) {
        return status;
    }
    if (!WriteRegistryFile(store.path, store.tree)) {
        store.tree = std::move(before);
        return ERROR_REGISTRY_IO_FAILED;
    }
    return ERROR_SUCCESS;
}

void ReplaceStore(Store& store, Mode mode, std::string path, RegTree tree) {
    store.mode = mode;
    store.path = std::move(path);
    store.tree = std::move(tree);
    ++store.generation;
}

}  // namespace

bool SameRegName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

uint32_t RegTree::FindSubkey(uint32_t key, const std::u16string& name) const {
    for (uint32_t sub : keys[key].subkeys) {
        if (SameRegName(keys[sub].name, name)) {
            return sub;
        }
    }
    return kNoKey;
}

uint32_t RegTree::AddSubkey(uint32_t key, std::u16string name) {
    const auto sub = static_cast<uint32_t>(keys.size());
    RegKey added;
    added.name = std::move(name);
    added.parent = key;
    added.depth = keys[key].depth + 1;
    keys.push_back(std::move(added));
    keys[key].subkeys.push_back(sub);
    return sub;
}

RegValue* RegTree::FindValue(uint32_t key, const std::u16string& name) {
    for (RegValue& value : keys[key].values) {
        if (SameRegName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

void UseMemoryRegistry() {
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    ReplaceStore(store, Mode::Memory, {}, RegTree{});
}

namespace {

// Loads the file into the store, which then keeps changes in `mode`: back in
// the file, or in memory only.
bool UseLoaded(const std::string& path, Mode mode) {
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    RegTree tree;
    if (ReadRegistryFile(path, tree) == FileLoad::Failed) {
        ReplaceStore(store, Mode::Broken, path, RegTree{});
        return false;
    }
    ReplaceStore(store, mode, mode == Mode::File ? path : std::string(), std::move(tree));
    return true;
}

}  // namespace

bool UseRegistryFile(const std::string& path) {
    return UseLoaded(path, Mode::File);
}

bool UseRegistryCopy(const std::string& path) {
    return UseLoaded(path, Mode::Memory);
}

namespace {

// Opens a batch on a file-backed store; false when it is none (or a batch is
// open already) and `changes` are to run as they come.
bool OpenBatch(Store& store, bool& refused) {
    std::lock_guard lock(store.mutex);
    refused = store.mode == Mode::Broken;
    if (store.mode != Mode::File || store.inBatch) {
        return false;
    }
    if (BeginChange(store) != ERROR_SUCCESS) {
        refused = true;
        return false;
    }
    store.inBatch = true;
    store.batchChanged = false;
    store.batchBefore = store.tree;
    return true;
}

bool CloseBatch(Store& store, bool ok) {
    std::lock_guard lock(store.mutex);
    store.inBatch = false;
    if (store.batchChanged && !(ok && WriteRegistryFile(store.path, store.tree))) {
        store.tree = std::move(store.batchBefore);
        ++store.generation;  // keys made in the batch are gone
        ok = false;
    }
    store.batchBefore = RegTree{};
    EndChange(store);
    return ok;
}

}  // namespace

bool ChangeAsOne(const std::function<bool()>& changes) {
    Store& store = TheStore();
    bool refused = false;
    if (!OpenBatch(store, refused)) {
        return !refused && changes();
    }
    bool ok = false;
    try {
        ok = changes();
    } catch (...) {
        CloseBatch(store, false);
        throw;
    }
    return CloseBatch(store, ok);
}

std::string DefaultRegistryFilePath() {
    auto env = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value ? value : "";
    };
    if (std::string file = env("TARNEX_REGISTRY_FILE"); !file.empty()) {
        return file;
    }
    if (std::string config = env("XDG_CONFIG_HOME"); !config.empty() && config[0] == '/') {
        return config + "/tarnex/registry.txt";
    }
    if (std::string home = env("HOME"); !home.empty()) {
        return home + "/.config/tarnex/registry.txt";
    }
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
    if (!phkResult) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    uint32_t key = 0;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, key, access); status != ERROR_SUCCESS) {
        return status;
    }
    std::vector<std::u16string> parts;
    if (LSTATUS status = SplitPath(lpSubKey, parts); status != ERROR_SUCCESS) {
        return status;
    }
    for (const std::u16string& name : parts) {
        key = store.tree.FindSubkey(key, name);
        if (key == kNoKey) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    *phkResult = NewHandle(store, key, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD dwOptions,
                               REGSAM samDesired, const LPSECURITY_ATTRIBUTES, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
    if (!phkResult) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    if (dwOptions != REG_OPTION_NON_VOLATILE) {
        return ERROR_INVALID_PARAMETER;
    }
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    const ChangeScope scope(store);
    if (scope.Status() != ERROR_SUCCESS) {
        return scope.Status();
    }
    uint32_t base = 0;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, base, access); status != ERROR_SUCCESS) {
        return status;
    }
    std::vector<std::u16string> parts;
    if (LSTATUS status = SplitPath(lpSubKey, parts); status != ERROR_SUCCESS) {
        return status;
    }
    if (store.tree.keys[base].depth + parts.size() > kMaxKeyDepth) {
        return ERROR_INVALID_PARAMETER;
    }

    uint32_t key = base;
    bool created = false;
    LSTATUS status = Commit(
        store,
        [&]() -> LSTATUS {
            for (const std::u16string& name : parts) {
                uint32_t sub = store.tree.FindSubkey(key, name);
                if (sub == kNoKey) {
                    if (!(access & KEY_CREATE_SUB_KEY)) {
                        return ERROR_ACCESS_DENIED;
                    }
                    sub = store.tree.AddSubkey(key, name);
                    created = true;
                }
                key = sub;
            }
            return ERROR_SUCCESS;
        },
        created);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (lpdwDisposition) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *phkResult = NewHandle(store, key, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) {
        return ERROR_INVALID_PARAMETER;
    }
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    uint32_t key = 0;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, key, access); status != ERROR_SUCCESS) {
        return status;
    }
    if (!(access & KEY_QUERY_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    const RegValue* value = store.tree.FindValue(key, lpValueName ? lpValueName : u"");
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (lpType) {
        *lpType = value->type;
    }
    const DWORD size = static_cast<DWORD>(value->data.size());
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) {
            std::memcpy(lpData, value->data.data(), size);
        }
    }
    if (lpcbData) {
        *lpcbData = size;
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    if (!lpData && cbData) {
        return ERROR_NOACCESS;
    }
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    const ChangeScope scope(store);
    if (scope.Status() != ERROR_SUCCESS) {
        return scope.Status();
    }
    uint32_t key = 0;
    REGSAM access = 0;
    if (LSTATUS status = Resolve(store, hKey, key, access); status != ERROR_SUCCESS) {
        return status;
    }
    if (!(access & KEY_SET_VALUE)) {
        return ERROR_ACCESS_DENIED;
    }
    const std::u16string name = lpValueName ? lpValueName : u"";
    if (name.size() > kMaxValueNameLength) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool changed = true;
    return Commit(
        store,
        [&]() -> LSTATUS {
            std::vector<BYTE> data(lpData, lpData + cbData);
            if (RegValue* value = store.tree.FindValue(key, name)) {
                value->type = dwType;
                value->data = std::move(data);
            } else {
                store.tree.keys[key].values.push_back(RegValue{name, dwType, std::move(data)});
            }
            return ERROR_SUCCESS;
        },
        changed);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_CURRENT_USER) {
        return ERROR_SUCCESS;
    }
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    if (!store.open.erase(hKey)) {
        return ERROR_INVALID_HANDLE;
    }
    delete hKey;
    return ERROR_SUCCESS;
}

}  // extern "C"
