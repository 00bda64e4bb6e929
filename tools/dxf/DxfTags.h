// Group code / value pairs read one at a time from a drawing's text. The
// document checks a whole file once when it is read; this reader then walks
// pieces of it again (an entity, a table) without further checks.
#pragma once

#include "tools/dxf/DxfNumbers.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

namespace dxf {

struct Tag {
    int code = -1;
    std::string_view value;      // the value line without its line ending
    std::size_t begin = 0;       // offset of the group code line
    std::size_t valueBegin = 0;  // offset of the value line
    std::size_t end = 0;         // offset just past the value line's line ending
    // The value as a real, where the reader has read it so already (the
    // document's reading does, for a real's group code); else not read.
    std::optional<double> real;
    std::string_view Trimmed() const { return Trim(value); }
};

// Offset of the first '\n' at or after `pos`, or text.size(). Most lines of
// a drawing are a few characters, shorter than what a call to memchr costs
// to set up, so the first 32 bytes are searched eight at a time in line.
inline std::size_t NewlineFrom(std::string_view text, std::size_t pos) {
    const char* p = text.data() + pos;
    const char* const end = text.data() + text.size();
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        constexpr std::uint64_t kHigh = 0x8080808080808080u;
        for (int k = 0; k < 4 && end - p >= 8; ++k, p += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, sizeof word);
            word ^= kOnes * '\n';
            // The lowest byte flagged is the first zero byte; flags above it
            // may be false.
            const std::uint64_t zero = (word - kOnes) & ~word & kHigh;
            if (zero != 0) {
                return static_cast<std::size_t>(p - text.data()) +
                       static_cast<std::size_t>(std::countr_zero(zero) / 8);
            }
        }
    }
    const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    return nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) : text.size();
}

// One line of `text` from `pos`: the content without "\n" or "\r\n", and the
// offset of the next line.
inline std::string_view LineAt(std::string_view text, std::size_t pos, std::size_t& next) {
    const std::size_t nl = NewlineFrom(text, pos);
    std::size_t length = nl - pos;
    next = nl < text.size() ? nl + 1 : text.size();
    if (nl < text.size() && length > 0 && text[nl - 1] == '\r') {
        --length;
    }
    return {text.data() + pos, length};
}

// The code line at `pos` as nearly every writer puts it: spaces, one to
// four digits, "\n" or "\r\n". Any other line is left to ParseGroupCode,
// which reads the same codes from these.
inline bool PlainCodeLine(std::string_view text, std::size_t pos, int& code,
                          std::size_t& valuePos) {
    const char* p = text.data() + pos;
    const char* const end = text.data() + text.size();
    while (p != end && *p == ' ') {
        ++p;
    }
    const char* const digits = p;
    int value = 0;
    while (p != end && p - digits < 4 && static_cast<unsigned>(*p - '0') < 10) {
        value = value * 10 + (*p++ - '0');
    }
    if (p == digits || p == end) {
        return false;
    }
    std::size_t ending = 1;
    if (*p == '\r' && end - p >= 2 && p[1] == '\n') {
        ending = 2;
    } else if (*p != '\n') {
        return false;
    }
    code = value;
    valuePos = static_cast<std::size_t>(p - text.data()) + ending;
    return true;
}

class TagReader {
public:
    explicit TagReader(std::string_view text, std::size_t pos = 0) : text_(text), pos_(pos) {}

    // False at the end of the text or at a line that is no valid group code.
    bool Next(Tag& tag) {
        if (pos_ >= text_.size()) {
            return false;
        }
        std::size_t valuePos = 0;
        int code = 0;
        if (!PlainCodeLine(text_, pos_, code, valuePos)) {
            const auto parsed = ParseGroupCode(LineAt(text_, pos_, valuePos));
            if (!parsed) {
                return false;
            }
            code = *parsed;
        }
        if (code < 0 || code > kMaxGroupCode || valuePos >= text_.size()) {
            return false;
        }
        std::size_t next = 0;
        tag.code = code;
        tag.begin = pos_;
        tag.valueBegin = valuePos;
        tag.value = LineAt(text_, valuePos, next);
        tag.end = next;
        tag.real.reset();
        pos_ = next;
        return true;
    }
    std::size_t Position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_;
};

// Tags read already, handed out as a TagReader would read them.
class TagsRead {
public:
    explicit TagsRead(std::span<const Tag> tags) : tags_(tags) {}
    bool Next(Tag& tag) {
        if (next_ == tags_.size()) {
            return false;
        }
        tag = tags_[next_++];
        return true;
    }

private:
    std::span<const Tag> tags_;
    std::size_t next_ = 0;
};

}  // namespace dxf
