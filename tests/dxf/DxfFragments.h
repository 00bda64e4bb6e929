// Small drawings for the tests, written compactly: "0 LINE|8 Walls|10 1.5"
// is one tag per '|', the group code before the first space. Codes are
// right-aligned in three columns, as CAD programs write them.
#pragma once

#include <string>
#include <string_view>

namespace dxftest {

inline std::string Tags(std::string_view compact) {
    std::string out;
    while (!compact.empty()) {
        const std::size_t bar = compact.find('|');
        const std::string_view tag = compact.substr(0, bar);
        const std::size_t space = tag.find(' ');
        const std::string_view code = tag.substr(0, space);
        out += std::string(code.size() < 3 ? 3 - code.size() : 0, ' ') + std::string(code) + "\n";
        out += std::string(space == std::string_view::npos ? "" : tag.substr(space + 1)) + "\n";
        compact = bar == std::string_view::npos ? "" : compact.substr(bar + 1);
    }
    return out;
}

// Text with bytes written as {XX} (two hexadecimal digits): "trac{E9}".
inline std::string Raw(std::string_view text) {
    std::string out;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '{' && k + 3 < text.size() && text[k + 3] == '}') {
            out += static_cast<char>(std::stoi(std::string(text.substr(k + 1, 2)), nullptr, 16));
            k += 3;
        } else {
            out += text[k];
        }
    }
    return out;
}

inline std::string Crlf(std::string_view lf) {
    std::string out;
    for (char c : lf) {
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

// An R12 drawing: no handles unless the entities bring their own.
inline std::string R12(std::string_view entities) {
    return Tags(
               "0 SECTION|2 HEADER|9 $ACADVER|1 AC1009|9 $HANDLING|70 0|0 ENDSEC|"
               "0 SECTION|2 TABLES|0 TABLE|2 LTYPE|70 1|0 LTYPE|2 CONTINUOUS|70 0|3 Solid|"
               "72 65|73 0|40 0.0|0 ENDTAB|0 ENDSEC|0 SECTION|2 ENTITIES") +
           std::string(entities) + Tags("0 ENDSEC|0 EOF");
}

// A drawing of a later version with handles (up to 2F; $HANDSEED 40), an
// LTYPE table, the model space block record 1F and a block definition.
inline std::string Modern(std::string_view entities, std::string_view version = "AC1015") {
    return Tags("999 written for the tests|0 SECTION|2 HEADER|9 $ACADVER|1 " +
                std::string(version) +
                "|9 $HANDSEED|5 40|9 $INSUNITS|70 4|0 ENDSEC|"
                "0 SECTION|2 TABLES|0 TABLE|2 LTYPE|5 5|330 0|100 AcDbSymbolTable|70      1|"
                "0 LTYPE|5 14|330 5|100 AcDbSymbolTableRecord|100 AcDbLinetypeTableRecord|"
                "2 CONTINUOUS|70 0|3 Solid line|72 65|73 0|40 0.0|0 ENDTAB|"
                "0 TABLE|2 BLOCK_RECORD|5 1|330 0|100 AcDbSymbolTable|70 1|"
                "0 BLOCK_RECORD|5 1F|330 1|100 AcDbSymbolTableRecord|100 AcDbBlockTableRecord|"
                "2 *Model_Space|0 BLOCK_RECORD|5 2A|330 1|100 AcDbSymbolTableRecord|"
                "100 AcDbBlockTableRecord|2 Bolt|0 ENDTAB|0 ENDSEC|"
                "0 SECTION|2 BLOCKS|0 BLOCK|5 2B|330 2A|100 AcDbEntity|8 0|100 AcDbBlockBegin|"
                "2 Bolt|70 0|10 0|20 0|30 0|3 Bolt|1 |0 CIRCLE|5 2C|330 2A|100 AcDbEntity|8 0|"
                "100 AcDbCircle|10 0|20 0|30 0|40 1|0 ENDBLK|5 2D|330 2A|100 AcDbEntity|8 0|"
                "100 AcDbBlockEnd|0 ENDSEC|0 SECTION|2 ENTITIES") +
           std::string(entities) +
           Tags(
               "0 ENDSEC|0 SECTION|2 OBJECTS|0 DICTIONARY|5 C|330 0|100 AcDbDictionary|"
               "0 ENDSEC|0 EOF");
}

}  // namespace dxftest
