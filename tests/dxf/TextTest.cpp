// A drawing's text as UTF-8: code pages by $DWGCODEPAGE and version,
// escapes, bytes no character, names compared without regard to case.
// Natively also every byte and pair of every page against iconv, and the
// decoding cases against ezdxf (Debian's python3-ezdxf).
#include "tests/dxf/DxfFragments.h"
#include "tools/dxf/DxfDocument.h"
#include "tools/dxf/DxfText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace {

using dxftest::Raw;
using dxftest::Tags;

// A drawing with only a header: its version and code page (none when empty).
dxf::Document Drawing(const std::string& version, const std::string& codePage, bool bom = false) {
    return dxf::Document::Parse((bom ? "\xEF\xBB\xBF" : "") +
                                Tags("0 SECTION|2 HEADER|9 $ACADVER|1 " + version +
                                     (codePage.empty() ? "" : "|9 $DWGCODEPAGE|3 " + codePage) +
                                     "|0 ENDSEC|0 EOF"));
}

struct DecodeCase {
    const char* version;
    const char* codePage;  // $DWGCODEPAGE; "" for none
    std::string bytes;     // as Raw() reads them
    const char* text;      // UTF-8
    bool ezdxf;            // ezdxf (recover, which reads escapes) agrees
};

const std::vector<DecodeCase> kDecodeCases = {
    // A name in each page.
    {"AC1015", "ANSI_1252", Raw("trac{E9}"), "tracé", true},
    {"AC1015", "ANSI_1250", Raw("{A3}{F3}d{9F}"), "Łódź", true},
    {"AC1015", "ANSI_1251", Raw("{D1}{EB}{EE}{E9}"), "Слой", true},
    {"AC1015", "ANSI_1253", Raw("{CB}{C1}"), "ΛΑ", true},
    {"AC1015", "ANSI_1254", Raw("D{FD}{FE}"), "Dış", true},
    {"AC1015", "ANSI_1255", Raw("{F9}{EB}{E1}{E4}"), "שכבה", true},
    {"AC1015", "ANSI_1256", Raw("{D8}{C8}{DE}{C9}"), "طبقة", true},
    {"AC1015", "ANSI_1257", Raw("S{E0}ra{F0}as"), "Sąrašas", true},
    {"AC1015", "ANSI_1258", Raw("{D0}{FD}{F5}ng"), "Đương", true},
    {"AC1015", "ANSI_874", Raw("{AA}{D1}{E9}{B9}"), "ชั้น", true},
    {"AC1015", "ANSI_932", Raw("{94}{F1}{95}{5C}{8E}{A6}{89}{E6}{91}w"), "非表示画層", true},
    {"AC1015", "ANSI_932", Raw("{DA}{B2}{D4}"), "ﾚｲﾔ", true},
    {"AC1015", "ANSI_936", Raw("{CD}{BC}{B2}{E3}"), "图层", true},
    {"AC1015", "ANSI_949", Raw("{B5}{B5}{B8}{E9}{C3}{FE}"), "도면층", true},
    {"AC1015", "ANSI_950", Raw("{B9}{CF}{BC}h"), "圖層", true},
    // The page by the number $DWGCODEPAGE ends with; ANSI_1252 otherwise.
    {"AC1015", "dos932", Raw("{94}{F1}"), "非", true},
    {"AC1015", "ansi_1251", Raw("{D1}"), "С", true},
    {"AC1015", "ANSI_1361", Raw("trac{E9}"), "tracé", true},
    {"AC1015", "", Raw("trac{E9}"), "tracé", true},
    {"AC1009", "", Raw("{80}{9C}"), "€œ", true},
    // UTF-8 from R2007; a value that is not UTF-8 is read in the header's page.
    {"AC1021", "ANSI_1252", "tracé", "tracé", true},
    {"AC1021", "ANSI_1252", Raw("trac{E9}"), "tracé", false},
    {"AC1032", "ANSI_932", Raw("{94}{F1}"), "非", false},
    // Escapes, in any version; a trail byte 5C is no backslash.
    {"AC1009", "", "\\U+039B\\U+0391", "ΛΑ", true},
    {"AC1024", "ANSI_1252", "\\U+03BB\\U+00e9", "λé", true},
    {"AC1024", "ANSI_1252", "a\\U+03bb", "aλ", false},  // ezdxf: lower case only at times
    {"AC1015", "ANSI_1252", "\\U+D83D\\U+DE00|\\U+D83D|\\U+0000", "😀|�|�", false},
    {"AC1015", "ANSI_1252", "\\U+12|\\U+12G4|\\X+0041|\\", "\\U+12|\\U+12G4|\\X+0041|\\", true},
    {"AC1015", "ANSI_932", Raw("{95}{5C}U+0041"), "表U+0041", true},
    {"AC1015", "ANSI_1252", "\\M+1907D\\M+196CA\\M+100CB", "図面ﾋ", false},
    {"AC1015", "ANSI_1252", "\\M+5BCFE\\M+5BAC5|\\M+2A4A1|\\M+3B0A1", "件号|丑|가", false},
    {"AC1015", "ANSI_1252", "\\M+4B0A1|\\M+1FFFF|\\M+6907D|\\M+1907",
     "\\M+4B0A1|\\M+1FFFF|\\M+6907D|\\M+1907", true},
    // Bytes no character: each a U+FFFD; a broken pair costs its lead byte.
    {"AC1015", "ANSI_1252", Raw("a{81}b{8D}"), "a�b�", true},
    {"AC1015", "ANSI_932", Raw("{85}@|{88}"), "�@|�", true},
    {"AC1015", "ANSI_949", Raw("{C9}{A1}x"), "�죢", true},
    {"AC1015", "ANSI_936", Raw("{80}"), "€", false},           // Python's gbk has no 0x80
    {"AC1015", "ANSI_932", Raw("{A0}"), "�", false},           // nor glibc nor Windows a 0xA0
    {"AC1015", "ANSI_950", Raw("{C6}{A1}"), "\uF6B1", false},  // Python reads ETEN there
    {"AC1021", "ANSI_1252", Raw("{E2}{82}x{C3}"), "â‚xÃ", false},
};

TEST(DxfText, DecodesByCodePageAndEscapes) {
    for (const DecodeCase& c : kDecodeCases) {
        const dxf::Document doc = Drawing(c.version, c.codePage);
        EXPECT_EQ(doc.DecodeText(c.bytes), c.text)
            << c.version << " " << c.codePage << " " << c.bytes;
    }
}

TEST(DxfText, Utf8BytesNoCharacterAndFolding) {
    EXPECT_EQ(dxf::DecodeText(Raw("a{E2}{82}b{C3}|{ED}{A0}{80}|{C0}{AF}"), dxf::CodePage::Utf8),
              "a��b�|���|��");
    EXPECT_TRUE(dxf::IsUtf8("tracé 非表示画層 😀"));
    EXPECT_FALSE(dxf::IsUtf8(Raw("trac{E9}")));
    EXPECT_FALSE(dxf::IsUtf8(Raw("{ED}{A0}{80}")));  // a surrogate
    EXPECT_EQ(dxf::FoldCase("ÀÉÎÕÜ ŁŚŹ ΛΑΣς СЛОЙ ＡＢＣ Straße ẞ İ"),
              "àéîõü łśź λασσ слой ａｂｃ straße ß İ");
    EXPECT_EQ(dxf::FoldCase(Raw("TRAC{E9}")), Raw("trac{E9}"));
}

struct MatchCase {
    const char* codePage;  // of an R2000 drawing; "UTF-8" for R2018
    std::string name;      // in the file, as Raw() reads it
    std::string typed;     // as Raw() reads it
    bool matches;
};

const std::vector<MatchCase> kMatchCases = {
    {"ANSI_1252", Raw("trac{E9}"), "tracé", true},
    {"ANSI_1252", Raw("trac{E9}"), "TRACÉ", true},
    {"ANSI_1252", "TRAC\\U+00C9", "tracé", true},
    {"ANSI_1252", Raw("trac{E9}"), "trac\\U+00e9", true},   // typed escapes are read too
    {"ANSI_1252", Raw("trac{E9}"), Raw("TRAC{C9}"), true},  // the file's own bytes
    {"ANSI_932", Raw("{94}{F1}"), Raw("{94}{F1}"), true},
    {"UTF-8", Raw("trac{E9}"), Raw("TRAC{C9}"), true},  // stray bytes in a UTF-8 drawing
    {"ANSI_1252", Raw("trac{E9}"), "trace", false},
    {"ANSI_1252", Raw("{C3}{A9}"), "é", false},  // "Ã©" in the file: not the UTF-8 bytes
    {"ANSI_1252", Raw("a{81}"), "a�", true},     // as it is shown
    {"ANSI_1252", "  Walls ", "walls", true},
    {"ANSI_1252", "\\U+0009Walls\\U+0020", "walls", true},  // escaped blanks
    {"ANSI_1252", "\\U+005CU+0041", "\\U+0041", true},      // as it is shown
    {"ANSI_1252", "\\U+005CU+0041", "A", false},
    {"ANSI_1253", Raw("{CB}{C1}"), "λα", true},
    {"ANSI_932", Raw("{94}{F1}{95}{5C}{8E}{A6}{89}{E6}{91}w"), "非表示画層", true},
    {"ANSI_932", Raw("{94}{F1}{95}{5C}"), "非表示画層", false},
    {"ANSI_932", Raw("{82}{60}{82}{61}"), "ａｂ", true},  // full-width Ａ Ｂ
    {"UTF-8", "ΟΔΟΣ", "οδος", true},
    {"UTF-8", "STRASSE", "straße", false},
};

TEST(DxfText, NamesMatchWithoutRegardToCase) {
    for (const MatchCase& c : kMatchCases) {
        const std::string page = c.codePage;
        const dxf::Document doc =
            page == "UTF-8" ? Drawing("AC1032", "ANSI_1252") : Drawing("AC1015", page);
        EXPECT_EQ(doc.NameMatches(c.typed, c.name), c.matches)
            << c.codePage << " '" << c.name << "' typed '" << c.typed << "'";
    }
    // Bytes no character keep names apart that show alike.
    const dxf::Document doc = Drawing("AC1015", "ANSI_1252");
    EXPECT_NE(doc.NameKey(Raw("a{81}")), doc.NameKey(Raw("a{8D}")));
    EXPECT_EQ(doc.DecodeText(Raw("a{81}")), doc.DecodeText(Raw("a{8D}")));
}

std::uint64_t Seed() {
    if (const char* s = std::getenv("TARNEX_SEED")) {
        return std::stoull(s);
    }
    return std::random_device{}();
}

// Whatever bytes a name holds, the text shown for it is UTF-8 and, typed
// back, selects it.
TEST(DxfText, WhatIsShownSelects) {
    const std::uint64_t seed = Seed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    // Escapes that write a blank or a backslash make text that reads
    // otherwise when typed: " a" typed is "a", \U+0041 typed is "A".
    const std::vector<std::string> pieces = {
        "\\U+00E9",  "\\U+D83D", "\\M+1907D", "\\M+4", "\\U+0009", "\\U+0020", "\\U+005C",
        "\\M+1005C", "U+0041",   "\\",        "A",     "z",        " "};
    for (const char* page :
         {"ANSI_1252", "ANSI_874", "ANSI_932", "ANSI_936", "ANSI_949", "ANSI_950", "ANSI_1258"}) {
        for (const bool utf8 : {false, true}) {
            const dxf::Document doc = Drawing(utf8 ? "AC1027" : "AC1015", page);
            for (int n = 0; n < 300; ++n) {
                std::string name;
                const int length = static_cast<int>(random() % 8);
                for (int k = 0; k < length; ++k) {
                    name += random() % 3 == 0 ? pieces[random() % pieces.size()]
                                              : std::string(1, static_cast<char>(random() % 256));
                }
                const std::string shown = doc.DecodeText(dxf::Trim(name));
                ASSERT_TRUE(dxf::IsUtf8(shown)) << page << " " << name;
                ASSERT_TRUE(doc.NameMatches(shown, name)) << page << " " << name;
            }
        }
    }
}

#ifndef _WIN32
// What the C library's iconv makes of `bytes` in `page`, or nothing.
std::optional<std::string> Iconv(iconv_t cd, const std::string& bytes) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = bytes;
    char out[32];
    char* from = in.data();
    std::size_t fromLeft = in.size();
    char* to = out;
    std::size_t toLeft = sizeof out;
    if (iconv(cd, &from, &fromLeft, &to, &toLeft) == static_cast<std::size_t>(-1) ||
        fromLeft != 0 ||
        iconv(cd, nullptr, nullptr, &to, &toLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    return std::string(out, to);
}

// The tables hold what iconv makes of every byte and every pair after a lead
// byte; bytes it refuses are a U+FFFD each (a broken pair: its lead byte).
TEST(DxfTextTables, AgreeWithIconv) {
    const std::pair<const char*, dxf::CodePage> pages[] = {
        {"CP874", dxf::CodePage::Cp874},   {"CP932", dxf::CodePage::Cp932},
        {"CP936", dxf::CodePage::Cp936},   {"CP949", dxf::CodePage::Cp949},
        {"CP950", dxf::CodePage::Cp950},   {"CP1250", dxf::CodePage::Cp1250},
        {"CP1251", dxf::CodePage::Cp1251}, {"CP1252", dxf::CodePage::Cp1252},
        {"CP1253", dxf::CodePage::Cp1253}, {"CP1254", dxf::CodePage::Cp1254},
        {"CP1255", dxf::CodePage::Cp1255}, {"CP1256", dxf::CodePage::Cp1256},
        {"CP1257", dxf::CodePage::Cp1257}, {"CP1258", dxf::CodePage::Cp1258}};
    for (const auto& [name, page] : pages) {
        iconv_t cd = iconv_open("UTF-8", name);
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;
        std::size_t pairs = 0;
        for (int lead = 0; lead < 0x100; ++lead) {
            const std::string one(1, static_cast<char>(lead));
            const auto single = Iconv(cd, one);
            const std::string ours = dxf::DecodeText(one, page);
            ASSERT_EQ(ours, single.value_or("\uFFFD")) << name << " byte " << lead;
            if (single || lead < 0x80) {
                continue;
            }
            for (int trail = 0; trail < 0x100; ++trail) {
                const std::string two = one + static_cast<char>(trail);
                const auto pair = Iconv(cd, two);
                const std::string want =
                    pair ? *pair : "\uFFFD" + dxf::DecodeText(two.substr(1), page);
                ASSERT_EQ(dxf::DecodeText(two, page), want) << name << " " << lead << " " << trail;
                pairs += pair ? 1 : 0;
            }
        }
        iconv_close(cd);
        RecordProperty(name, static_cast<int>(pairs));
    }
}

// ezdxf reads the decoding cases as they say: their bytes in the code page
// it finds in the header, then its \U+ escapes (ezdxf.recover's way).
TEST(DxfText, EzdxfReadsTheCasesAlike) {
    const std::string path = ::testing::TempDir() + "dxf_text_cases.txt";
    {
        std::ofstream out(path, std::ios::binary);
        auto hex = [](const std::string& text) {
            static const char kDigits[] = "0123456789abcdef";
            std::string digitsOf;
            for (unsigned char c : text) {
                digitsOf += {kDigits[c >> 4], kDigits[c & 15]};
            }
            return digitsOf;
        };
        for (const DecodeCase& c : kDecodeCases) {
            out << c.version << '\t' << c.codePage << '\t' << hex(c.bytes) << '\t' << hex(c.text)
                << '\t' << (c.ezdxf ? "same" : "other") << '\n';
        }
    }
    const std::string command = std::string(TARNEX_SYSTEM_PYTHON) + " " + TEXT_CHECK + " " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}
#endif

}  // namespace
