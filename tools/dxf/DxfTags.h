// Group code / value pairs read one at a time from a drawing's text. The
// document checks a whole file once when it is read; this reader then walks
// pieces of it again (an entity, a table) without further checks.
#pragma once

#include "tools/dxf/DxfNumbers.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace dxf {

struct Tag {
    int code = -1;
    std::string_view value;      // the value line without its line ending
    std::size_t begin = 0;       // offset of the group code line
    std::size_t valueBegin = 0;  // offset of the value line
    std::size_t end = 0;         // offset just past the value line's line ending
    std::string_view Trimmed() const { return Trim(value); }
};

// One line of `text` from `pos`: the content without "\n" or "\r\n", and the
// offset of the next line.
inline std::string_view LineAt(std::string_view text, std::size_t pos, std::size_t& next) {
    const char* begin = text.data() + pos;
    const void* nl = std::memchr(begin, '\n', text.size() - pos);
    std::size_t length =
        nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - begin) : text.size() - pos;
    next = nl ? pos + length + 1 : text.size();
    if (nl && length > 0 && begin[length - 1] == '\r') {
        --length;
    }
    return {begin, length};
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
        std::size_t next = 0;
        auto code = ParseGroupCode(LineAt(text_, pos_, valuePos));
        if (!code || *code < 0 || *code > kMaxGroupCode || valuePos >= text_.size()) {
            return false;
        }
        tag.code = *code;
        tag.begin = pos_;
        tag.valueBegin = valuePos;
        tag.value = LineAt(text_, valuePos, next);
        tag.end = next;
        pos_ = next;
        return true;
    }
    std::size_t Position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_;
};

}  // namespace dxf
