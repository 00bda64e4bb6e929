// DXF round trip: a file the reader refuses is refused at one of its lines;
// a file it accepts writes back byte for byte; the same file with every
// convertible entity rewritten to its own geometry, a new entity and a line
// type added, reads again with the same geometry and is its own fixed point.
// Every layer name reads as UTF-8 that, typed back, names it.
#include "tools/dxf/DxfEntities.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    std::abort();
}

bool SameShape(const dxf::Shape& a, const dxf::Shape& b) {
    if (a.refusal != b.refusal || a.mirrored != b.mirrored) {
        return false;
    }
    if (!a.Convertible()) {
        return true;
    }
    // A mirrored arc's angles pass through 180 - angle twice: not bit for bit.
    if (a.mirrored && std::holds_alternative<dxf::Arc>(a.geometry)) {
        return true;
    }
    return a.geometry == b.geometry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::optional<dxf::Document> doc;
    try {
        doc = dxf::Document::Parse(bytes);
    } catch (const dxf::ParseError& e) {
        std::size_t lines = 1;  // an empty file is refused at line 1
        for (std::size_t k = 0; k + 1 < size; ++k) {
            lines += data[k] == '\n';
        }
        const std::string prefix = "line " + std::to_string(e.line()) + ": ";
        if (e.line() < 1 || e.line() > lines || !std::string(e.what()).starts_with(prefix)) {
            Fail("refusal outside the file's lines", e.what());
        }
        return 0;
    }
    if (doc->Write() != bytes) {
        Fail("unedited document not written back identical");
    }
    for (std::size_t i = 0; i < doc->EntityCount(); ++i) {
        const std::string_view layer = doc->Info(i).layer;
        const std::string shown = doc->DecodeText(dxf::Trim(layer));
        if (!dxf::IsUtf8(shown)) {
            Fail("a layer name does not read as UTF-8", shown);
        }
        if (!doc->NameMatches(shown, layer)) {
            Fail("a layer name as shown does not name it", shown);
        }
    }

    std::vector<dxf::Shape> shapes;
    try {
        const dxf::Restyle restyle{1, 0x10203, "FUZZ"};
        for (std::size_t i = 0; i < doc->EntityCount(); ++i) {
            shapes.push_back(dxf::ShapeOf(*doc, i));
            if (shapes.back().Convertible()) {
                doc->ReplaceEntity(i, dxf::RewriteEntity(*doc, i, shapes.back().geometry,
                                                         i % 2 ? restyle : dxf::Restyle{}));
            }
        }
        if (doc->EntityCount() > 0) {
            const dxf::Geometry arc = dxf::Arc{{1, 2, 3}, 4, 5, 6};
            doc->InsertAfter(0, dxf::NewEntity(*doc, arc, dxf::StyleOf(*doc, 0)));
        }
        const double dash[] = {1, -0.5};
        doc->AddTableEntry("LTYPE", dxf::LineTypeEntry(*doc, "FUZZ", "fuzz", dash));
    } catch (const std::length_error&) {
        return 0;  // no handle left above the file's highest
    }
    const std::string edited = doc->Write();
    std::optional<dxf::Document> again;
    try {
        again = dxf::Document::Parse(edited);
    } catch (const dxf::ParseError& e) {
        Fail("edited document refused", e.what());
    }
    if (again->Write() != edited) {
        Fail("edited document not its own fixed point");
    }
    const std::size_t added = doc->EntityCount() > 0 ? 1 : 0;
    if (again->EntityCount() != doc->EntityCount() + added) {
        Fail("entity count changed", edited);
    }
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const std::size_t j = i == 0 ? 0 : i + added;
        if (!SameShape(dxf::ShapeOf(*again, j), shapes[i])) {
            Fail("rewritten entity reads back otherwise", std::string(again->EntityText(j)));
        }
    }
    return 0;
}
