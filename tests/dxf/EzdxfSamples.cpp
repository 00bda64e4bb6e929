// Edits a drawing the way a conversion does and writes, beside the output,
// what an independent reader must find in it (ezdxf_check.py):
//   dxf_edit_samples IN.dxf OUT.dxf EXPECTED.json
// Every convertible entity is rewritten (moved, resized, polylines given one
// more vertex and a new colour and line type); a LINE and an ARC are added
// after the first LINE. Geometry is expected in world coordinates.
#include "tools/dxf/DxfEntities.h"
#include "tools/dxf/DxfTags.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

const double kPi = std::acos(-1.0);

std::string Json(double v) {
    return dxf::FormatReal(v);
}
std::string Json(dxf::Point3 p) {
    return "[" + Json(p.x) + "," + Json(p.y) + "," + Json(p.z) + "]";
}
std::string Json(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

dxf::Point3 OnArc(const dxf::Arc& a, double degrees) {
    const double t = degrees * kPi / 180;
    return {a.centre.x + a.radius * std::cos(t), a.centre.y + a.radius * std::sin(t), a.centre.z};
}

std::string Expect(std::optional<dxf::Handle> handle, std::string_view type, const dxf::Geometry& g,
                   const std::string& more = "") {
    std::string e = "{\"handle\":" + Json(handle ? dxf::FormatHandle(*handle) : "") +
                    ",\"type\":" + Json(type) + more;
    if (const auto* l = std::get_if<dxf::Line>(&g)) {
        e += ",\"start\":" + Json(l->start) + ",\"end\":" + Json(l->end);
    } else if (const auto* a = std::get_if<dxf::Arc>(&g)) {
        e += ",\"center\":" + Json(a->centre) + ",\"radius\":" + Json(a->radius) +
             ",\"start_point\":" + Json(OnArc(*a, a->startAngle)) +
             ",\"end_point\":" + Json(OnArc(*a, a->endAngle));
    } else if (const auto* c = std::get_if<dxf::Circle>(&g)) {
        e += ",\"center\":" + Json(c->centre) + ",\"radius\":" + Json(c->radius);
    } else {
        const auto& poly = std::get<dxf::Polyline>(g);
        e += std::string(",\"closed\":") + (poly.closed ? "true" : "false") + ",\"points\":[";
        for (const dxf::Vertex& v : poly.vertices) {
            e += (&v == &poly.vertices.front() ? "[" : ",[") + Json(v.x) + "," + Json(v.y) + "," +
                 Json(poly.z) + "," + Json(v.bulge) + "]";
        }
        e += "]";
    }
    return e + "}";
}

std::optional<dxf::Handle> HandleOf(std::string_view entity) {
    dxf::TagReader reader(entity);
    dxf::Tag tag;
    reader.Next(tag);
    return reader.Next(tag) && tag.code == 5 ? dxf::ParseHandle(tag.value) : std::nullopt;
}

dxf::Geometry Edited(const dxf::Geometry& g) {
    if (const auto* l = std::get_if<dxf::Line>(&g)) {
        return dxf::Line{{l->start.x + 1, l->start.y + 2, l->start.z}, l->end};
    }
    if (const auto* a = std::get_if<dxf::Arc>(&g)) {
        return dxf::Arc{a->centre, a->radius + 0.5, a->startAngle + 10, a->endAngle + 10};
    }
    if (const auto* c = std::get_if<dxf::Circle>(&g)) {
        return dxf::Circle{{c->centre.x + 3, c->centre.y - 1, c->centre.z}, c->radius};
    }
    dxf::Polyline poly = std::get<dxf::Polyline>(g);
    for (dxf::Vertex& v : poly.vertices) {
        v = {v.x + 0.5, v.y - 0.5, -v.bulge, v.source};
    }
    const dxf::Vertex& a = poly.vertices[0];
    const dxf::Vertex& b = poly.vertices[1];
    poly.vertices.insert(poly.vertices.begin() + 1,
                         {(a.x + b.x) / 2, (a.y + b.y) / 2 + 0.125, 0.25, dxf::kNewVertex});
    return poly;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: dxf_edit_samples IN.dxf OUT.dxf EXPECTED.json\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    dxf::Document doc = dxf::Document::Parse(bytes.str());

    const char* kLineType = "TARNEX_DASH";
    const double dash[] = {0.5, -0.25};
    if (!doc.HasTableEntry("LTYPE", kLineType)) {
        doc.AddTableEntry("LTYPE", dxf::LineTypeEntry(doc, kLineType, "Dashed __ __", dash));
    }
    dxf::Restyle restyle{1, 0xFF8000, kLineType};
    const bool trueColour = doc.GetFormat().TrueColour();
    const std::string style = ",\"color\":1,\"linetype\":" + Json(kLineType) +
                              ",\"true_color\":" + (trueColour ? "16744448" : "null");

    std::string expected;
    auto add = [&expected](const std::string& e) {
        expected += (expected.empty() ? "" : ",\n") + e;
    };
    bool chainAdded = false;
    for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
        const dxf::Shape shape = dxf::ShapeOf(doc, i);
        if (!shape.Convertible()) {
            continue;
        }
        const dxf::Geometry g = Edited(shape.geometry);
        const bool poly = std::holds_alternative<dxf::Polyline>(g);
        doc.ReplaceEntity(i, dxf::RewriteEntity(doc, i, g, poly ? restyle : dxf::Restyle{}));
        add(Expect(doc.EntityHandle(i), doc.EntityType(i), g, poly ? style : ""));
        if (chainAdded || !std::holds_alternative<dxf::Line>(g)) {
            continue;
        }
        chainAdded = true;
        const dxf::Style like = dxf::StyleOf(doc, i);
        const dxf::Line line{{10, 10, 0}, {20, 10, 0}};
        const dxf::Arc arc{{20, 15, 0}, 5, 270, 0};
        for (const dxf::Geometry& added : {dxf::Geometry(line), dxf::Geometry(arc)}) {
            const std::string entity = dxf::NewEntity(doc, added, like);
            add(Expect(HandleOf(entity), added.index() == 0 ? "LINE" : "ARC", added));
            doc.InsertAfter(i, entity);
        }
    }
    std::ofstream(argv[2], std::ios::binary) << doc.Write();
    std::ofstream(argv[3], std::ios::binary) << "[\n" << expected << "\n]\n";
    return 0;
}
