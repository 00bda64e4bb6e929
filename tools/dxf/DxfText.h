// A drawing's text as UTF-8. Drawings before R2007 (AC1021) are written in
// the code page their $DWGCODEPAGE names; later ones in UTF-8. Either may
// hold \U+XXXX escapes (a UTF-16 code unit) and, before R2007, \M+nXXXX
// escapes (a double-byte character of the code page that n selects).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dxf {

enum class CodePage : std::uint8_t {
    Utf8,
    Cp874,  // Thai
    Cp932,  // Japanese (Shift_JIS with the Windows extensions)
    Cp936,  // Simplified Chinese (GBK)
    Cp949,  // Korean (Unified Hangul Code)
    Cp950,  // Traditional Chinese (Big5 with the Windows extensions)
    Cp1250,
    Cp1251,
    Cp1252,
    Cp1253,
    Cp1254,
    Cp1255,
    Cp1256,
    Cp1257,
    Cp1258,
};

// The code page a $DWGCODEPAGE value names, by the number it ends with
// ("ANSI_1252", "ANSI_932", "dos932"), as ezdxf reads it; Cp1252 for any
// other value and for none: the DOS, ISO 8859, Mac and Johab pages are
// seldom written and read as the default page, as ezdxf does.
CodePage CodePageNamed(std::string_view dwgCodePage);

// `value` as UTF-8: its bytes read in `page`, with \U+XXXX escapes (either
// case of hexadecimal digits; a pair of surrogates joins) and \M+nXXXX
// escapes (n: 1 Japanese, 2 Traditional Chinese, 3 Korean, 5 Simplified
// Chinese; XXXX the character's bytes, one byte when below 0100) replaced by
// their characters. A byte that is no character of the page (or a lone
// byte of a broken UTF-8 sequence) becomes U+FFFD; so do \U+0000 and an
// unpaired surrogate. An \M+ escape of another n (4, Johab) or of bytes
// the page leaves undefined stays as it is written.
std::string DecodeText(std::string_view value, CodePage page);

// The same, folded for comparison without regard to case (FoldCase),
// without blanks at either end (written or escaped), and each byte that is
// no character of the page kept as 0xFF and that byte, so that names
// differing only there still differ.
std::string DecodeNameKey(std::string_view value, CodePage page);

// Well-formed UTF-8 (no surrogates, no overlong forms).
bool IsUtf8(std::string_view text);

// `text` with each character replaced by its Unicode simple case folding
// (A and a, Ä and ä, Σ, σ and ς compare alike); bytes that are not
// well-formed UTF-8 are kept as they are.
std::string FoldCase(std::string_view text);

}  // namespace dxf
