#include "platform/registry/RegistryFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace winreg_standin {

namespace {

const char kHeader[] = "TARNEX-REGISTRY 1";
const char kHex[] = "0123456789abcdef";

void AppendEscaped(std::string& out, const std::u16string& name) {
    for (char16_t c : name) {
        bool plain = c >= 0x20 && c <= 0x7e && c != u'%' && c != u'"' && c != u'[' && c != u']' &&
                     c != u'\\';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(c >> shift) & 0xf];
            }
        }
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool Unescape(const std::string& text, std::u16string& name) {
    name.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            name += static_cast<char16_t>(static_cast<unsigned char>(text[i]));
            continue;
        }
        if (i + 4 >= text.size()) {
            return false;
        }
        unsigned code = 0;
        for (size_t k = 1; k <= 4; ++k) {
            int d = HexDigit(text[i + k]);
            if (d < 0) {
                return false;
            }
            code = code * 16 + static_cast<unsigned>(d);
        }
        name += static_cast<char16_t>(code);
        i += 4;
    }
    return true;
}

// A key's line and its values' lines. The path is made by walking up to the
// root, so that no depth of keys makes a deep call chain.
void AppendKey(std::string& out, const RegTree& tree, uint32_t index) {
    std::vector<uint32_t> chain;
    for (uint32_t k = index; k != RegTree::kRoot; k = tree.keys[k].parent) {
        chain.push_back(k);
    }
    out += '[';
    for (size_t i = chain.size(); i-- > 0;) {
        AppendEscaped(out, tree.keys[chain[i]].name);
        if (i) {
            out += '\\';
        }
    }
    out += "]\n";
    for (const RegValue& value : tree.keys[index].values) {
        out += '"';
        AppendEscaped(out, value.name);
        out += "\"=";
        out += std::to_string(value.type);
        out += ':';
        for (BYTE b : value.data) {
            out += kHex[b >> 4];
            out += kHex[b & 0xf];
        }
        out += '\n';
    }
}

bool ParseKeyLine(const std::string& line, RegTree& tree, uint32_t& current) {
    if (line.back() != ']') {
        return false;
    }
    std::string inner = line.substr(1, line.size() - 2);
    current = RegTree::kRoot;
    if (inner.empty()) {
        return true;
    }
    size_t start = 0;
    while (true) {
        size_t end = inner.find('\\', start);
        std::u16string name;
        if (!Unescape(inner.substr(start, end - start), name) || name.empty() ||
            name.size() > kMaxKeyNameLength) {
            return false;
        }
        uint32_t sub = tree.FindSubkey(current, name);
        if (sub == kNoKey) {
            if (tree.keys[current].depth >= kMaxKeyDepth) {
                return false;
            }
            sub = tree.AddSubkey(current, std::move(name));
        }
        current = sub;
        if (end == std::string::npos) {
            return true;
        }
        start = end + 1;
    }
}

bool ParseValueLine(const std::string& line, RegTree& tree, uint32_t key) {
    size_t close = line.find('"', 1);
    if (close == std::string::npos || line.compare(close, 2, "\"=") != 0) {
        return false;
    }
    RegValue value;
    if (!Unescape(line.substr(1, close - 1), value.name) ||
        value.name.size() > kMaxValueNameLength) {
        return false;
    }
    size_t colon = line.find(':', close + 2);
    if (colon == std::string::npos || colon == close + 2) {
        return false;
    }
    unsigned long long type = 0;
    for (size_t i = close + 2; i < colon; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return false;
        }
        type = type * 10 + static_cast<unsigned>(line[i] - '0');
        if (type > MAXDWORD) {
            return false;
        }
    }
    value.type = static_cast<DWORD>(type);
    std::string hex = line.substr(colon + 1);
    if (hex.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]);
        int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        value.data.push_back(static_cast<BYTE>(hi * 16 + lo));
    }
    if (RegValue* existing = tree.FindValue(key, value.name)) {
        *existing = std::move(value);
    } else {
        tree.keys[key].values.push_back(std::move(value));
    }
    return true;
}

}  // namespace

std::string SerializeRegistry(const RegTree& tree) {
    std::string out = kHeader;
    out += '\n';
    // In creation order: each key comes after its parent, and subkeys keep
    // their order when the file is read again.
    for (uint32_t k = 0; k < tree.keys.size(); ++k) {
        const RegKey& key = tree.keys[k];
        if (k == RegTree::kRoot || !key.values.empty() || key.subkeys.empty()) {
            AppendKey(out, tree, k);
        }
    }
    return out;
}

bool ParseRegistry(const std::string& text, RegTree& tree) {
    tree = RegTree{};
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) {
        return false;
    }
    uint32_t current = kNoKey;
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        if (line[0] == '[') {
            if (!ParseKeyLine(line, tree, current)) {
                return false;
            }
        } else if (line[0] == '"' && current != kNoKey) {
            if (!ParseValueLine(line, tree, current)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

FileLoad ReadRegistryFile(const std::string& path, RegTree& tree) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (ec) {
            return FileLoad::Failed;
        }
        tree = RegTree{};
        return FileLoad::Missing;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return FileLoad::Failed;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return FileLoad::Failed;
    }
    return ParseRegistry(text.str(), tree) ? FileLoad::Loaded : FileLoad::Failed;
}

bool WriteRegistryFile(const std::string& path, const RegTree& tree) {
    const std::string text = SerializeRegistry(tree);
    std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), ec);
    }

    const std::string temp = path + ".new";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        written += static_cast<size_t>(n);
    }
    // The data must be on disk before the rename makes it the file.
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::unique_ptr<RegistryFileLock> RegistryFileLock::Take(const std::string& path) {
    std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), ec);
    }
    const std::string name = path + ".lock";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    int status = 0;
    do {
        status = ::flock(fd, LOCK_EX);
    } while (status != 0 && errno == EINTR);
    if (status != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<RegistryFileLock>(new RegistryFileLock(fd));
}

RegistryFileLock::~RegistryFileLock() {
    ::close(fd_);  // releases the lock
}

}  // namespace winreg_standin
