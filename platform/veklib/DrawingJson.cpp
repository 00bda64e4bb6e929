// The readable drawing file: the host's drawing saved and loaded whole. The
// format's reader (DrawingJsonReader, on JsonScanner's tokens) and writer
// (DrawingJsonWriter) live in files of their own.
#include "platform/veklib/DrawingJsonReader.h"
#include "platform/veklib/DrawingJsonWriter.h"
#include "platform/veklib/HostState.h"
#include "platform/veklib/VekHost.h"

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vekhost {

using namespace detail;

std::string ToJson() {
    const Drawing& d = S().drawing;
    const size_t elements = size_t(d.elements.size()) - d.freeElements.size();
    std::string out;
    // Reserved, not filled: the pages of it never written are never touched.
    out.reserve(elements * kMaxElementText + 4096);
    WriteDrawing(out, nullptr);
    return out;
}

void WriteJson(const std::function<void(std::string_view)>& write) {
    std::string piece;
    piece.reserve((size_t(1) << 20) + kMaxElementText + 4096);
    WriteDrawing(piece, &write);
}

void FromJson(const std::string& text) {
    Session& s = S();
    Drawing d;
    ReadDrawing(text, d, s.drawing.nextId);
    s.drawing = std::move(d);
    s.selected.clear();
}

void Save(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        throw std::runtime_error("cannot write drawing file " + path);
    }
    WriteJson([&](std::string_view piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    });
    if (!out) {
        throw std::runtime_error("cannot write drawing file " + path);
    }
}

void Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        throw std::runtime_error("cannot read drawing file " + path);
    }
    const std::streamoff size = in.tellg();
    std::string text;
    if (size > 0) {
        text.resize(static_cast<size_t>(size));
        in.seekg(0);
        in.read(text.data(), static_cast<std::streamsize>(size));
    }
    if (size < 0 || !in) {
        throw std::runtime_error("cannot read drawing file " + path);
    }
    try {
        FromJson(text);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace vekhost
