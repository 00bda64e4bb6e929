#include "tools/vekhost/HostMessages.h"

#include "tools/vekhost/TextConvert.h"
#include "engine/Messages.h"

#include <string_view>

namespace vekhost_tool {

namespace {

struct Explanation {
    const VekChar* text;  // as the command shows it; "%d" stands for a number
    const char* english;  // "%d" for the same number
};

// Every text the conversion shows, with what it means.
const Explanation kExplanations[] = {
    {msg::CopyListFull, "more than %d figures picked for one run of the command"},
    {msg::FigureTooLarge, "a figure of %d elements or more, more than the command takes"},
    {msg::ExplodedFigureTooLarge,
     "a figure of %d elements or more, more than the command takes to explode"},
    {msg::FiguresModified, "%d figures were changed"},
    {msg::CopyRefused, "the host would not copy the picked figure"},
    {msg::ElementUnreadable, "an element of the figure could not be read"},
    {msg::ArcNotCorrectable,
     // The same text stops an arc and a rounded corner.
     "no radius near the rounded one fits: an arc through its rounded ends, or a rounded "
     "corner between its neighbours"},
    {msg::CreateRefused, "the host would not create a converted element"},
    {msg::ExplodedCreateRefused, "the host would not create a converted element"},
    {msg::InsertRefused, "the host would not add an element to the converted figure"},
    {msg::LayerRefused, "the converted figure could not be put on the picked figure's layer"},
    {msg::ChamferRefused, "the host would not make the chamfer at any size tried"},
    {msg::CornerNeighbourGone,
     "a neighbour of a corner shrank to nothing on the grid, so the corner cannot be made"},
    {msg::PickedNotDeleted, "the host would not delete the picked figure"},
    {msg::CopyNotDeleted, "a working copy of a figure could not be deleted"},
};

bool AllDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// The English for `message` when it is `e.text`, its number filled in.
std::string Match(const std::string& message, const Explanation& e) {
    const std::string pattern =
        Utf16ToUtf8(std::u16string(e.text, e.text + std::char_traits<VekChar>::length(e.text)));
    std::string english = e.english;
    const std::size_t at = pattern.find("%d");
    if (at == std::string::npos) {
        return message == pattern ? english : "";
    }
    const std::string_view head(pattern.data(), at);
    const std::string_view tail(pattern.data() + at + 2, pattern.size() - at - 2);
    const std::string_view text(message);
    if (text.size() <= head.size() + tail.size() || !text.starts_with(head) ||
        !text.ends_with(tail)) {
        return "";
    }
    const std::string_view number =
        text.substr(head.size(), text.size() - head.size() - tail.size());
    if (!AllDigits(number)) {
        return "";
    }
    if (number == "1" && e.text == msg::FiguresModified) {
        return "1 figure was changed";
    }
    return english.replace(english.find("%d"), 2, std::string(number));
}

}  // namespace

std::string Explained(const std::string& message) {
    for (const Explanation& e : kExplanations) {
        const std::string english = Match(message, e);
        if (!english.empty()) {
            return message + " [" + english + "]";
        }
    }
    return message;
}

}  // namespace vekhost_tool
