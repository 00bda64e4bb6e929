// Control of the native registry stand-in, for tests and tools only; the
// plug-in itself sees nothing but the Win32 calls of <windows.h>.
//
// The stand-in starts in memory and empty. A tool that wants settings to
// outlive the process switches it to a file:
//     winreg_standin::UseRegistryFile(winreg_standin::DefaultRegistryFilePath());
// The file is rewritten after every change (a new file, then a rename, so a
// process that dies mid-write leaves the previous contents intact). Several
// processes may use one file at once: each change is made under the file's
// lock to the file's latest contents, so none is lost.
#pragma once

#include <functional>
#include <string>

namespace winreg_standin {

// Empties the store and keeps it in memory only. Keys still open from before
// report ERROR_KEY_DELETED and can only be closed.
void UseMemoryRegistry();

// Loads the store from `path` (a missing file is an empty store) and writes
// every later change back to it. A file that cannot be read or parsed is left
// untouched and every registry call fails with ERROR_BADDB until the next
// Use... call; the result is false then.
bool UseRegistryFile(const std::string& path);

// Loads the store from `path` as UseRegistryFile does, but keeps later
// changes in memory: they last as long as the process and the file is left
// as it was.
bool UseRegistryCopy(const std::string& path);

// Runs `changes` (registry calls of this process) as one change to the file:
// under the file's lock throughout, from its latest contents, written once
// at the end. When `changes` returns false or the file cannot be written,
// nothing is written, the store is as it was before (keys opened meanwhile
// report ERROR_KEY_DELETED) and the result is false. A store in memory just
// runs `changes`.
bool ChangeAsOne(const std::function<bool()>& changes);

// Where tools keep the store: $TARNEX_REGISTRY_FILE when set and not empty,
// else $XDG_CONFIG_HOME/tarnex/registry.txt, else
// $HOME/.config/tarnex/registry.txt, else tarnex-registry.txt in the current
// folder.
std::string DefaultRegistryFilePath();

// Key handles opened or created and not yet closed (predefined keys aside).
int OpenRegistryKeyCount();

}  // namespace winreg_standin
