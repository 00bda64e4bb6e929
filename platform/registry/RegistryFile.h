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
//
// Processes that share a file change it one at a time: each holds
// "<path>.lock" while it reads the file, changes it and renames the new file
// over it. Readers need no lock, since the rename replaces the whole file at
// once.
#pragma once

#include "platform/registry/RegistryTree.h"

#include <memory>
#include <string>

namespace winreg_standin {

std::string SerializeRegistry(const RegTree& tree);
// False when the text is not in the form above; `tree` is then unspecified.
bool ParseRegistry(const std::string& text, RegTree& tree);

enum class FileLoad { Loaded, Missing, Failed };
FileLoad ReadRegistryFile(const std::string& path, RegTree& tree);
// Writes "<path>.new", flushes it to disk and renames it over `path`. Only
// while holding the file's lock: "<path>.new" is the one writer's.
bool WriteRegistryFile(const std::string& path, const RegTree& tree);

// The exclusive lock on "<path>.lock" (created with its folder when missing,
// and left in place: removing it would let two processes lock different
// files). Null when it cannot be taken. Released when destroyed.
class RegistryFileLock {
public:
    static std::unique_ptr<RegistryFileLock> Take(const std::string& path);
    ~RegistryFileLock();
    RegistryFileLock(const RegistryFileLock&) = delete;
    RegistryFileLock& operator=(const RegistryFileLock&) = delete;

private:
    explicit RegistryFileLock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace winreg_standin
