// One line of a valid drawing deleted, doubled or made the last, and how the
// reader must take the result: refused, at a line close to the change.
#pragma once

#include "tools/dxf/DxfDocument.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace dxftest {

// The lines of a file, each with its line ending.
inline std::vector<std::string_view> Lines(std::string_view file) {
    std::vector<std::string_view> lines;
    while (!file.empty()) {
        const std::size_t nl = file.find('\n');
        const std::size_t length = nl == std::string_view::npos ? file.size() : nl + 1;
        lines.push_back(file.substr(0, length));
        file.remove_prefix(length);
    }
    return lines;
}

enum class Change { Delete, Double, Cut };

// The lines with line `n` (1-based) deleted, doubled, or kept as the last.
inline std::string Changed(const std::vector<std::string_view>& lines, std::size_t n,
                           Change change) {
    std::string out;
    out.reserve(lines.empty() ? 0
                              : lines.back().data() + lines.back().size() - lines[0].data() +
                                    lines[n - 1].size());
    for (std::size_t k = 1; k <= lines.size(); ++k) {
        if (change == Change::Cut && k > n) {
            break;
        }
        if (change != Change::Delete || k != n) {
            out += lines[k - 1];
        }
        if (change == Change::Double && k == n) {
            out += lines[k - 1];
        }
    }
    return out;
}

inline std::string Changed(std::string_view file, std::size_t n, Change change) {
    return Changed(Lines(file), n, change);
}

// A line without its line ending and blanks.
inline std::string_view Text(std::string_view line) {
    if (line.ends_with('\n')) {
        line.remove_suffix(1);
    }
    return dxf::Trim(line);
}

// The line of the "EOF" value: changes after it may leave the file readable.
inline std::size_t EofLine(const std::vector<std::string_view>& lines) {
    for (std::size_t k = 1; k < lines.size(); k += 2) {
        if (Text(lines[k - 1]) == "0" && Text(lines[k]) == "EOF") {
            return k + 1;
        }
    }
    return lines.size();
}

// The last line a refusal may name after line `n` was deleted or doubled.
// From there on every value stands where a group code should. The reading
// stops at the first that cannot be one (not an integer from 1 to 1071), or
// one line after a 0 there, whose "value" is a group code and no object
// type. Nothing else stops it: values that are all small integers carry it
// on, so the bound follows the file's values, not a fixed number of lines.
inline std::size_t LatestRefusal(const std::vector<std::string_view>& lines, std::size_t n,
                                 Change change) {
    auto canBeCode = [](std::string_view line) {
        const std::optional<int> code = dxf::ParseGroupCode(Text(line));
        return code && *code >= 1 && *code <= dxf::kMaxGroupCode;
    };
    // Original line k after the change stands at line k - 1 or k + 1 of the
    // changed file; a doubled value line's copy (k == n) at n + 1.
    const bool deleted = change == Change::Delete;
    auto moved = [deleted](std::size_t k) { return deleted ? k - 1 : k + 1; };
    for (std::size_t k = deleted ? n + 1 : n; k <= lines.size(); ++k) {
        if (k % 2 == 0 && !canBeCode(lines[k - 1])) {
            return moved(k) + 1;
        }
    }
    return moved(lines.size());
}

struct ChangeOutcome {
    std::string fault;                    // empty when the reader did right
    std::optional<std::size_t> distance;  // lines from the change to a later refusal
};

// Reads a valid drawing (`lines`, paired from line 1) with line `n`
// changed. A cut file must be refused at its end and say so; a deleted or
// doubled line at most a line before the change (a pair that lost its
// value) and no later than LatestRefusal. Changes after EOF may read.
// `bare` drops the cut file's last line ending.
inline ChangeOutcome ReadChanged(const std::vector<std::string_view>& lines, std::size_t n,
                                 Change change, bool bare = false) {
    std::string file = Changed(lines, n, change);
    if (bare && change == Change::Cut && !Text(lines[n - 1]).empty()) {
        file.erase(file.find_last_not_of("\r\n") + 1);
    }
    const char* kinds[] = {"deleted", "doubled", "kept as the last"};
    const std::string what = "line " + std::to_string(n) + " " + kinds[static_cast<int>(change)];
    ChangeOutcome outcome;
    try {
        dxf::Document::Parse(file);
        if (n < EofLine(lines)) {
            outcome.fault = what + ": accepted";
        }
    } catch (const dxf::ParseError& e) {
        const bool cut = change == Change::Cut;
        const std::size_t lowest = cut ? n : n - 1;
        const std::size_t highest = cut ? n : LatestRefusal(lines, n, change);
        const bool ends = std::string(e.what()).find("the file ends") != std::string::npos;
        if (e.line() < lowest || e.line() > highest || (cut && !ends)) {
            outcome.fault = what + ": " + e.what() + " (expected lines " + std::to_string(lowest) +
                            " to " + std::to_string(highest) + ")";
        }
        outcome.distance = e.line() > n ? e.line() - n : 0;
    }
    return outcome;
}

// Seed of a property test: TARNEX_SEED when set (to repeat a failure), else
// a fresh one; the tests print it on failure.
inline std::uint64_t ChangeSeed() {
    if (const char* s = std::getenv("TARNEX_SEED")) {
        return std::stoull(s);
    }
    return (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
}

}  // namespace dxftest
