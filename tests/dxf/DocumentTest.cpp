// Reading: byte identity of unedited files and what is found in them. The
// files refused are in RefusalTest.cpp.
#include "tests/dxf/DxfFragments.h"
#include "tests/dxf/LineChanges.h"
#include "tests/dxf/ObservedEntities.h"
#include "tools/dxf/DxfDocument.h"
#include "tools/dxf/DxfTags.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace {

using dxftest::Crlf;
using dxftest::Modern;
using dxftest::R12;
using dxftest::Tags;

// Entities of every kind the reader treats apart: a POLYLINE run, an INSERT
// with attributes, XDATA, reactors and an extension dictionary, a comment
// between entities, paper space.
const std::string kEntities = Tags(
    "0 LINE|5 30|102 {ACAD_REACTORS|330 2E|102 }|330 1F|100 AcDbEntity|8 Walls|6 DASHED|"
    "62 3|420 16711680|100 AcDbLine|10 1|20 2|30 0|11 3|21 4|31 0|1001 APP|1010 9|1020 9|"
    "999 a comment between entities|"
    "0 POLYLINE|5 31|330 1F|100 AcDbEntity|8 0|100 AcDb2dPolyline|66 1|10 0|20 0|30 0|70 1|"
    "0 VERTEX|5 32|330 31|100 AcDbEntity|8 0|100 AcDbVertex|100 AcDb2dVertex|10 0|20 0|30 0|"
    "0 VERTEX|5 33|330 31|100 AcDbEntity|8 0|100 AcDbVertex|100 AcDb2dVertex|10 5|20 0|30 0|"
    "0 SEQEND|5 34|330 31|100 AcDbEntity|8 0|"
    "0 INSERT|5 35|330 1F|100 AcDbEntity|8 0|100 AcDbBlockReference|66 1|2 Bolt|10 0|20 0|"
    "0 ATTRIB|5 36|330 35|100 AcDbEntity|8 0|100 AcDbText|10 0|20 0|40 1|1 M8|"
    "0 SEQEND|5 37|330 35|100 AcDbEntity|8 0|"
    "0 CIRCLE|5 38|102 {ACAD_XDICTIONARY|360 39|102 }|330 1F|100 AcDbEntity|67 1|8 0|"
    "100 AcDbCircle|10 0|20 0|30 0|40 2|210 0|220 0|230 -1|"
    "0 TEXT|5 3A|330 1F|100 AcDbEntity|8 Notes|100 AcDbText|10 0|20 0|40 2.5|1 Hello");

TEST(DxfDocument, UnitsTypesAndCommonFields) {
    const dxf::Document doc = dxf::Document::Parse(Modern(kEntities));
    ASSERT_EQ(doc.EntityCount(), 5u);
    dxftest::ExpectObservedAsRead(Modern(kEntities));
    dxftest::ExpectObservedAsRead(Crlf(R12(kEntities)));
    const char* types[] = {"LINE", "POLYLINE", "INSERT", "CIRCLE", "TEXT"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(doc.EntityType(i), types[i]);
    }
    // Each unit runs to the next: the comment belongs to the LINE, the
    // vertices and SEQEND to the POLYLINE, the ATTRIB to the INSERT.
    EXPECT_TRUE(doc.EntityText(0).ends_with("999\na comment between entities\n"));
    EXPECT_TRUE(doc.EntityText(1).ends_with(Tags("0 SEQEND|5 34|330 31|100 AcDbEntity|8 0")));
    EXPECT_TRUE(doc.HasSeqend(1) && doc.HasSeqend(2));
    EXPECT_EQ(doc.EntityOffset(1), doc.EntityOffset(0) + doc.EntityText(0).size());

    const dxf::EntityInfo line = doc.Info(0);
    EXPECT_EQ(line.handle, 0x30u);
    EXPECT_EQ(line.owner, 0x1Fu) << "the reactor's 330 is not the owner";
    EXPECT_EQ(line.layer, "Walls");
    EXPECT_EQ(line.lineType, "DASHED");
    EXPECT_EQ(line.colour, 3);
    EXPECT_EQ(line.trueColour, 0xFF0000u);
    EXPECT_TRUE(line.hasXData);
    EXPECT_FALSE(line.hasExtensionDictionary);

    const dxf::EntityInfo circle = doc.Info(3);
    EXPECT_TRUE(circle.paperSpace && doc.InPaperSpace(3));
    EXPECT_TRUE(circle.hasExtensionDictionary);
    EXPECT_EQ(circle.extrusion, (dxf::Point3{0, 0, -1}));
    EXPECT_EQ(doc.Info(4).layer, "Notes");
    EXPECT_FALSE(doc.Info(4).colour);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(doc.EntityLayer(i), doc.Info(i).layer) << i;
    }

    EXPECT_EQ(doc.BlockDefinitionCount(), 1u);
    EXPECT_EQ(doc.ModelSpaceOwner(), 0x1Fu);
    EXPECT_EQ(doc.TableHandle("LTYPE"), 0x5u);
    EXPECT_TRUE(doc.HasTableEntry("ltype", "Continuous"));
    EXPECT_FALSE(doc.HasTableEntry("LTYPE", "DASHED"));
    EXPECT_EQ(doc.HeaderValue("$INSUNITS"), "4");
    EXPECT_EQ(doc.GetFormat().version, 1015);
    EXPECT_TRUE(doc.GetFormat().padCodes);
    const char* sections[] = {"HEADER", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"};
    ASSERT_EQ(doc.Sections().size(), 5u);
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(doc.Sections()[k].name, sections[k]);
    }
}

// Unedited files come back byte for byte: line endings, padding, trailing
// blanks, a byte order mark, comments, anything after EOF.
TEST(DxfDocument, UneditedFilesWriteBackIdentical) {
    const std::string files[] = {
        Modern(kEntities),
        Modern(kEntities, "AC1032"),
        R12(Tags("0 LINE|8 0|10 1|20 2|11 3|21 4|0 ARC|8 0|10 0|20 0|40 1|50 0|51 90")),
        "\xEF\xBB\xBF" + R12(Tags("0 LINE|8 0  |10  1.50  |20 2|11 3|21 4")),
        "999\nfirst\n0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n+1\n20\n.5\n11\n1e3\n21\n-0\n"
        "0\nENDSEC\n0\nEOF",
        R12("") + "trailing text after EOF\n\n",
        Tags("0 SECTION|2 ACDSDATA|70 2|0 ACDSSCHEMA|90 0|1 x|0 ENDSEC|0 EOF"),
    };
    for (const std::string& lf : files) {
        const std::string crlf = Crlf(lf);
        for (const std::string* file : {&lf, &crlf}) {
            const dxf::Document doc = dxf::Document::Parse(*file);
            EXPECT_FALSE(doc.Edited());
            EXPECT_EQ(doc.Write(), *file);
            EXPECT_EQ(doc.GetFormat().eol, file == &lf ? "\n" : "\r\n");
        }
    }
}

TEST(DxfDocument, HandlesAndTheirAbsence) {
    dxf::Document modern = dxf::Document::Parse(Modern(kEntities));
    EXPECT_TRUE(modern.UsesHandles());
    EXPECT_EQ(modern.NewHandle(), 0x40u) << "$HANDSEED is above every handle";
    dxf::Document above = dxf::Document::Parse(Modern(Tags("0 LINE|5 4F|8 0|10 0|20 0|11 1|21 1")));
    EXPECT_EQ(above.NewHandle(), 0x50u) << "a handle above $HANDSEED";

    dxf::Document r12 = dxf::Document::Parse(R12(Tags("0 LINE|8 0|10 0|20 0|11 1|21 1")));
    EXPECT_FALSE(r12.UsesHandles());
    EXPECT_EQ(r12.NewHandle(), std::nullopt);
    EXPECT_EQ(r12.Write(), r12.Bytes());
    dxf::Document r12h = dxf::Document::Parse(R12(Tags("0 LINE|5 A|8 0|10 0|20 0|11 1|21 1")));
    EXPECT_EQ(r12h.NewHandle(), 0xBu);
}

// Lines of every length up to past the word-at-a-time search, each ending
// with "\n", "\r\n" or the text's end, read from every offset, against
// std::string_view::find.
TEST(DxfDocument, LinesFoundFromAnyOffset) {
    const std::uint64_t seed = dxftest::ChangeSeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const std::size_t size = random() % 80;
        for (std::size_t k = 0; k < size; ++k) {
            const auto pick = random() % 16;
            text += pick == 0 ? '\n' : pick == 1 ? '\r' : pick == 2 ? '\x8a' : char('0' + pick);
        }
        for (std::size_t pos = 0; pos <= text.size(); ++pos) {
            const std::size_t nl = std::string_view(text).find('\n', pos);
            const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
            std::size_t next = 0;
            const std::string_view line = dxf::LineAt(text, pos, next);
            const bool cr = nl != std::string_view::npos && end > pos && text[end - 1] == '\r';
            ASSERT_EQ(line, std::string_view(text).substr(pos, end - pos - (cr ? 1 : 0)))
                << "text of " << text.size() << " from " << pos;
            ASSERT_EQ(next, nl == std::string_view::npos ? text.size() : nl + 1);
        }
    }
}

// Code lines written every way a reader must take or refuse (padded, with
// tabs, signs, leading zeros, too many digits, out of range, no digits),
// against the plain reading: the line, then ParseGroupCode.
TEST(DxfDocument, TagsReadAsTheirLines) {
    const std::uint64_t seed = dxftest::ChangeSeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    const char* const kCodes[] = {"0",    "  0",  " 10",   "10",         "330",  "1071", "1072",
                                  "9999", "0010", "-5",    "10 ",        "\t10", "1 0",  "",
                                  "x",    "  ",   "99999", "1000000000", "  5\r"};
    const char* const kEndings[] = {"\n", "\r\n", "\r", ""};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int line = 0; line < 6; ++line) {
            text += kCodes[random() % std::size(kCodes)];
            text += kEndings[random() % std::size(kEndings)];
            text += random() % 2 ? "1.5" : "";
            text += kEndings[random() % std::size(kEndings)];
        }
        dxf::TagReader reader(text);
        std::size_t pos = 0;
        dxf::Tag tag;
        while (true) {
            std::size_t valuePos = 0;
            std::size_t next = 0;
            const auto code = pos < text.size()
                                  ? dxf::ParseGroupCode(dxf::LineAt(text, pos, valuePos))
                                  : std::nullopt;
            const bool valid =
                code && *code >= 0 && *code <= dxf::kMaxGroupCode && valuePos < text.size();
            ASSERT_EQ(reader.Next(tag), valid) << "at " << pos << " of \"" << text << '"';
            if (!valid) {
                break;
            }
            const std::string_view value = dxf::LineAt(text, valuePos, next);
            ASSERT_EQ(tag.code, *code);
            ASSERT_EQ(tag.begin, pos);
            ASSERT_EQ(tag.valueBegin, valuePos);
            ASSERT_EQ(tag.value, value);
            ASSERT_EQ(tag.end, next);
            pos = next;
        }
    }
}

}  // namespace
