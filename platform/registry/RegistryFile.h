// Text form of the stand-in registry, kept in a file for tools.
//
//     TARNEX-REGISTRY 1
//     [SOFTWARE\Orlanwick\VEK\Tarnex]
//     "d_point"=1:33000000
//
// One line per key (its full path, the root being []) followed by one line
// per value: the quoted name, "=", the registry type in decimal, ":", the data
// in hexadecimal. In names, code units outside printable ASCII and the
// characters % " [ ] \ are written as %XXXX (hexadecimal UTF-16 code unit).
#pragma once

#include "platform/registry/RegistryTree.h"

#include <string>

namespace winreg_standin {

std::string SerializeRegistry(const RegKey& root);
// False when the text is not in the form above; `root` is then unspecified.
bool ParseRegistry(const std::string& text, RegKey& root);

enum class FileLoad { Loaded, Missing, Failed };
FileLoad ReadRegistryFile(const std::string& path, RegKey& root);
// Writes "<path>.new", flushes it to disk and renames it over `path`.
bool WriteRegistryFile(const std::string& path, const RegKey& root);

}  // namespace winreg_standin
