#include "tools/dxf/DxfText.h"

#include "tools/dxf/DxfNumbers.h"
#include "tools/dxf/DxfTextTables.h"

#include <algorithm>
#include <optional>

namespace dxf {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

const tables::CodePageTable* TableOf(CodePage page) {
    switch (page) {
        case CodePage::Utf8:
            return nullptr;
        case CodePage::Cp874:
            return &tables::kCp874;
        case CodePage::Cp932:
            return &tables::kCp932;
        case CodePage::Cp936:
            return &tables::kCp936;
        case CodePage::Cp949:
            return &tables::kCp949;
        case CodePage::Cp950:
            return &tables::kCp950;
        case CodePage::Cp1250:
            return &tables::kCp1250;
        case CodePage::Cp1251:
            return &tables::kCp1251;
        case CodePage::Cp1252:
            return &tables::kCp1252;
        case CodePage::Cp1253:
            return &tables::kCp1253;
        case CodePage::Cp1254:
            return &tables::kCp1254;
        case CodePage::Cp1255:
            return &tables::kCp1255;
        case CodePage::Cp1256:
            return &tables::kCp1256;
        case CodePage::Cp1257:
            return &tables::kCp1257;
        case CodePage::Cp1258:
            return &tables::kCp1258;
    }
    return nullptr;
}

// The character of one byte (below 0x100) or one lead and trail byte pair.
std::optional<char32_t> CharOf(const tables::CodePageTable& table, unsigned lead,
                               std::optional<unsigned> trail) {
    if (lead < 0x80) {
        return trail ? std::nullopt : std::optional<char32_t>(lead);
    }
    if (!trail) {
        const char16_t c = table.high[lead - 0x80];
        return c == tables::kNone ? std::nullopt : std::optional<char32_t>(c);
    }
    if (table.leads == nullptr) {
        return std::nullopt;
    }
    const tables::LeadRow& row = table.leads[lead - 0x80];
    if (row.chars == nullptr || *trail < row.first || *trail > row.last) {
        return std::nullopt;
    }
    const char16_t c = row.chars[*trail - row.first];
    return c == tables::kNone ? std::nullopt : std::optional<char32_t>(c);
}

// A well-formed UTF-8 sequence at `at`: its character and length.
std::optional<std::pair<char32_t, std::size_t>> Utf8At(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return std::pair<char32_t, std::size_t>{lead, 1};
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07u, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - at < length) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = c << 6 | (next & 0x3Fu);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::pair<char32_t, std::size_t>{c, length};
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t Fold(char32_t c) {
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    }
    const tables::FoldRun* end = tables::kFoldRuns + tables::kFoldRunCount;
    const tables::FoldRun* run =
        std::upper_bound(tables::kFoldRuns, end, c,
                         [](char32_t value, const tables::FoldRun& r) { return value < r.first; });
    if (run == tables::kFoldRuns) {
        return c;
    }
    --run;
    if (c > run->last || (c - run->first) % run->stride != 0) {
        return c;
    }
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + run->delta);
}

std::optional<unsigned> Hex4(std::string_view text, std::size_t at) {
    if (text.size() < at + 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (std::size_t k = at; k < at + 4; ++k) {
        const char c = text[k];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<unsigned>(digit);
    }
    return value;
}

// The character of the escape that starts with the backslash at `at`, and
// the escape's length; nothing when no escape starts there.
std::optional<std::pair<char32_t, std::size_t>> EscapeAt(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with("\\U+")) {
        const auto unit = Hex4(text, at + 3);
        if (!unit) {
            return std::nullopt;
        }
        if (*unit >= 0xD800 && *unit <= 0xDBFF && rest.substr(7).starts_with("\\U+")) {
            const auto low = Hex4(text, at + 10);
            if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                return std::pair<char32_t, std::size_t>{
                    0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00), 14};
            }
        }
        const bool character = *unit != 0 && (*unit < 0xD800 || *unit > 0xDFFF);
        return std::pair<char32_t, std::size_t>{character ? *unit : kReplacement, 7};
    }
    if (rest.starts_with("\\M+") && rest.size() >= 8) {
        // The pages by n, as CAD programs number them; 4 (Johab) is not read.
        static const tables::CodePageTable* const kPages[] = {
            &tables::kCp932, &tables::kCp950, &tables::kCp949, nullptr, &tables::kCp936};
        const unsigned n = static_cast<unsigned>(rest[3] - '1');
        const auto code = Hex4(text, at + 4);
        const tables::CodePageTable* table = n < 5 ? kPages[n] : nullptr;
        if (!code || table == nullptr) {
            return std::nullopt;
        }
        const auto c = *code < 0x100 ? CharOf(*table, *code, std::nullopt)
                                     : CharOf(*table, *code >> 8, *code & 0xFF);
        if (c) {
            return std::pair<char32_t, std::size_t>{*c, 8};
        }
    }
    return std::nullopt;
}

// Reads `value` in `page`: each character (escapes resolved) to
// character(c), each byte that is no character to invalid(byte).
template <typename Character, typename Invalid>
void Decode(std::string_view value, CodePage page, Character character, Invalid invalid) {
    const tables::CodePageTable* table = TableOf(page);
    std::size_t at = 0;
    while (at < value.size()) {
        const auto byte = static_cast<unsigned char>(value[at]);
        if (byte == '\\') {
            if (const auto escape = EscapeAt(value, at)) {
                character(escape->first);
                at += escape->second;
                continue;
            }
        }
        if (table == nullptr) {
            if (const auto c = Utf8At(value, at)) {
                character(c->first);
                at += c->second;
            } else {
                invalid(byte);
                ++at;
            }
            continue;
        }
        if (const auto c = CharOf(*table, byte, std::nullopt)) {
            character(*c);
            ++at;
        } else if (const auto pair =
                       at + 1 < value.size()
                           ? CharOf(*table, byte, static_cast<unsigned char>(value[at + 1]))
                           : std::nullopt) {
            character(*pair);
            at += 2;
        } else {
            // The next byte is read afresh: a broken pair costs one byte.
            invalid(byte);
            ++at;
        }
    }
}

}  // namespace

CodePage CodePageNamed(std::string_view dwgCodePage) {
    // Tried in this order, as ezdxf does (no number is another's ending).
    static constexpr std::pair<std::string_view, CodePage> kNumbers[] = {
        {"874", CodePage::Cp874},   {"932", CodePage::Cp932},   {"936", CodePage::Cp936},
        {"949", CodePage::Cp949},   {"950", CodePage::Cp950},   {"1250", CodePage::Cp1250},
        {"1251", CodePage::Cp1251}, {"1252", CodePage::Cp1252}, {"1253", CodePage::Cp1253},
        {"1254", CodePage::Cp1254}, {"1255", CodePage::Cp1255}, {"1256", CodePage::Cp1256},
        {"1257", CodePage::Cp1257}, {"1258", CodePage::Cp1258},
    };
    for (const auto& [number, page] : kNumbers) {
        if (dwgCodePage.ends_with(number)) {
            return page;
        }
    }
    return CodePage::Cp1252;
}

std::string DecodeText(std::string_view value, CodePage page) {
    std::string out;
    out.reserve(value.size());
    Decode(
        value, page, [&out](char32_t c) { AppendUtf8(out, c); },
        [&out](unsigned char) { AppendUtf8(out, kReplacement); });
    return out;
}

std::string DecodeNameKey(std::string_view value, CodePage page) {
    std::string out;
    out.reserve(value.size());
    Decode(
        value, page, [&out](char32_t c) { AppendUtf8(out, Fold(c)); },
        [&out](unsigned char byte) {
            out += '\xFF';  // never part of UTF-8
            out += static_cast<char>(byte);
        });
    // Blanks an escape wrote at either end go as written ones do. A kept
    // byte is never a blank: blanks are characters in every page.
    return std::string(Trim(out));
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto c = Utf8At(text, at);
        if (!c) {
            return false;
        }
        at += c->second;
    }
    return true;
}

std::string FoldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const auto c = Utf8At(text, at)) {
            AppendUtf8(out, Fold(c->first));
            at += c->second;
        } else {
            out += text[at++];
        }
    }
    return out;
}

}  // namespace dxf
