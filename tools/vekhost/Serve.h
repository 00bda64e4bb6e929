// `vekhost serve`: a small web server for the page, so that a user opens it
// from the built page folder without installing one. It listens on the
// loopback address only: nothing outside this computer can reach it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vekhost_tool {

// `serve [--port N] [DIR]`: serves DIR (the current folder by default) at
// http://127.0.0.1:N/ (8080 by default; 0 takes any free port) until
// interrupted. Returns the exit status: 1 when it cannot listen, 2 for bad
// arguments.
int Serve(const std::vector<std::string>& args);

// The file under `root` that a request target ("/palette/a.bmp?x") names, a
// folder's index.html for a folder; nullopt when the target is malformed or
// names nothing under root (a ".." or hidden segment, a link leading out,
// a missing file).
std::optional<std::filesystem::path> RequestedFile(const std::filesystem::path& root,
                                                   std::string_view target);

// The Content-Type a file is served with, by its extension.
std::string_view MimeType(const std::filesystem::path& file);

}  // namespace vekhost_tool
