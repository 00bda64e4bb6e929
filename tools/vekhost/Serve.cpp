#include "tools/vekhost/Serve.h"

#include "tools/vekhost/Console.h"
#include "tools/vekhost/TextConvert.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#elif !defined(__EMSCRIPTEN__)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vekhost_tool {

namespace fs = std::filesystem;

namespace {

struct MimeEntry {
    std::string_view extension;
    std::string_view type;
};
constexpr MimeEntry kMimeTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".htm", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json"},
    {".map", "application/json"},
    {".wasm", "application/wasm"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".bmp", "image/bmp"},
    {".ico", "image/x-icon"},
    {".txt", "text/plain; charset=utf-8"},
};

std::optional<std::string> PercentDecoded(std::string_view text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        unsigned value = 0;
        const char* first = text.data() + i + 1;
        const char* last = first + 2;
        if (i + 2 >= text.size() || std::from_chars(first, last, value, 16).ptr != last) {
            return std::nullopt;
        }
        decoded += static_cast<char>(value);
        i += 2;
    }
    return decoded;
}

// A name the server may serve: no way up or sideways (a backslash is a
// separator on Windows, a colon names a drive or a stream there), and no
// hidden file (.git, an editor's lock).
bool SafeSegment(std::string_view segment) {
    return segment[0] != '.' &&
           segment.find_first_of(std::string_view("\0\\:", 3)) == std::string_view::npos;
}

// The path a file or folder resolves to, every link followed; nullopt
// when there is none. On Windows std::filesystem follows no link or
// junction, so the system's own final name is asked for.
std::optional<fs::path> Resolved(const fs::path& path) {
#ifdef _WIN32
    const HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::wstring name(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(
        file, name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
    CloseHandle(file);
    if (length == 0 || length >= name.size()) {
        return std::nullopt;
    }
    name.resize(length);
    return fs::path(name);
#else
    std::error_code error;
    fs::path real = fs::canonical(path, error);
    return error ? std::nullopt : std::optional<fs::path>(std::move(real));
#endif
}

bool Within(const fs::path& folder, const fs::path& path) {
    auto inside = path.begin();
    for (const fs::path& part : folder) {
        if (inside == path.end() || *inside != part) {
            return false;
        }
        ++inside;
    }
    return true;
}

}  // namespace

std::optional<fs::path> RequestedFile(const fs::path& root, std::string_view target) {
    if (target.empty() || target[0] != '/') {
        return std::nullopt;
    }
    const auto decoded = PercentDecoded(target.substr(0, target.find_first_of("?#")));
    const auto base = Resolved(root);
    if (!decoded || !base) {
        return std::nullopt;
    }
    fs::path path = *base;
    for (size_t start = 1; start <= decoded->size();) {
        const size_t end = std::min(decoded->find('/', start), decoded->size());
        const std::string segment = decoded->substr(start, end - start);
        if (!segment.empty()) {
            if (!SafeSegment(segment)) {
                return std::nullopt;
            }
            path /= PathFromUtf8(segment);
        }
        start = end + 1;
    }
    std::error_code error;
    if (fs::is_directory(path, error)) {
        path /= "index.html";
    }
    // A link that leads out of the folder serves nothing.
    const auto real = Resolved(path);
    if (!real || !Within(*base, *real) || !fs::is_regular_file(*real, error)) {
        return std::nullopt;
    }
    return real;
}

std::string_view MimeType(const fs::path& file) {
    const std::string extension = PathText(file.extension());
    for (const MimeEntry& entry : kMimeTypes) {
        if (SameAsciiLetters(entry.extension, extension)) {
            return entry.type;
        }
    }
    return "application/octet-stream";
}

}  // namespace vekhost_tool

#if defined(__EMSCRIPTEN__)

int vekhost_tool::Serve(const std::vector<std::string>&) {
    WriteErr("vekhost: serve is not available in the browser build\n");
    return kExitFailed;
}

#else

namespace vekhost_tool {

namespace {

constexpr uint16_t kDefaultPort = 8080;
// A request's head beyond this is refused: the page's are a few hundred
// bytes.
constexpr size_t kMaxHeadBytes = 16384;
// A connection silent this long is closed, so that an idle one (a browser's
// preconnect) holds no thread for ever.
constexpr int kSocketTimeoutSeconds = 10;
constexpr size_t kChunkBytes = 65536;
// Connections answered at once.
constexpr int kWorkers = 16;
// Connections answered or waiting; more are answered 503.
constexpr int kMaxConnections = 32;

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void CloseSocket(Socket s) {
    closesocket(s);
}
constexpr int kSendFlags = 0;
constexpr int kStopSending = SD_SEND;
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void CloseSocket(Socket s) {
    close(s);
}
constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr int kStopSending = SHUT_WR;
#endif

// An answered connection ends gracefully: the peer is told that nothing more
// comes once all that was sent has gone, and whatever it still sends is read
// until it closes too (or goes silent). Closing at once may drop what is
// still on its way, leaving the peer waiting for the rest (Wine does).
void FinishConnection(Socket s) {
    shutdown(s, kStopSending);
    char buffer[4096];
    while (recv(s, buffer, static_cast<int>(sizeof buffer), 0) > 0) {
    }
    CloseSocket(s);
}

bool SendAll(Socket s, std::string_view data) {
    while (!data.empty()) {
        const int chunk = static_cast<int>(std::min(data.size(), kChunkBytes));
        const auto sent = send(s, data.data(), chunk, kSendFlags);
        if (sent <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// The request's head, up to the blank line; nullopt when the peer closed,
// went silent or sent too much.
std::optional<std::string> ReadHead(Socket s) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kMaxHeadBytes) {
            return std::nullopt;
        }
        const auto got = recv(s, buffer, static_cast<int>(sizeof buffer), 0);
        if (got <= 0) {
            return std::nullopt;
        }
        head.append(buffer, static_cast<size_t>(got));
    }
    return head;
}

std::string HeaderValue(std::string_view head, std::string_view name) {
    for (size_t start = head.find("\r\n"); start != std::string_view::npos;) {
        start += 2;
        const size_t end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, end - start);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos && SameAsciiLetters(line.substr(0, colon), name)) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
                value.remove_prefix(1);
            }
            return std::string(value);
        }
        start = end;
    }
    return "";
}

// Whether the Host the browser asked for is this computer's loopback name:
// a page elsewhere that rebinds its own name to 127.0.0.1 reads nothing.
bool LoopbackHost(std::string_view host) {
    const size_t portAt = host.rfind(':');
    if (!host.empty() && host.front() == '[') {
        host = host.substr(0, host.find(']') + 1);
    } else if (portAt != std::string_view::npos) {
        host = host.substr(0, portAt);
    }
    return host.empty() || SameAsciiLetters(host, "127.0.0.1") ||
           SameAsciiLetters(host, "localhost") || host == "[::1]";
}

std::string Head(std::string_view status, std::string_view type, uintmax_t length) {
    return "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(length) +
           "\r\nCache-Control: no-cache\r\nX-Content-Type-Options: nosniff\r\n"
           "Connection: close\r\n\r\n";
}

void SendStatus(Socket s, std::string_view status) {
    const std::string body = std::string(status) + "\n";
    SendAll(s, Head(status, "text/plain; charset=utf-8", body.size()) + body);
}

void SendFile(Socket s, const fs::path& file, bool withBody) {
    std::ifstream in(file, std::ios::binary);
    std::error_code error;
    const uintmax_t size = fs::file_size(file, error);
    if (!in || error) {
        SendStatus(s, "404 Not Found");
        return;
    }
    if (!SendAll(s, Head("200 OK", MimeType(file), size)) || !withBody) {
        return;
    }
    std::string chunk(kChunkBytes, '\0');
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        if (!SendAll(s, std::string_view(chunk.data(), static_cast<size_t>(in.gcount())))) {
            return;
        }
    }
}

void Answer(Socket s, const fs::path& root) {
    const auto head = ReadHead(s);
    if (!head) {
        return;
    }
    const std::string_view line = std::string_view(*head).substr(0, head->find("\r\n"));
    const size_t methodEnd = line.find(' ');
    const size_t targetEnd = line.find(' ', methodEnd + 1);
    if (methodEnd == std::string_view::npos || targetEnd == std::string_view::npos) {
        SendStatus(s, "400 Bad Request");
        return;
    }
    const std::string_view method = line.substr(0, methodEnd);
    if (method != "GET" && method != "HEAD") {
        SendStatus(s, "405 Method Not Allowed");
        return;
    }
    if (!LoopbackHost(HeaderValue(*head, "Host"))) {
        SendStatus(s, "403 Forbidden");
        return;
    }
    const auto file = RequestedFile(root, line.substr(methodEnd + 1, targetEnd - methodEnd - 1));
    if (!file) {
        SendStatus(s, "404 Not Found");
        return;
    }
    SendFile(s, *file, method == "GET");
}

void SetTimeouts(Socket s) {
#ifdef _WIN32
    const DWORD timeout = kSocketTimeoutSeconds * 1000;
    const char* value = reinterpret_cast<const char*>(&timeout);
#else
    const timeval timeout{kSocketTimeoutSeconds, 0};
    const void* value = &timeout;
#endif
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, value, sizeof timeout);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, value, sizeof timeout);
}

// A socket listening on 127.0.0.1 only, and the port it took.
Socket Listen(uint16_t port, uint16_t& taken, std::string& error) {
    const Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket) {
        error = "cannot make a socket";
        return kNoSocket;
    }
#ifndef _WIN32
    // A restarted server takes its port again at once. (On Windows the
    // option would let another program take the port from under it.)
    const int yes = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, 64) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "cannot listen on 127.0.0.1 port " + std::to_string(port) +
                " (in use? --port N takes another, --port 0 any free one)";
        CloseSocket(s);
        return kNoSocket;
    }
    taken = ntohs(address.sin_port);
    return s;
}

struct ServeOptions {
    uint16_t port = kDefaultPort;
    std::string folder = ".";
};

std::optional<ServeOptions> ReadServeOptions(const std::vector<std::string>& args,
                                             std::string& error) {
    ServeOptions options;
    bool folderGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size()) {
            const std::string& text = args[++i];
            const auto [end, status] =
                std::from_chars(text.data(), text.data() + text.size(), options.port);
            if (status != std::errc() || end != text.data() + text.size()) {
                error = "--port takes a port number from 0 to 65535, not '" + text + "'";
                return std::nullopt;
            }
        } else if (args[i].rfind("-", 0) == 0 || folderGiven) {
            error = "serve takes [--port N] [FOLDER], not '" + args[i] + "'";
            return std::nullopt;
        } else {
            options.folder = args[i];
            folderGiven = true;
        }
    }
    return options;
}

// The connections accepted and not yet answered, and the workers that
// answer them. The workers are started once, before the first connection,
// and never end: under Wine a thread started as another ends may never run,
// which left its connection unanswered.
class Workers {
public:
    Workers(const fs::path& root, int count) : root_(root) {
        for (int i = 0; i < count; ++i) {
            std::thread([this] { Work(); }).detach();
        }
    }

    // False when kMaxConnections are being answered or waiting already.
    bool Take(Socket s) {
        {
            std::lock_guard lock(mutex_);
            if (busy_ + static_cast<int>(waiting_.size()) >= kMaxConnections) {
                return false;
            }
            waiting_.push_back(s);
        }
        ready_.notify_one();
        return true;
    }

private:
    void Work() {
        for (;;) {
            Socket s = kNoSocket;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !waiting_.empty(); });
                s = waiting_.front();
                waiting_.pop_front();
                ++busy_;
            }
            Answer(s, root_);
            FinishConnection(s);
            std::lock_guard lock(mutex_);
            --busy_;
        }
    }

    const fs::path root_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Socket> waiting_;
    int busy_ = 0;
};

void Accepting(Socket listener, const fs::path& root) {
    // Enough for a browser's connections, some of them idle preconnects.
    static Workers workers(root, kWorkers);
    for (;;) {
        const Socket s = accept(listener, nullptr, nullptr);
        if (s == kNoSocket) {
            continue;
        }
        SetTimeouts(s);
        if (!workers.Take(s)) {
            SendStatus(s, "503 Service Unavailable");
            CloseSocket(s);  // at once: waiting for the peer would hold up the others
        }
    }
}

}  // namespace

int Serve(const std::vector<std::string>& args) {
    std::string error;
    const auto options = ReadServeOptions(args, error);
    if (!options) {
        WriteErr("vekhost: " + error + "\nTry 'vekhost --help'.\n");
        return kExitUsage;
    }
    const fs::path root = PathFromUtf8(options->folder);
    std::error_code fault;
    if (!fs::is_directory(root, fault)) {
        WriteErr("vekhost: " + options->folder + " is not a folder\n");
        return kExitFailed;
    }
    if (!fs::is_regular_file(root / "index.html", fault)) {
        WriteErr("vekhost: warning: " + options->folder +
                 " has no index.html (the page is built by: cmake --preset wasm && "
                 "cmake --build --preset wasm, into build/wasm/page)\n");
    }
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        WriteErr("vekhost: cannot start Windows sockets\n");
        return kExitFailed;
    }
#else
    std::signal(SIGPIPE, SIG_IGN);
#endif
    uint16_t port = 0;
    const Socket listener = Listen(options->port, port, error);
    if (listener == kNoSocket) {
        WriteErr("vekhost: " + error + "\n");
        return kExitFailed;
    }
    WriteOut("Serving " + options->folder + " at http://127.0.0.1:" + std::to_string(port) +
             "/ (this computer only; Ctrl-C stops)\n");
    Accepting(listener, root);
    return 0;
}

}  // namespace vekhost_tool

#endif
