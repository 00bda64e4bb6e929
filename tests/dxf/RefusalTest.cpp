// Files that are refused, and the line each refusal names: at the fault, or
// where the file ends for a file cut short. A seeded property test deletes,
// doubles or cuts off lines of valid drawings and checks that the refusal
// comes close after the change.
#include "tests/dxf/DxfFragments.h"
#include "tests/dxf/LineChanges.h"
#include "tools/dxf/DxfDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

using dxftest::Change;
using dxftest::Changed;
using dxftest::Crlf;
using dxftest::Modern;
using dxftest::R12;
using dxftest::Tags;

struct Refused {
    const char* name;
    std::string file;
    std::size_t line;
    const char* message;
};

void PrintTo(const Refused& c, std::ostream* os) {
    *os << c.name;
}

class DxfRefusal : public ::testing::TestWithParam<Refused> {};

TEST_P(DxfRefusal, NamesTheLine) {
    const Refused& c = GetParam();
    for (const std::string& file : {c.file, Crlf(c.file)}) {
        try {
            dxf::Document::Parse(file);
            ADD_FAILURE() << "accepted";
        } catch (const dxf::ParseError& e) {
            EXPECT_EQ(e.line(), c.line) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_TRUE(std::string(e.what()).starts_with("line " + std::to_string(c.line) + ": "));
        }
    }
}

// The first entity of an R12 test file is at line 47; its LTYPE table has
// "72 65|73 0|40 0.0" at lines 33 to 38.
const std::string kR12Line = R12(Tags("0 LINE|8 0|10 1|20 2|11 3|21 4"));
const std::string kR12Walls = R12(Tags("0 LINE|8 Walls|10 1"));

INSTANTIATE_TEST_SUITE_P(
    Files, DxfRefusal,
    ::testing::Values(
        Refused{"Binary", "AutoCAD Binary DXF\r\n\x1a", 1, "binary DXF"},
        Refused{"Empty", "", 1, "the file is empty: no EOF"},
        Refused{"NoEof", Tags("0 SECTION|2 ENTITIES|0 ENDSEC"), 6,
                "the file ends after the ENDSEC of section ENTITIES (line 5): no EOF"},
        Refused{"OddLines", Tags("0 SECTION|2 ENTITIES|0 ENDSEC") + "999\n", 7,
                "group code 999 has no value line (odd number of lines); the file ends after the "
                "ENDSEC of section ENTITIES (line 5)"},
        Refused{"CodeNotInteger", R12(Tags("0 LINE|8 0|1O 1")), 51, "'1O' is not an integer"},
        Refused{"CodeOutOfRange", R12(Tags("0 LINE|1072 x")), 49, "out of range"},
        Refused{"RealNotNumber", R12(Tags("0 LINE|8 0|10 1,5")), 52, "'1,5' of group code 10"},
        Refused{"RealNotFinite", R12(Tags("0 LINE|8 0|20 nan")), 52, "is not a number"},
        Refused{"IntegerNotInteger", R12(Tags("0 LINE|62 1.0")), 50, "is not an integer"},
        Refused{"HandleNotHex", R12(Tags("0 LINE|5 3G")), 50, "is not a handle"},
        Refused{"HandseedNotHex", Tags("0 SECTION|2 HEADER|9 $HANDSEED|5 zz|0 ENDSEC|0 EOF"), 8,
                "is not a handle"},
        Refused{"HandseedNotHandle", Tags("0 SECTION|2 HEADER|9 $HANDSEED|50 4|0 ENDSEC|0 EOF"), 7,
                "$HANDSEED has group code 50 instead of 5"},
        Refused{"HandleTwice", Modern(Tags("0 LINE|5 30|8 0|0 VIEWPORT|5 2c")), 178,
                "handle 2C given twice (lines 134 and 178)"},
        // A missing ENDSEC shows where the next SECTION or EOF comes.
        Refused{"EofInsideSection", Tags("0 SECTION|2 ENTITIES|0 LINE|8 0|0 EOF"), 9,
                "section ENTITIES has no ENDSEC before this EOF (the section begins at line 1)"},
        Refused{"SectionInsideSection",
                Tags("0 SECTION|2 ENTITIES|0 LINE|0 SECTION|2 OBJECTS|0 ENDSEC|0 EOF"), 7,
                "section ENTITIES has no ENDSEC before this SECTION"},
        Refused{"SectionWithoutName", Tags("0 SECTION|8 x|0 ENDSEC|0 EOF"), 3,
                "SECTION at line 1 without a name: group code 8 where 2 should be"},
        Refused{"EntityBeforeSection", Tags("0 LINE|8 0|0 EOF"), 1,
                "'LINE' before the first section"},
        Refused{"TagBetweenSections", Tags("0 SECTION|2 ENTITIES|0 ENDSEC|9 $X|0 EOF"), 7,
                "group code 9 outside any section (after the end of ENTITIES)"},
        Refused{"SecondEntities",
                Tags("0 SECTION|2 ENTITIES|0 ENDSEC|0 SECTION|2 ENTITIES|0 ENDSEC|0 EOF"), 7,
                "second ENTITIES section"},
        // A file cut short is refused where it ends, saying what is open.
        Refused{"EndsAfterSection", Tags("0 SECTION"), 2,
                "the file ends in the SECTION at line 1, before its name: no ENDSEC or EOF"},
        Refused{"EndsInHeader", Tags("0 SECTION|2 HEADER|9 $ACADVER|1 AC1009"), 8,
                "the file ends inside section HEADER (begun at line 1): no ENDSEC or EOF"},
        Refused{"EndsInTable",
                Tags("0 SECTION|2 TABLES|0 TABLE|2 LTYPE|70 1|0 LTYPE|2 CONTINUOUS|70 0"), 16,
                "inside section TABLES (begun at line 1), in table LTYPE begun at line 5: "
                "no ENDTAB, ENDSEC or EOF"},
        Refused{"EndsInUnnamedTable", Tags("0 SECTION|2 TABLES|0 TABLE"), 6,
                "in a table begun at line 5: no ENDTAB"},
        Refused{"EndsInBlock", Tags("0 SECTION|2 BLOCKS|0 BLOCK|8 0|2 B|0 LINE|8 0"), 14,
                "in the block definition begun at line 5: no ENDBLK, ENDSEC or EOF"},
        Refused{"EndsInEntity",
                Tags("0 SECTION|2 ENTITIES|0 LINE|8 0|10 0|20 0|0 POLYLINE|0 VERTEX|10 1"), 18,
                "the file ends inside section ENTITIES (begun at line 1), in the VERTEX begun at "
                "line 15: no ENDSEC or EOF"},
        Refused{"EndsInPair", Tags("0 SECTION|2 ENTITIES|0 LINE|8 0") + " 10\n", 9,
                "group code 10 has no value line (odd number of lines); the file ends inside "
                "section ENTITIES (begun at line 1), in the LINE begun at line 5"},
        Refused{"EndsAfterEndtab", Tags("0 SECTION|2 TABLES|0 TABLE|2 LTYPE|0 ENDTAB"), 10,
                "inside section TABLES (begun at line 1), after the ENDTAB at line 9: "
                "no ENDSEC or EOF"},
        // A deleted or doubled line slips the pairing of codes and values:
        // a group code then stands where an object type should.
        Refused{"CodeLineDeleted", Changed(R12(""), 35, Change::Delete), 36,
                "value ' 40' of group code 0 is not an object type or structure name but reads "
                "as a group code: a line is probably missing or extra before it"},
        Refused{"ValueLineDoubled", Changed(kR12Line, 50, Change::Double), 52,
                "value ' 10' of group code 0 is not an object type"},
        Refused{"TypeLineDeleted", Changed(kR12Line, 48, Change::Delete), 48,
                "value '  8' of group code 0 is not an object type"},
        Refused{"CodeLineDoubled", Changed(kR12Walls, 49, Change::Double), 51,
                "group code 'Walls' is not an integer (is a line missing or extra before it?)"},
        Refused{"TypeWithBlank", R12(Tags("0 LINE X|8 0")), 48,
                "value 'LINE X' of group code 0 is not an object type or structure name"},
        Refused{"TypeEmpty", R12(Tags("0 |8 0")), 48, "is not an object type"},
        Refused{"TypeWithDollar", R12(Tags("0 $LINE|8 0")), 48, "is not an object type"}),
    [](const ::testing::TestParamInfo<Refused>& p) { return std::string(p.param.name); });

// Object types of every kind: built in, starting with a digit, of added
// classes in either case, padded.
TEST(DxfRefusal, ObjectTypesThatAreNames) {
    for (const char* type :
         {"LINE", "3DFACE", "ACAD_PROXY_ENTITY", "AcDbRasterImage", "IMAGEDEF_REACTOR",
          "ACDB_MLEADEROBJECTCONTEXTDATA_CLASS", " LINE  "}) {
        const std::string file = R12(Tags(std::string("0 ") + type + "|8 0"));
        EXPECT_NO_THROW(dxf::Document::Parse(file)) << type;
    }
}

struct Drawing {
    std::string name;
    std::string bytes;
};

std::vector<Drawing> ValidDrawings() {
    std::vector<Drawing> drawings = {
        {"r12", R12(Tags("0 LINE|8 0|10 1.5|20 2|11 3|21 4|0 ARC|8 0|10 0|20 0|40 1|50 0|51 90|"
                         "0 POLYLINE|8 0|66 1|70 1|0 VERTEX|8 0|10 0|20 0|0 VERTEX|8 0|10 5|20 0|"
                         "0 SEQEND|8 0"))},
        {"modern crlf",
         Crlf(Modern(
             Tags("0 LINE|5 30|102 {ACAD_REACTORS|330 2E|102 }|330 1F|100 AcDbEntity|8 Walls|62 3|"
                  "100 AcDbLine|10 1|20 2|30 0|11 3|21 4|31 0|1001 APP|1010 9|1020 9|999 a comment|"
                  "0 INSERT|5 35|330 1F|100 AcDbEntity|8 0|100 AcDbBlockReference|66 1|2 Bolt|10 0|"
                  "20 0|0 ATTRIB|5 36|330 35|100 AcDbEntity|8 0|100 AcDbText|10 0|20 0|40 1|1 M8|"
                  "0 SEQEND|5 37|330 35|100 AcDbEntity|8 0")))},
        {"text after EOF", R12(Tags("0 CIRCLE|8 0|10 0|20 0|40 2")) + "trailing text\n\n"},
    };
    for (const Drawing& d : drawings) {
        EXPECT_NO_THROW(dxf::Document::Parse(d.bytes)) << d.name;
    }
#ifdef DXF_FUZZ_CORPUS
    // The fuzz target's seeds, those of them that read.
    for (const auto& entry : std::filesystem::directory_iterator(DXF_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        try {
            dxf::Document::Parse(bytes.str());
            drawings.push_back({entry.path().filename().string(), bytes.str()});
        } catch (const dxf::ParseError&) {
        }
    }
#endif
    return drawings;
}

TEST(DxfRefusal, ChangedLinesAreRefusedCloseToTheChange) {
    const std::uint64_t seed = dxftest::ChangeSeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    const std::vector<Drawing> drawings = ValidDrawings();
    std::size_t refused = 0, farthest = 0, failures = 0;
    for (int trial = 0; trial < 3000 && failures < 5; ++trial) {
        const Drawing& d = drawings[rng() % drawings.size()];
        const std::vector<std::string_view> lines = dxftest::Lines(d.bytes);
        const std::size_t n = 1 + rng() % lines.size();
        const auto change = static_cast<Change>(rng() % 3);
        const dxftest::ChangeOutcome outcome = dxftest::ReadChanged(lines, n, change, rng() % 2);
        if (!outcome.fault.empty()) {
            ADD_FAILURE() << d.name << ": " << outcome.fault;
            ++failures;
        }
        refused += outcome.distance.has_value();
        farthest = std::max(farthest, outcome.distance.value_or(0));
    }
    EXPECT_GT(refused, 2000u);
    std::cout << refused << " changed drawings refused, at most " << farthest
              << " lines after the change\n";
}

}  // namespace
