// Conversions between the driver's UTF-8 text, the host's UTF-16 text and
// file paths.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vekhost_tool {

// Empty when `utf8` is not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16(const std::string& utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

std::string PathText(const std::filesystem::path& path);
// The same text but for the case of ASCII letters ("Content-Type",
// "content-type"; a setting's name as typed).
bool SameAsciiLetters(std::string_view a, std::string_view b);
std::filesystem::path PathFromUtf8(const std::string& utf8);

// Code units copied one to one between the host's and a WCHAR-based text.
template <typename Char>
std::basic_string<Char> ToWideText(const std::u16string& text) {
    return std::basic_string<Char>(text.begin(), text.end());
}
template <typename Char>
std::u16string FromWideText(const std::basic_string<Char>& text) {
    return std::u16string(text.begin(), text.end());
}

}  // namespace vekhost_tool
