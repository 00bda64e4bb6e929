// Real drawings written by another program (Debian's librecad-data parts
// library): each is read, or refused with the line of its fault, and comes
// back byte for byte, each entity's layer read alone as its fields give it,
// each entity seen while the file is read as it reads afterwards;
// rewriting every convertible entity with its own
// geometry reads back the same and leaves every other entity as it was.
// With a line deleted, doubled or cut off, each is refused close to it.
#include "tests/dxf/LineChanges.h"
#include "tests/dxf/ObservedEntities.h"
#include "tools/dxf/DxfEntities.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    if (!arcA || !arcB || !a.mirrored) {
        return a.geometry == b.geometry;
    }
    // Mirrored arcs' angles pass through 180 - angle twice.
    constexpr double kAngleTolerance = 1e-12;  // absolute, degrees
    return arcA->centre == arcB->centre && arcA->radius == arcB->radius &&
           std::abs(arcA->startAngle - arcB->startAngle) < kAngleTolerance &&
           std::abs(arcA->endAngle - arcB->endAngle) < kAngleTolerance;
}

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DXF_CORPUS)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (entry.is_regular_file() && ext == ".dxf") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());  // the same order for a seed
    return files;
}

TEST(DxfCorpus, EveryDrawingReadsBackAndRewrites) {
    const std::vector<std::filesystem::path> files = CorpusFiles();
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
        dxftest::ExpectObservedAsRead(bytes);
        std::vector<dxf::Shape> shapes;
        for (std::size_t i = 0; i < doc->EntityCount(); ++i) {
            ASSERT_EQ(doc->EntityLayer(i), doc->Info(i).layer) << "line " << doc->EntityLine(i);
            shapes.push_back(dxf::ShapeOf(*doc, i));
            if (!shapes.back().Convertible()) {
                continue;
            }
            doc->ReplaceEntity(i, dxf::RewriteEntity(*doc, i, shapes.back().geometry));
            ++rewritten;
        }
        const dxf::Document back = dxf::Document::Parse(doc->Write());
        ASSERT_EQ(back.EntityCount(), doc->EntityCount());
        for (std::size_t i = 0; i < back.EntityCount(); ++i) {
            const dxf::Shape shape = dxf::ShapeOf(back, i);
            ASSERT_EQ(shape.refusal, shapes[i].refusal) << "entity at line " << back.EntityLine(i);
            if (shape.Convertible()) {
                EXPECT_TRUE(SameGeometry(shape, shapes[i])) << "line " << back.EntityLine(i);
            } else {
                EXPECT_EQ(back.EntityText(i), doc->EntityText(i));
            }
        }
    }
    std::cout << files.size() << " drawings, " << refused << " refused, " << rewritten
              << " entities rewritten\n";
    // A few drawings of the library are broken; many refusals mean a fault here.
    EXPECT_LT(refused * 100, files.size());
}

// Each readable drawing with a line deleted, doubled or made the last, at
// random: see LineChanges.h for the lines a refusal may name.
TEST(DxfCorpus, ChangedLinesAreRefusedCloseToTheChange) {
    const std::uint64_t seed = dxftest::ChangeSeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::size_t changed = 0, farthest = 0, failures = 0;
    for (const auto& path : CorpusFiles()) {
        const std::string bytes = ReadAll(path);
        try {
            dxf::Document::Parse(bytes);
        } catch (const dxf::ParseError&) {
            continue;
        }
        const std::vector<std::string_view> lines = dxftest::Lines(bytes);
        const std::size_t n = 1 + rng() % lines.size();
        const auto change = static_cast<dxftest::Change>(rng() % 3);
        const dxftest::ChangeOutcome outcome = dxftest::ReadChanged(lines, n, change);
        ++changed;
        farthest = std::max(farthest, outcome.distance.value_or(0));
        if (!outcome.fault.empty() && failures++ < 5) {
            ADD_FAILURE() << path.string() << ": " << outcome.fault;
        }
    }
    std::cout << changed << " changed drawings, refused at most " << farthest
              << " lines after the change\n";
}

}  // namespace
