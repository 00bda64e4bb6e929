// The JSON drawing loader on any text. Nothing may crash or trip a sanitizer.
// A refused text leaves the drawing exactly as it was. A taken text must be
// JSON to another reader (nlohmann-json) too, with as many figures and
// elements as that reader sees, and the drawing saved and loaded again must
// give the same text.
#include "platform/veklib/VekHost.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fault(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "drawing_json_fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// A small drawing of its own before each text, so that a refusal has
// something to leave as it was.
void BuildDrawing() {
    vekhost::Reset();
    const VekId walls = vekhost::AddLayer("walls");
    vekhost::AddSegment({vekhost::Line(0, 0, 10, 0), vekhost::Arc(10, 5, 10, 0, 10, 10),
                         vekhost::Line(10, 10, 0, 0)},
                        true, walls, vekhost::MakeLineType(3, 2));
    vekhost::AddSegment({vekhost::Circle(1.5, -2.25, 0.1)});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    BuildDrawing();
    const std::string before = vekhost::ToJson();
    try {
        vekhost::FromJson(text);
    } catch (const std::runtime_error& refusal) {
        if (vekhost::ToJson() != before) {
            Fault("a refused text changed the drawing", refusal.what());
        }
        return 0;
    }
    if (!nlohmann::json::accept(text)) {
        Fault("taken, but not JSON to another reader");
    }
    // Figures come in identifier order, which need not be the file's.
    std::vector<size_t> mine, theirs;
    for (VekId id : vekhost::Segments()) {
        mine.push_back(vekhost::GetSegment(id)->elements.size());
    }
    const auto other = nlohmann::json::parse(text);
    for (const auto& segment : other.at("segments")) {
        theirs.push_back(segment.contains("elements") ? segment["elements"].size() : 0);
    }
    std::sort(mine.begin(), mine.end());
    std::sort(theirs.begin(), theirs.end());
    if (mine != theirs) {
        Fault("other figures or elements than the other reader sees");
    }
    const std::string saved = vekhost::ToJson();
    try {
        vekhost::FromJson(saved);
    } catch (const std::runtime_error& refusal) {
        Fault("a saved drawing does not load again", refusal.what());
    }
    if (vekhost::ToJson() != saved) {
        Fault("a saved drawing loads as another one", saved);
    }
    return 0;
}
