// Editing: only edited entities change, new entities and table entries read
// back, handles stay unique and $HANDSEED above them, numbers read back
// identical.
#include "tests/dxf/DxfFragments.h"
#include "tests/dxf/LineChanges.h"
#include "tools/dxf/DxfEntities.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>

namespace {

using dxftest::Crlf;
using dxftest::Modern;
using dxftest::R12;
using dxftest::Tags;

const std::string kThree = Tags(
    "0 LINE|5 30|8 0|10 0|20 0|11 1|21 0|0 ARC|5 31|8 0|10 0|20 0|40 1|50 0|51 90|"
    "0 TEXT|5 32|8 0|10 0|20 0|40 1|1 x");

TEST(DxfEdit, OnlyTheEditedEntityChanges) {
    for (const std::string& file : {Modern(kThree), Crlf(R12(kThree))}) {
        const dxf::Document doc = dxf::Document::Parse(file);
        for (std::size_t i = 0; i < doc.EntityCount(); ++i) {
            const std::size_t begin = doc.EntityOffset(i), end = begin + doc.EntityText(i).size();
            dxf::Document replaced = doc;
            replaced.ReplaceEntity(i, "<new>");
            EXPECT_EQ(replaced.Write(), file.substr(0, begin) + "<new>" + file.substr(end));
            dxf::Document inserted = doc;
            inserted.InsertAfter(i, "<a>");
            inserted.InsertAfter(i, "<b>");
            EXPECT_EQ(inserted.Write(), file.substr(0, end) + "<a><b>" + file.substr(end));
            dxf::Document removed = doc;
            removed.RemoveEntity(i);
            EXPECT_EQ(removed.Write(), file.substr(0, begin) + file.substr(end));
        }
    }
}

// $HANDSEED follows the handles given out, in place and padded as it was,
// or is added when the header lacks it.
TEST(DxfEdit, HandseedRaisedAboveNewHandles) {
    dxf::Document doc = dxf::Document::Parse(Modern(kThree));
    const dxf::Handle first = *doc.NewHandle();
    EXPECT_EQ(first, 0x40u);
    EXPECT_EQ(*doc.NewHandle(), 0x41u);
    dxf::Document back = dxf::Document::Parse(doc.Write());
    EXPECT_EQ(back.HeaderValue("$HANDSEED"), "42");

    const std::string noSeed = Tags(
        "0 SECTION|2 HEADER|9 $ACADVER|1 AC1015|0 ENDSEC|0 SECTION|2 ENTITIES|0 TEXT|5 7|1 x|"
        "0 ENDSEC|0 EOF");
    dxf::Document added = dxf::Document::Parse(noSeed);
    EXPECT_EQ(added.NewHandle(), 8u);
    EXPECT_EQ(dxf::Document::Parse(added.Write()).HeaderValue("$HANDSEED"), "9");

    dxf::Document set =
        dxf::Document::Parse(Tags("0 SECTION|2 HEADER|9 $HANDLING|70 1|9 $HANDSEED|5   10|"
                                  "0 ENDSEC|0 EOF"));
    set.NewHandle();
    EXPECT_EQ(set.Write(),
              Tags("0 SECTION|2 HEADER|9 $HANDLING|70 1|9 $HANDSEED|5   11|0 ENDSEC|0 EOF"));
    EXPECT_TRUE(set.SetHeaderValue("$HANDSEED", 5, "FF"));
    EXPECT_EQ(dxf::Document::Parse(set.Write()).HeaderValue("$HANDSEED"), "  FF");
}

// Text handed over as the entities' edits are done, then the rest written
// with it in its place, is the text written whole: whatever the edits, and
// wherever the text is handed over.
TEST(DxfEdit, TextHandedOverInPiecesIsTheWholeText) {
    const std::uint64_t seed = dxftest::ChangeSeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    std::string entities;
    for (int i = 0; i < 40; ++i) {
        entities += "0 LINE|5 " + std::to_string(100 + i) + "|8 0|10 " + std::to_string(i) +
                    "|20 0|11 1|21 0|";
    }
    for (const std::string& file : {Modern(Tags(entities)), Crlf(R12(Tags(entities)))}) {
        const dxf::Document original = dxf::Document::Parse(file);
        for (int round = 0; round < 30; ++round) {
            dxf::Document whole = original;
            dxf::Document passed = original;
            std::string handedOver;
            const auto both = [&](const auto& edit) {
                edit(whole);
                edit(passed);
            };
            const std::string eol = original.GetFormat().eol;
            for (std::size_t i = 0; i < original.EntityCount(); ++i) {
                const auto kind = random() % 6;
                const std::string text = "  0" + eol + "POINT" + eol;
                if (kind == 0) {
                    both([&](dxf::Document& d) { d.ReplaceEntity(i, text); });
                } else if (kind == 1) {
                    both([&](dxf::Document& d) { d.InsertAfter(i, text); });
                    both([&](dxf::Document& d) { d.RemoveEntity(i); });
                } else if (kind == 2) {
                    both([&](dxf::Document& d) { d.NewHandle(); });
                    both([&](dxf::Document& d) { d.AppendEntities(text); });
                }
                if (random() % 3 == 0) {
                    const std::size_t to = std::min<std::size_t>(random() % (i + 2), 39);
                    EXPECT_TRUE(passed.PassEntitiesBefore(
                        to, [&](std::string_view piece) { handedOver += piece; }));
                }
            }
            std::string written;
            passed.Write([&](std::string_view piece) { written += piece; },
                         [&] { written += handedOver; });
            ASSERT_EQ(written, whole.Write()) << "round " << round;
        }
        dxf::Document doc = dxf::Document::Parse(file);
        EXPECT_FALSE(doc.PassEntitiesBefore(doc.EntityCount(), [](std::string_view) {}));
    }
    // A HEADER after the entities could still change: nothing is handed over.
    dxf::Document late = dxf::Document::Parse(
        Tags("0 SECTION|2 ENTITIES|0 TEXT|5 7|1 x|0 TEXT|5 8|1 y|0 ENDSEC|0 SECTION|2 HEADER|"
             "9 $HANDSEED|5 9|0 ENDSEC|0 EOF"));
    EXPECT_FALSE(late.PassEntitiesBefore(1, [](std::string_view) {}));
}

TEST(DxfEdit, LineTypeEntryAddedAndCounted) {
    const double dashed[] = {0.5, -0.25};
    struct Case {
        std::string file;
        const char* count;
    } cases[] = {{Modern(kThree), "     2"}, {R12(kThree), "2"}, {Crlf(Modern(kThree)), "     2"}};
    for (const Case& c : cases) {
        dxf::Document doc = dxf::Document::Parse(c.file);
        ASSERT_TRUE(doc.AddTableEntry("LTYPE", dxf::LineTypeEntry(doc, "DASHED", "- -", dashed)));
        const std::string out = doc.Write();
        const dxf::Document back = dxf::Document::Parse(out);
        EXPECT_TRUE(back.HasTableEntry("LTYPE", "dashed"));
        EXPECT_NE(
            out.find(std::string(" 70") + back.GetFormat().eol + c.count + back.GetFormat().eol),
            std::string::npos);
        EXPECT_EQ(out.find("AcDbSymbolTableRecord") == std::string::npos,
                  doc.GetFormat().version < 1012);
    }
    dxf::Document bare = dxf::Document::Parse(Tags("0 SECTION|2 ENTITIES|0 ENDSEC|0 EOF"));
    EXPECT_FALSE(bare.AddTableEntry("LTYPE", "x"));
    EXPECT_FALSE(bare.Edited());
}

const dxf::Polyline kPoly{
    {{0, 0, 0.5, dxf::kNewVertex}, {4, 0, -1, dxf::kNewVertex}, {4, 3, 0, dxf::kNewVertex}},
    false,
    1.25};

// New entities of each kind in every version read back as given, with
// their style, fresh handles where the file has handles, and new text in the
// file's line ending.
TEST(DxfEdit, NewEntitiesReadBack) {
    const dxf::Geometry shapes[] = {dxf::Line{{1, 2, 3}, {4, 5, 3}},
                                    dxf::Arc{{1, 1, 0}, 2, 350, 10}, dxf::Circle{{-1, 0.1, 0}, 0.3},
                                    kPoly, dxf::Polyline{kPoly.vertices, true, 0}};
    dxf::Style style;
    style.layer = "Cut";
    style.lineType = "CONTINUOUS";
    style.colour = 1;
    style.trueColour = 0xFF8000;
    const std::string files[] = {R12(""), R12(Tags("0 LINE|5 9|8 0|10 0|20 0|11 1|21 1")),
                                 Modern("", "AC1012"), Modern("", "AC1015"),
                                 Crlf(Modern("", "AC1018"))};
    for (const std::string& file : files) {
        dxf::Document doc = dxf::Document::Parse(file);
        const std::size_t before = doc.EntityCount();
        for (const dxf::Geometry& g : shapes) {
            ASSERT_TRUE(doc.AppendEntities(dxf::NewEntity(doc, g, style)));
        }
        const std::string out = doc.Write();
        if (doc.GetFormat().eol == "\r\n") {
            for (std::size_t k = out.find('\n'); k != std::string::npos;
                 k = out.find('\n', k + 1)) {
                ASSERT_EQ(out[k - 1], '\r');
            }
        }
        const dxf::Document back = dxf::Document::Parse(out);
        ASSERT_EQ(back.EntityCount(), before + std::size(shapes));
        const int version = back.GetFormat().version;
        for (std::size_t k = 0; k < std::size(shapes); ++k) {
            const std::size_t i = before + k;
            const dxf::Shape shape = dxf::ShapeOf(back, i);
            ASSERT_TRUE(shape.Convertible()) << back.EntityText(i);
            dxf::Geometry want = shapes[k];
            if (auto* poly = std::get_if<dxf::Polyline>(&want)) {
                for (int v = 0; v < 3; ++v) {
                    poly->vertices[v].source = v;
                }
            }
            EXPECT_TRUE(shape.geometry == want) << back.EntityText(i);
            const dxf::EntityInfo info = back.Info(i);
            EXPECT_EQ(info.layer, "Cut");
            EXPECT_EQ(info.lineType, "CONTINUOUS");
            EXPECT_EQ(info.colour, 1);
            EXPECT_EQ(info.trueColour.has_value(), version >= 1018);
            EXPECT_EQ(info.handle.has_value(), doc.UsesHandles());
            EXPECT_EQ(info.owner.has_value(), version >= 1012);
            if (k >= 3) {
                EXPECT_EQ(info.type, version >= 1014 ? "LWPOLYLINE" : "POLYLINE");
            }
        }
        if (doc.UsesHandles()) {
            EXPECT_TRUE(back.HeaderValue("$HANDSEED") || version < 1012);
        }
    }
}

TEST(DxfEdit, RewrittenPolylineVerticesFromTheirSources) {
    // A POLYLINE whose vertex 1 is used twice, vertex 2 dropped and a new
    // vertex added: handles stay unique, the kept vertex keeps its width.
    const std::string polyline = Tags(
        "0 POLYLINE|5 50|330 1F|100 AcDbEntity|8 Cut|100 AcDb2dPolyline|66 1|10 0|20 0|30 2|70 0|"
        "0 VERTEX|5 51|330 50|100 AcDbEntity|8 Cut|100 AcDbVertex|100 AcDb2dVertex|10 0|20 0|30 2|"
        "0 VERTEX|5 52|330 50|100 AcDbEntity|8 Cut|100 AcDbVertex|100 AcDb2dVertex|10 1|20 0|30 2|"
        "40 0.75|0 VERTEX|5 53|330 50|100 AcDbEntity|8 Cut|100 AcDbVertex|100 AcDb2dVertex|10 2|"
        "20 0|30 2|0 SEQEND|5 54|330 50|100 AcDbEntity|8 Cut");
    const std::string lw = Tags(
        "0 LWPOLYLINE|5 50|8 Cut|100 AcDbPolyline|90 3|70 0|10 0|20 0|"
        "10 1|20 0|40 0.75|41 0.75|91 5|10 2|20 0");
    for (const std::string& entity : {polyline, lw}) {
        dxf::Document doc = dxf::Document::Parse(Modern(entity));
        const dxf::Polyline poly{
            {{0, 0, 0, 0}, {1, 1, 0.25, dxf::kNewVertex}, {1, 0, 0, 1}, {1, -1, 0, 1}}, false, 2};
        doc.ReplaceEntity(0, dxf::RewriteEntity(doc, 0, poly));
        const dxf::Document back = dxf::Document::Parse(doc.Write());
        const dxf::Polyline read = std::get<dxf::Polyline>(dxf::ShapeOf(back, 0).geometry);
        ASSERT_EQ(read.vertices.size(), 4u);
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(read.vertices[k].x, poly.vertices[k].x);
            EXPECT_EQ(read.vertices[k].y, poly.vertices[k].y);
            EXPECT_EQ(read.vertices[k].bulge, poly.vertices[k].bulge);
        }
        const std::string_view text = back.EntityText(0);
        auto count = [text](std::string_view piece) {
            std::size_t n = 0;
            for (std::size_t k = text.find(piece); k != std::string_view::npos;
                 k = text.find(piece, k + 1)) {
                ++n;
            }
            return n;
        };
        EXPECT_EQ(count("\n0.75\n"), entity == lw ? 4u : 2u) << text;
        EXPECT_EQ(count("\n53\n"), 0u) << "the dropped vertex is gone";
        EXPECT_EQ(back.Info(0).handle, 0x50u);
    }
}

TEST(DxfEdit, RestyleReplacesAddsAndDrops) {
    struct Case {
        std::string entity;
        const char* version;
        dxf::Restyle restyle;
        std::optional<int> colour;
        std::optional<std::uint32_t> trueColour;
        std::string_view lineType;
    };
    const std::string plain = "0 LINE|5 30|100 AcDbEntity|8 0|100 AcDbLine|10 0|20 0|11 1|21 0";
    const std::string styled =
        "0 LINE|5 30|100 AcDbEntity|8 0|6 DOT|62 5|420 255|100 AcDbLine|10 0|20 0|11 1|21 0";
    const Case cases[] = {
        {plain, "AC1018", {1, 0x123456, "DASHED"}, 1, 0x123456, "DASHED"},
        {plain, "AC1015", {1, 0x123456, "DASHED"}, 1, std::nullopt, "DASHED"},
        {styled, "AC1018", {2, std::nullopt, std::nullopt}, 2, std::nullopt, "DOT"},
        {styled, "AC1018", {std::nullopt, 7, std::nullopt}, 5, 7, "DOT"},
        {"0 LINE|5 30|10 0|20 0|11 1|21 0", "AC1009", {3, 1, "X"}, 3, std::nullopt, "X"},
    };
    for (const Case& c : cases) {
        dxf::Document doc = dxf::Document::Parse(Modern(Tags(c.entity), c.version));
        doc.ReplaceEntity(0, dxf::RewriteEntity(doc, 0, dxf::ShapeOf(doc, 0).geometry, c.restyle));
        const dxf::Document back = dxf::Document::Parse(doc.Write());
        const dxf::EntityInfo info = back.Info(0);
        EXPECT_EQ(info.colour, c.colour) << back.EntityText(0);
        EXPECT_EQ(info.trueColour, c.trueColour) << back.EntityText(0);
        EXPECT_EQ(info.lineType, c.lineType) << back.EntityText(0);
        EXPECT_EQ(info.handle, 0x30u);
    }
}

TEST(DxfEdit, RewriteRefusesWhatItCannotKeep) {
    dxf::Document doc = dxf::Document::Parse(
        Modern(kThree + Tags("0 LWPOLYLINE|8 0|90 2|70 1|10 0|20 0|10 1|20 1")));
    const dxf::Geometry line = dxf::Line{};
    EXPECT_THROW(dxf::RewriteEntity(doc, 2, line), std::invalid_argument) << "a TEXT";
    EXPECT_THROW(dxf::RewriteEntity(doc, 1, line), std::invalid_argument) << "an ARC";
    dxf::Polyline open = std::get<dxf::Polyline>(dxf::ShapeOf(doc, 3).geometry);
    open.closed = false;
    EXPECT_THROW(dxf::RewriteEntity(doc, 3, open), std::invalid_argument);
    open.closed = true;
    open.vertices[1].source = 2;
    EXPECT_THROW(dxf::RewriteEntity(doc, 3, open), std::invalid_argument);
    // A shape given as read before that counts more vertices than the entity
    // holds: refused, not read past the entity's own.
    dxf::Shape claimed = dxf::ShapeOf(doc, 3);
    std::get<dxf::Polyline>(claimed.geometry).vertices.resize(3);
    EXPECT_THROW(dxf::RewriteEntity(doc, 3, claimed, open), std::invalid_argument);
    EXPECT_THROW(dxf::NewEntity(doc, dxf::Line{{NAN, 0, 0}, {}}, {}), std::invalid_argument);
}

// Shortest text reads back as the same double, for random bit patterns
// (subnormals included) and random decimals; both zeros are "0".
TEST(DxfNumbers, WrittenNumbersReadBackIdentical) {
    const std::uint64_t seed = std::random_device{}();
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> digits(-12, 12);
    for (int k = 0; k < 200000; ++k) {
        double value = std::bit_cast<double>(random());
        if (k % 2) {
            value = static_cast<double>(static_cast<std::int64_t>(random() >> 20)) *
                    std::pow(10.0, digits(random));
        }
        if (!std::isfinite(value)) {
            continue;
        }
        const std::string text = dxf::FormatReal(value);
        const std::optional<double> back = dxf::ParseReal(text);
        ASSERT_TRUE(back) << "seed " << seed << ": " << text;
        if (value == 0) {
            EXPECT_EQ(text, "0");
        } else {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(*back), std::bit_cast<std::uint64_t>(value))
                << "seed " << seed << ": " << text;
        }
    }
    EXPECT_EQ(dxf::FormatReal(-0.0), "0");
    EXPECT_EQ(dxf::FormatReal(0.1), "0.1");
    EXPECT_EQ(dxf::FormatReal(-2.5e-7), "-2.5e-07");
    EXPECT_EQ(dxf::FormatHandle(0xABC), "ABC");
    EXPECT_EQ(dxf::ParseReal(" +1.5 \r"), 1.5);
    EXPECT_EQ(dxf::ParseReal("+-1"), std::nullopt);
    EXPECT_EQ(dxf::ParseInteger("  -12"), -12);
}

}  // namespace
