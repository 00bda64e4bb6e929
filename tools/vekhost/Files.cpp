#include "tools/vekhost/Files.h"

#include "tools/vekhost/TextConvert.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <streambuf>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vekhost_tool {

namespace fs = std::filesystem;

namespace {

// ---- Temporary files removed when the program is interrupted ----
// Fixed slots, so that a signal handler can read them without allocating.

constexpr size_t kSlotCount = 16;
constexpr size_t kSlotLength = 4096;  // characters of a path, its end included

struct Slot {
    std::atomic<bool> used{false};
    std::array<fs::path::value_type, kSlotLength> path{};
};
std::array<Slot, kSlotCount> slots;

void RemoveRegistered() {
    for (Slot& slot : slots) {
        if (slot.used.load()) {
#ifdef _WIN32
            DeleteFileW(slot.path.data());
#else
            unlink(slot.path.data());
#endif
        }
    }
}

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD /*event*/) {
    RemoveRegistered();
    return FALSE;  // and the default handling ends the program
}

void InstallCleanup() {
    static const bool installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
    (void)installed;
}

#else

void OnSignal(int number) {
    RemoveRegistered();
    signal(number, SIG_DFL);
    raise(number);
}

void InstallCleanup() {
    static const bool installed = [] {
        for (int number : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old {};
            // A signal the program was started to ignore stays ignored.
            if (sigaction(number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = OnSignal;
            sigemptyset(&action.sa_mask);
            sigaction(number, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

#endif

// A slot holding `path` while it lives; none when all are taken or the path
// is too long (then only an interruption leaves the file behind).
class Registration {
public:
    explicit Registration(const fs::path& path) {
        InstallCleanup();
        const auto& text = path.native();
        if (text.size() >= kSlotLength) {
            return;
        }
        for (Slot& slot : slots) {
            if (!slot.used.load()) {
                std::copy(text.begin(), text.end(), slot.path.begin());
                slot.path[text.size()] = 0;
                slot.used.store(true);
                slot_ = &slot;
                return;
            }
        }
    }
    ~Registration() {
        if (slot_ != nullptr) {
            slot_->used.store(false);
        }
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

private:
    Slot* slot_ = nullptr;
};

// ---- The operating system's files ----

#ifdef _WIN32
using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

std::string LastError() {
    return std::system_category().message(static_cast<int>(GetLastError()));
}

bool WriteAll(Handle file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data, piece, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool SyncAndClose(Handle& file) {
    const bool synced = FlushFileBuffers(file) != 0;
    const bool closed = CloseHandle(file) != 0;
    file = kNoHandle;
    return synced && closed;
}

void Close(Handle& file) {
    CloseHandle(file);
    file = kNoHandle;
}
#else
using Handle = int;
const Handle kNoHandle = -1;

std::string LastError() {
    return std::generic_category().message(errno);
}

bool WriteAll(Handle file, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(file, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool SyncAndClose(Handle& file) {
    const bool synced = fsync(file) == 0;
    const bool closed = close(file) == 0;
    file = kNoHandle;
    return synced && closed;
}

void Close(Handle& file) {
    close(file);
    file = kNoHandle;
}
#endif

// An output stream's bytes straight into a file of the system, so that the
// file can be made durable before it is renamed.
class FileBuffer : public std::streambuf {
public:
    explicit FileBuffer(Handle file) : file_(file), buffer_(kBufferSize) { Reset(); }
    bool Ok() const { return ok_; }
    // The file, with every byte given so far in it: what is written to it
    // directly comes after them. kNoHandle when they could not be written.
    Handle Flushed() { return Drain() ? file_ : kNoHandle; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    static constexpr size_t kBufferSize = size_t{1} << 16;
    void Reset() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
    bool Drain() {
        ok_ = ok_ && WriteAll(file_, pbase(), static_cast<size_t>(pptr() - pbase()));
        Reset();
        return ok_;
    }
    Handle file_;
    std::vector<char> buffer_;
    bool ok_ = true;
};

// ---- The file a name stands for ----

struct Target {
    fs::path path;  // the file written: a symbolic link's target
    bool exists = false;
#ifdef _WIN32
    DWORD attributes = 0;
#else
    struct stat status {};
#endif
};

#ifdef _WIN32

// The file a link (a reparse point) leads to.
std::optional<fs::path> LinkTarget(const fs::path& link, std::string& error) {
    const HANDLE file =
        CreateFileW(link.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "is a link to a file that cannot be opened (" + LastError() + ")";
        return std::nullopt;
    }
    std::wstring path(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(
        file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (length == 0 || length >= path.size()) {
        error = "is a link whose target cannot be named";
        return std::nullopt;
    }
    path.resize(length);
    return fs::path(path);
}

std::optional<Target> FindTarget(const fs::path& given, std::string& error) {
    Target target{given};
    target.attributes = GetFileAttributesW(given.c_str());
    if (target.attributes != INVALID_FILE_ATTRIBUTES &&
        (target.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const auto path = LinkTarget(given, error);
        if (!path) {
            return std::nullopt;
        }
        target.path = *path;
        target.attributes = GetFileAttributesW(path->c_str());
    }
    target.exists = target.attributes != INVALID_FILE_ATTRIBUTES;
    if (target.exists && (target.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "is a folder";
        return std::nullopt;
    }
    return target;
}

bool WriteProtected(const Target& target) {
    if ((target.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return true;
    }
    const HANDLE file = CreateFileW(target.path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    CloseHandle(file);
    return false;
}

#else

// Links followed further than this are taken for a loop, as the system does.
constexpr int kMaxLinks = 40;

std::optional<Target> FindTarget(const fs::path& given, std::string& error) {
    Target target{given};
    for (int links = 0;; ++links) {
        if (lstat(target.path.c_str(), &target.status) != 0) {
            if (errno == ENOENT) {
                return target;  // a new file (through a link to nothing, too)
            }
            error = LastError();
            return std::nullopt;
        }
        if (!S_ISLNK(target.status.st_mode)) {
            break;
        }
        std::error_code failed;
        const fs::path link = fs::read_symlink(target.path, failed);
        if (failed || links == kMaxLinks) {
            error = failed ? failed.message() : "too many levels of symbolic links";
            return std::nullopt;
        }
        target.path = link.is_absolute() ? link : target.path.parent_path() / link;
    }
    target.exists = true;
    if (S_ISDIR(target.status.st_mode)) {
        error = "is a folder";
        return std::nullopt;
    }
    // A device or pipe would be replaced by a file, not written.
    if (!S_ISREG(target.status.st_mode)) {
        error = "is not a regular file";
        return std::nullopt;
    }
    return target;
}

// Read-only to this user, or to everyone (a file marked read-only, which the
// administrator could write but should not replace unasked).
bool WriteProtected(const Target& target) {
    return access(target.path.c_str(), W_OK) != 0 || (target.status.st_mode & 0222) == 0;
}

#endif

// ---- A temporary file beside its target ----

// Unlikely to be taken by a file already there or another run's; a name
// that is taken is never written over.
fs::path TemporaryName(const fs::path& target) {
    static std::mt19937_64 random{
        std::random_device{}() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    static const char* const kDigits = "0123456789abcdef";
    std::string tag;
    for (uint64_t bits = random(), i = 0; i < 12; ++i, bits >>= 4) {
        tag += kDigits[bits & 15];
    }
    // Short enough to fit beside the longest name a folder holds.
    auto name = target.filename().native();
    name.resize(std::min<size_t>(name.size(), 160));
    return target.parent_path() /
           (fs::path(".") += fs::path(name) += fs::path(".vekhost-" + tag + ".tmp"));
}

class Temporary {
public:
    explicit Temporary(const Target& target)
        : target_(target), path_(TemporaryName(target.path)), registration_(path_) {}
    ~Temporary() {
        if (file_ != kNoHandle) {
            Close(file_);
        }
        if (!renamed_) {
            std::error_code ignored;
            fs::remove(path_, ignored);
        }
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    bool Write(const OutputFile& file, std::string& error);
    bool Rename(std::string& error);

private:
    bool Create(std::string& error);
    Target target_;
    fs::path path_;
    Registration registration_;
    Handle file_ = kNoHandle;
    bool renamed_ = false;
};

#ifdef _WIN32

bool Temporary::Create(std::string& error) {
    file_ = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        file_ = kNoHandle;
        error = "cannot be created (" + LastError() + ")";
        return false;
    }
    return true;
}

bool Temporary::Rename(std::string& error) {
    // A read-only file is replaced only when asked (WriteProtected), and then
    // only without the mark, which the new file takes back.
    const DWORD kept = target_.exists ? target_.attributes : 0;
    if ((kept & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(target_.path.c_str(), kept & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!MoveFileExW(path_.c_str(), target_.path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = LastError();
        if ((kept & FILE_ATTRIBUTE_READONLY) != 0) {
            SetFileAttributesW(target_.path.c_str(), kept);
        }
        return false;
    }
    renamed_ = true;
    if (target_.exists) {
        SetFileAttributesW(target_.path.c_str(), kept);
    }
    return true;
}

#else

bool Temporary::Create(std::string& error) {
    file_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (file_ < 0) {
        error = "cannot be created (" + LastError() + ")";
        return false;
    }
    if (target_.exists) {
        // The owner first: changing it may clear the set-id bits set next.
        if (fchown(file_, target_.status.st_uid, target_.status.st_gid) != 0) {
            (void)!fchown(file_, static_cast<uid_t>(-1), target_.status.st_gid);
        }
        if (fchmod(file_, target_.status.st_mode & 07777) != 0) {
            error = "cannot keep its permissions (" + LastError() + ")";
            return false;
        }
    }
    return true;
}

bool Temporary::Rename(std::string& error) {
    if (rename(path_.c_str(), target_.path.c_str()) != 0) {
        error = LastError();
        return false;
    }
    renamed_ = true;
    return true;
}

#endif

bool Temporary::Write(const OutputFile& file, std::string& error) {
    if (!Create(error)) {
        return false;
    }
    bool written = false;
    if (file.write) {
        FileBuffer buffer(file_);
        std::ostream out(&buffer);
        file.write(out);
        out.flush();
        written = buffer.Ok() && out.good();
    } else {
        written = WriteAll(file_, file.text.data(), file.text.size());
    }
    if (!written) {
        error = "write error (" + LastError() + ")";
        return false;
    }
    if (!SyncAndClose(file_)) {
        error = "cannot be made durable (" + LastError() + ")";
        return false;
    }
    return true;
}

// The renames themselves made durable (Windows: done by the move itself).
void SyncFolders(const std::vector<Target>& targets) {
#ifndef _WIN32
    std::set<fs::path> folders;
    for (const Target& target : targets) {
        folders.insert(target.path.has_parent_path() ? target.path.parent_path() : fs::path("."));
    }
    for (const fs::path& folder : folders) {
        const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (handle >= 0) {
            // Some file systems cannot sync a folder; the files are written.
            (void)fsync(handle);
            close(handle);
        }
    }
#else
    (void)targets;
#endif
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::string& text, std::string& error) {
    std::error_code failed;
    if (fs::is_directory(path, failed)) {
        error = "is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = fs::exists(path, failed) ? "cannot be opened" : "no such file";
        return false;
    }
    // In one read when the size is known (a regular file), else piece by piece.
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0 && in) {
        text.resize(static_cast<size_t>(size));
        in.read(text.data(), static_cast<std::streamsize>(size));
        text.resize(static_cast<size_t>(in.gcount()));
    } else {
        in.clear();
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (in.bad()) {
        error = "read error";
        return false;
    }
    return true;
}

bool WriteAllOrNothing(const std::vector<OutputFile>& files, std::string& error,
                       const WriteOptions& options) {
    // Every file is looked at before any is written.
    std::vector<Target> targets;
    for (const OutputFile& file : files) {
        std::string reason;
        auto target = FindTarget(PathFromUtf8(file.name), reason);
        if (target && target->exists && !options.replaceProtected && WriteProtected(*target)) {
            reason = "the file is write-protected (--force replaces it)";
            target.reset();
        }
        if (!target) {
            error = "cannot write " + file.name + ": " + reason;
            return false;
        }
        targets.push_back(*target);
    }
    // Those not renamed when this returns or throws are removed.
    std::vector<std::unique_ptr<Temporary>> temporaries;
    for (size_t i = 0; i < files.size(); ++i) {
        temporaries.push_back(std::make_unique<Temporary>(targets[i]));
        std::string reason;
        if (!temporaries.back()->Write(files[i], reason)) {
            error = "cannot write " + files[i].name + ": " + reason;
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::string reason;
        // The files renamed before stay written: a rename fails only when
        // the folder changed under the run.
        if (!temporaries[i]->Rename(reason)) {
            error = "cannot write " + files[i].name + ": " + reason;
            return false;
        }
    }
    SyncFolders(targets);
    return true;
}

// ---- Text set aside ----

namespace {

constexpr size_t kSpillBuffer = size_t{1} << 20;

Handle SpillHandle(std::intptr_t file) {
#ifdef _WIN32
    return reinterpret_cast<Handle>(file);
#else
    return static_cast<Handle>(file);
#endif
}

Handle CreateSpill(const fs::path& path) {
#ifdef _WIN32
    const Handle file =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoHandle : file;
#else
    const Handle file =
        open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file != kNoHandle) {
        unlink(path.c_str());
    }
    return file;
#endif
}

// Reads into `data` from the file's position; the bytes read, 0 at its end,
// -1 on failure.
long long ReadSome(Handle file, char* data, size_t size) {
#ifdef _WIN32
    DWORD read = 0;
    return ReadFile(file, data, static_cast<DWORD>(size), &read, nullptr) ? read : -1;
#else
    for (;;) {
        const ssize_t read = ::read(file, data, size);
        if (read >= 0 || errno != EINTR) {
            return read;
        }
    }
#endif
}

#ifdef __linux__
// Copies `source` from its start to `target` at its position within the
// system, which spares a pass of every byte through this process (and, on
// a file system that shares blocks, the copy itself). Nothing when the
// system cannot copy between these two files, before any byte is copied.
std::optional<bool> SystemCopy(Handle source, Handle target) {
    loff_t from = 0;
    for (bool first = true;; first = false) {
        const ssize_t copied = copy_file_range(source, &from, target, nullptr, size_t{1} << 30, 0);
        if (copied > 0 || (copied < 0 && errno == EINTR)) {
            continue;
        }
        if (copied == 0) {
            return true;
        }
        if (first && (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP ||
                      errno == EBADF)) {
            return std::nullopt;
        }
        return false;
    }
}
#endif

bool Rewind(Handle file) {
#ifdef _WIN32
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
#else
    return lseek(file, 0, SEEK_SET) == 0;
#endif
}

}  // namespace

SpillFile::SpillFile(const fs::path& beside) {
    const fs::path path = TemporaryName(beside);
    Registration registration(path);  // for the moment it has a name
    const Handle file = CreateSpill(path);
    if (file == kNoHandle) {
        throw std::runtime_error("cannot set text aside beside " + PathText(beside) + " (" +
                                 LastError() + ")");
    }
#ifdef _WIN32
    file_ = reinterpret_cast<std::intptr_t>(file);
#else
    file_ = file;
#endif
    buffer_.reserve(kSpillBuffer);
}

SpillFile::~SpillFile() {
    Handle file = SpillHandle(file_);
    Close(file);
}

bool SpillFile::Drain() {
    const bool ok = WriteAll(SpillHandle(file_), buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

void SpillFile::Write(std::string_view text) {
    if (buffer_.size() + text.size() > kSpillBuffer && !Drain()) {
        throw std::runtime_error("cannot set text aside (" + LastError() + ")");
    }
    if (text.size() >= kSpillBuffer) {
        if (!WriteAll(SpillHandle(file_), text.data(), text.size())) {
            throw std::runtime_error("cannot set text aside (" + LastError() + ")");
        }
        return;
    }
    buffer_.append(text);
}

bool SpillFile::CopyTo(std::ostream& out) {
    const Handle file = SpillHandle(file_);
    if (!Drain()) {
        return false;
    }
#ifdef __linux__
    if (auto* target = dynamic_cast<FileBuffer*>(out.rdbuf())) {
        const Handle into = target->Flushed();
        if (into == kNoHandle) {
            return false;
        }
        if (const auto copied = SystemCopy(file, into)) {
            return *copied;
        }
    }
#endif
    if (!Rewind(file)) {
        return false;
    }
    std::string block(kSpillBuffer, '\0');
    for (;;) {
        const long long read = ReadSome(file, block.data(), block.size());
        if (read < 0) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        out.write(block.data(), static_cast<std::streamsize>(read));
    }
}

bool IsTemporaryName(const std::string& fileName) {
    const std::string tail = ".tmp";
    return fileName.size() > tail.size() && fileName[0] == '.' &&
           fileName.find(".vekhost-") != std::string::npos &&
           fileName.compare(fileName.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace vekhost_tool
