// Real drawings written by another program (Debian's librecad-data parts
// library): each is read, or refused with the line of its fault, and comes
// back byte for byte; rewriting every convertible entity with its own
// geometry reads back the same and leaves every other entity as it was.
#include "tools/dxf/DxfEntities.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool SameGeometry(const dxf::Shape& a, const dxf::Shape& b) {
    const auto* arcA = std::get_if<dxf::Arc>(&a.geometry);
    const auto* arcB = std::get_if<dxf::Arc>(&b.geometry);
    if (!arcA || !arcB || !a.mirrored) return a.geometry == b.geometry;
    // Mirrored arcs' angles pass through 180 - angle twice.
    constexpr double kAngleTolerance = 1e-12;  // absolute, degrees
    return arcA->centre == arcB->centre && arcA->radius == arcB->radius &&
           std::abs(arcA->startAngle - arcB->startAngle) < kAngleTolerance &&
           std::abs(arcA->endAngle - arcB->endAngle) < kAngleTolerance;
}

TEST(DxfCorpus, EveryDrawingReadsBackAndRewrites) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DXF_CORPUS)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (entry.is_regular_file() && ext == ".dxf") files.push_back(entry.path());
    }
    ASSERT_GT(files.size(), 1000u) << "install librecad-data (scripts/install-deps.sh)";
    std::size_t refused = 0, rewritten = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const std::string bytes = ReadAll(path);
        std::optional<dxf::Document> doc;
        try {
            doc = dxf::Document::Parse(bytes);
        } catch (const dxf::ParseError& e) {
            ++refused;
            std::cout << "refused " << path.string() << ": " << e.what() << "\n";
            EXPECT_GT(e.line(), 0u);
            continue;
        }
        ASSERT_EQ(doc->Write(), bytes);
        std::vector<dxf::Shape> shapes;
        for (std::size_t i = 0; i < doc->EntityCount(); ++i) {
            shapes.push_back(dxf::ShapeOf(*doc, i));
            if (!shapes.back().Convertible()) continue;
            doc->ReplaceEntity(i, dxf::RewriteEntity(*doc, i, shapes.back().geometry));
            ++rewritten;
        }
        const dxf::Document back = dxf::Document::Parse(doc->Write());
        ASSERT_EQ(back.EntityCount(), doc->EntityCount());
        for (std::size_t i = 0; i < back.EntityCount(); ++i) {
            const dxf::Shape shape = dxf::ShapeOf(back, i);
            ASSERT_EQ(shape.refusal, shapes[i].refusal) << "entity at line " << back.EntityLine(i);
            if (shape.Convertible())
                EXPECT_TRUE(SameGeometry(shape, shapes[i])) << "line " << back.EntityLine(i);
            else
                EXPECT_EQ(back.EntityText(i), doc->EntityText(i));
        }
    }
    std::cout << files.size() << " drawings, " << refused << " refused, " << rewritten
              << " entities rewritten\n";
    // A few drawings of the library are broken; many refusals mean a fault here.
    EXPECT_LT(refused * 100, files.size());
}

}  // namespace
