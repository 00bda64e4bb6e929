// Text form of the stand-in registry, kept in a file for tools.
//
//     TARNEX-REGISTRY 1
//     [SOFTWARE\Orlanwick\VEK\Tarnex]
//     "d_point"=1:33000000
//
// One line per key (its full path, the root being []) followed by one line
// per value: the quoted name, "=", the registry type in decimal, ":", the data
// in hexadecimal. A key with subkeys and no values has no line of its own:
// its subkeys' paths make it. In names, code units outside printable ASCII
// and the characters % " [ ] \ are written as %XXXX (hexadecimal UTF-16 code
// unit). A file with names longer or keys deeper than the registry allows is
// refused like any malformed one.
#pragma once

#include "platform/registry/RegistryTree.h"

#include <string>

namespace winreg_standin {

std::string SerializeRegistry(const RegTree& tree);
// False when the text is not in the form above; `tree` is then unspecified.
bool ParseRegistry(const std::string& text, RegTree& tree);

enum class FileLoad { Loaded, Missing, Failed };
FileLoad ReadRegistryFile(const std::string& path, RegTree& tree);
// Writes "<path>.new-<process id>", flushes it to disk and renames it over
// `path`.
bool WriteRegistryFile(const std::string& path, const RegTree& tree);

}  // namespace winreg_standin
