#include "tools/dxf/DxfDocument.h"

#include "tools/dxf/DxfTags.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace dxf {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        char x = a[k], y = b[k];
        if (x >= 'a' && x <= 'z') {
            x = static_cast<char>(x - 'a' + 'A');
        }
        if (y >= 'a' && y <= 'z') {
            y = static_cast<char>(y - 'a' + 'A');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// A piece of the file for a message: quoted, shortened, control bytes shown as '?'.
std::string Quote(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string out = "'";
    for (char c : text.substr(0, kShown)) {
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    }
    if (text.size() > kShown) {
        out += "...";
    }
    return out + "'";
}

// Object types and structure words (LINE, ENDSEC, 3DFACE, ACAD_PROXY_ENTITY,
// IMAGEDEF_REACTOR) are ASCII letters, digits and underscores, with a letter
// among them. After a deleted or doubled line the pairing slips by one and a
// group code line stands where such a name should: it is refused there, close
// to the fault, instead of wherever the slipped reading first fails.
bool IsName(std::string_view word) {
    bool letter = false;
    for (char c : word) {
        const bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!alpha && c != '_' && (c < '0' || c > '9')) {
            return false;
        }
        letter = letter || alpha;
    }
    return letter;
}

// A line that could stand as a group code: a hint that the pairing slipped.
bool ReadsAsGroupCode(std::string_view line) {
    const std::optional<int> code = ParseGroupCode(line);
    return code && *code >= 0 && *code <= kMaxGroupCode;
}

std::string LineText(std::size_t line) {
    return "line " + std::to_string(line);
}

// `replacement` right-aligned to the width of `original` when the original
// was padded with leading spaces, as fixed-width writers do.
std::string Padded(std::string_view original, std::string_view replacement) {
    std::size_t pad = 0;
    if (!original.empty() && original.front() == ' ' && original.size() > replacement.size()) {
        pad = original.size() - replacement.size();
    }
    return std::string(pad, ' ') + std::string(replacement);
}

std::string CodeLine(const Format& format, int code) {
    std::string text = std::to_string(code);
    if (format.padCodes && text.size() < 3) {
        text.insert(0, 3 - text.size(), ' ');
    }
    return text + format.eol;
}

enum class Kind { Header, Classes, Tables, Blocks, Entities, Objects, Other };

Kind KindOfSection(std::string_view name) {
    if (name == "HEADER") {
        return Kind::Header;
    }
    if (name == "CLASSES") {
        return Kind::Classes;
    }
    if (name == "TABLES") {
        return Kind::Tables;
    }
    if (name == "BLOCKS") {
        return Kind::Blocks;
    }
    if (name == "ENTITIES") {
        return Kind::Entities;
    }
    if (name == "OBJECTS") {
        return Kind::Objects;
    }
    return Kind::Other;
}

}  // namespace

ParseError::ParseError(std::size_t line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}

// Reads a file once from start to end: checks every line, finds sections,
// entities, tables and handles. Throws ParseError at the first fault.
class Scanner {
public:
    Scanner(Document& doc, const EntityObserver& observer)
        : doc_(doc), text_(doc.bytes_), observer_(observer) {}

    void Run() {
        if (text_.starts_with("AutoCAD Binary DXF")) {
            throw ParseError(1, "binary DXF cannot be read; save the drawing as ASCII DXF");
        }
        if (text_.starts_with("\xEF\xBB\xBF")) {
            pos_ = 3;
        }
        bom_ = pos_ == 3;
        DetectFormat();
        bool eof = false;
        while (NextTag()) {
            if (tag_.code == 999) {
                continue;
            }
            const std::string where =
                doc_.sections_.empty()
                    ? " before the first section"
                    : " outside any section (after the end of " + doc_.sections_.back().name + ")";
            if (tag_.code != 0) {
                throw ParseError(tagLine_, "group code " + std::to_string(tag_.code) + where);
            }
            const std::string_view word = tag_.Trimmed();
            if (word == "EOF") {
                eof = true;
                break;
            }
            if (word != "SECTION") {
                throw ParseError(tagLine_, Quote(word) + where);
            }
            ScanSection();
        }
        if (!eof) {
            if (line_ == 1) {
                throw ParseError(1, "the file is empty: no EOF");
            }
            throw ParseError(LastLine(), "the file ends " + Where() + ": no EOF");
        }
        CheckHandles();
        Finish();
    }

private:
    struct Object {
        bool active = false;
        bool head = false;  // in ENTITIES: the first entity of a unit
        int handleCode = 5;
        bool handleSeen = false;
        bool nameSeen = false;
        bool countSeen = false;
        bool common = true;  // in the entity's common part (before its own subclass)
        bool xdata = false;
        int groupDepth = 0;
        std::string_view type;
    };

    void DetectFormat() {
        std::size_t next = 0;
        LineAt(text_, pos_, next);
        if (next > 1 && next <= text_.size() && text_[next - 1] == '\n' &&
            text_[next - 2] == '\r') {
            doc_.format_.eol = "\r\n";
        }
    }

    // The next pair of lines, checked: false at the end of the file.
    bool NextTag() {
        if (pos_ >= text_.size()) {
            return false;
        }
        if (line_ >= std::numeric_limits<std::uint32_t>::max()) {
            throw ParseError(line_, "the file has too many lines");
        }
        std::size_t valuePos = 0;
        int plain = 0;
        const bool isPlain = PlainCodeLine(text_, pos_, plain, valuePos);
        const std::string_view codeLine =
            isPlain ? std::string_view{} : LineAt(text_, pos_, valuePos);
        const std::optional<int> code =
            isPlain ? std::optional<int>(plain) : ParseGroupCode(codeLine);
        if (!code) {
            // Where a pairing slipped, the line before was a group code too.
            const bool slipped = line_ > 1 && ReadsAsGroupCode(tag_.value);
            throw ParseError(line_,
                             "group code " + Quote(Trim(codeLine)) + " is not an integer" +
                                 (slipped ? " (is a line missing or extra before it?)" : ""));
        }
        if (*code < 0 || *code > kMaxGroupCode) {
            throw ParseError(line_, "group code " + std::to_string(*code) + " is out of range");
        }
        if (valuePos >= text_.size()) {
            throw ParseError(line_, "group code " + std::to_string(*code) +
                                        " has no value line (odd number of lines); the file ends " +
                                        Where());
        }
        if (!padKnown_ && *code < 100) {
            // Padded writers right-align every code: a short one shows it.
            padKnown_ = true;
            doc_.format_.padCodes = text_[pos_] == ' ';
        }
        std::size_t next = 0;
        tag_.code = *code;
        tag_.begin = pos_;
        tag_.valueBegin = valuePos;
        tag_.value = LineAt(text_, valuePos, next);
        tag_.end = next;
        tag_.real.reset();
        tagLine_ = line_;
        line_ += 2;
        pos_ = next;
        CheckValue();
        return true;
    }

    // Refuses a value that its group code's kind cannot hold.
    void CheckValue() {
        switch (KindOf(tag_.code)) {
            case ValueKind::Real:
                tag_.real = ParseReal(tag_.value);
                if (!tag_.real) {
                    Refuse("is not a number");
                }
                break;
            case ValueKind::Integer:
                if (!ParseInteger(tag_.value)) {
                    Refuse("is not an integer");
                }
                break;
            case ValueKind::Text:
                if (tag_.code == 0 && !IsName(tag_.Trimmed())) {
                    Refuse(ReadsAsGroupCode(tag_.value)
                               ? "is not an object type or structure name but reads as a group "
                                 "code: a line is probably missing or extra before it"
                               : "is not an object type or structure name");
                }
                break;
        }
    }

    std::size_t LastLine() const { return std::max<std::size_t>(line_ - 1, 1); }

    // Where the reading stands, for a message about the end of the file.
    std::string Where() const {
        if (sectionLine_ == 0) {
            return doc_.sections_.empty()
                       ? "before any section"
                       : "after the ENDSEC of section " + doc_.sections_.back().name + " (" +
                             LineText(endsecLine_) + ")";
        }
        if (sectionName_.empty()) {
            return "in the SECTION at " + LineText(sectionLine_) + ", before its name";
        }
        std::string where = "inside section " + std::string(sectionName_) + " (begun at " +
                            LineText(sectionLine_) + ")";
        if (tableLine_ != 0) {
            const std::string& table = doc_.tables_.back().name;
            where += ", in " + (table.empty() ? "a table" : "table " + table) + " begun at " +
                     LineText(tableLine_);
        } else if (blockLine_ != 0) {
            where += ", in the block definition begun at " + LineText(blockLine_);
        } else if (objectLine_ != 0) {
            const bool closing = objectType_.starts_with("END") || objectType_ == "SEQEND";
            where += (closing ? ", after the " : ", in the ") + std::string(objectType_) +
                     (closing ? " at " : " begun at ") + LineText(objectLine_);
        }
        return where;
    }

    [[noreturn]] void EndsInside() const {
        const char* missing = tableLine_ != 0   ? "ENDTAB, ENDSEC or EOF"
                              : blockLine_ != 0 ? "ENDBLK, ENDSEC or EOF"
                                                : "ENDSEC or EOF";
        throw ParseError(LastLine(), "the file ends " + Where() + ": no " + missing);
    }

    [[noreturn]] void Refuse(const std::string& what) const {
        throw ParseError(tagLine_ + 1, "value " + Quote(tag_.value) + " of group code " +
                                           std::to_string(tag_.code) + " " + what);
    }

    // The SECTION just read and its name, checked.
    Section OpenSection() {
        Section section;
        section.begin = tag_.begin;
        section.line = tagLine_;
        sectionLine_ = tagLine_;
        sectionName_ = {};
        tableLine_ = blockLine_ = objectLine_ = 0;
        if (!NextTag()) {
            EndsInside();
        }
        if (tag_.code != 2) {
            throw ParseError(tagLine_, "SECTION at " + LineText(section.line) +
                                           " without a name: group code " +
                                           std::to_string(tag_.code) + " where 2 should be");
        }
        sectionName_ = tag_.Trimmed();
        section.name = std::string(sectionName_);
        kind_ = KindOfSection(section.name);
        object_ = Object{};
        if (kind_ != Kind::Other && doc_.FindSection(section.name)) {
            throw ParseError(section.line, "second " + section.name + " section");
        }
        var_ = {};
        return section;
    }

    void ScanSection() {
        Section section = OpenSection();
        while (true) {
            if (!NextTag()) {
                EndsInside();
            }
            if (tag_.code == 0) {
                const std::string_view word = tag_.Trimmed();
                if (word == "ENDSEC") {
                    break;
                }
                // The ENDSEC belongs before this SECTION or EOF.
                if (word == "SECTION" || word == "EOF") {
                    throw ParseError(tagLine_, "section " + section.name +
                                                   " has no ENDSEC before this " +
                                                   std::string(word) + " (the section begins at " +
                                                   LineText(section.line) + ")");
                }
                objectType_ = word;
                objectLine_ = tagLine_;
                BeginObject(word);
            } else if (kind_ == Kind::Header) {
                HeaderTag();
            } else if (object_.active) {
                ObjectTag();
            }
            if (observer_ && kind_ == Kind::Entities && !doc_.units_.empty()) {
                unitTags_.push_back(tag_);
            }
        }
        EndObject(tag_.begin);
        SeeUnit();
        if (kind_ == Kind::Entities) {
            doc_.entitiesEnd_ = tag_.begin;
        }
        if (kind_ == Kind::Header) {
            doc_.headerEnd_ = tag_.begin;
        }
        section.end = tag_.end;
        doc_.sections_.push_back(std::move(section));
        sectionLine_ = 0;
        endsecLine_ = tagLine_;
    }

    void HeaderTag() {
        if (tag_.code == 9) {
            var_ = tag_.Trimmed();
            return;
        }
        if (var_.empty()) {
            return;
        }
        if (var_ == "$ACADVER" && version_.empty()) {
            version_ = tag_.Trimmed();
        } else if (var_ == "$DWGCODEPAGE" && !dwgCodePage_) {
            dwgCodePage_ = tag_.Trimmed();
        } else if (var_ == "$HANDSEED" && doc_.handseed_.end == 0) {
            if (tag_.code != 5) {
                throw ParseError(tagLine_, "$HANDSEED has group code " + std::to_string(tag_.code) +
                                               " instead of 5");
            }
            handseed_ = ParseHandle(tag_.value);
            if (!handseed_) {
                Refuse("is not a handle");
            }
            doc_.handseed_ = {tag_.valueBegin, tag_.valueBegin + tag_.value.size()};
        } else if (var_ == "$HANDLING" && !handlingSeen_) {
            handlingSeen_ = true;
            handling_ = ParseInteger(tag_.value).value_or(0);
        }
        var_ = {};  // only a variable's first value matters here
    }

    void BeginObject(std::string_view type) {
        if (kind_ == Kind::Header || kind_ == Kind::Classes || kind_ == Kind::Other) {
            return;
        }
        if (kind_ == Kind::Entities) {
            const bool continues =
                !unitSealed_ && !doc_.units_.empty() &&
                ((unitType_ == "POLYLINE" && (type == "VERTEX" || type == "SEQEND")) ||
                 (unitType_ == "INSERT" && (type == "ATTRIB" || type == "SEQEND")));
            if (continues) {
                if (type == "SEQEND") {
                    unitSealed_ = true;
                    doc_.units_.back().flags |= Document::kSeqend;
                }
            } else {
                EndObject(tag_.begin);
                SeeUnit();
                Document::Unit unit;
                unit.begin = tag_.begin;
                unit.line = static_cast<std::uint32_t>(tagLine_);
                unit.type = Intern(type);
                doc_.units_.push_back(unit);
                unitType_ = type;
                unitSealed_ = false;
            }
            object_ = Object{};
            object_.head = !continues;
        } else {
            object_ = Object{};
            if (kind_ == Kind::Tables) {
                if (type == "TABLE") {
                    doc_.tables_.emplace_back();
                    doc_.tables_.back().begin = tag_.begin;
                    tableLine_ = tagLine_;
                } else if (type == "ENDTAB" && !doc_.tables_.empty() &&
                           doc_.tables_.back().endtab == 0) {
                    doc_.tables_.back().endtab = tag_.begin;
                    tableLine_ = 0;
                }
            } else if (kind_ == Kind::Blocks) {
                if (type == "BLOCK") {
                    blockLine_ = tagLine_;
                }
                if (type == "ENDBLK") {
                    blockLine_ = 0;
                }
            }
        }
        object_.active = true;
        object_.type = type;
        object_.handleCode = type == "DIMSTYLE" ? 105 : 5;
    }

    // Closes the entity unit that runs up to `end`.
    void EndObject(std::size_t end) {
        if (kind_ != Kind::Entities || doc_.units_.empty()) {
            return;
        }
        Document::Unit& unit = doc_.units_.back();
        if (unit.size != 0) {
            return;
        }
        const std::size_t size = end - unit.Begin();
        if (size > std::numeric_limits<std::uint32_t>::max()) {
            throw ParseError(unit.line, "an entity of more than 4 GiB");
        }
        unit.size = static_cast<std::uint32_t>(size);
    }

    // Hands the entity just closed to the observer.
    void SeeUnit() {
        if (!observer_ || kind_ != Kind::Entities || unitTags_.empty()) {
            return;
        }
        observer_(doc_, doc_.units_.size() - 1, unitTags_);
        unitTags_.clear();
    }

    void ObjectTag() {
        Object& o = object_;
        if (o.xdata) {
            return;
        }
        const int code = tag_.code;
        if (code == 1001) {
            o.xdata = true;
            return;
        }
        if (code == 102) {
            const std::string_view v = tag_.Trimmed();
            if (v.starts_with('{')) {
                ++o.groupDepth;
            }
            if (v.starts_with('}') && o.groupDepth > 0) {
                --o.groupDepth;
            }
            return;
        }
        if (o.groupDepth > 0) {
            return;
        }
        if (code == o.handleCode && !o.handleSeen) {
            TakeHandle();
            return;
        }
        switch (kind_) {
            case Kind::Entities:
                EntityTag();
                return;
            case Kind::Tables:
                TableTag();
                return;
            case Kind::Blocks:
                BlockTag();
                return;
            default:
                return;
        }
    }

    // The object's own handle: the first of its handle code.
    void TakeHandle() {
        Object& o = object_;
        o.handleSeen = true;
        const std::optional<Handle> handle = ParseHandle(tag_.value);
        if (!handle) {
            Refuse("is not a handle");
        }
        handles_.push_back({*handle, static_cast<std::uint32_t>(tagLine_ + 1)});
        if (o.head) {
            doc_.units_.back().handle = *handle;
            doc_.units_.back().flags |= Document::kHasHandle;
        }
        if (kind_ == Kind::Tables && o.type == "TABLE") {
            doc_.tables_.back().handle = *handle;
        }
    }

    // Whether the entity is in paper space, from its AcDbEntity part.
    void EntityTag() {
        Object& o = object_;
        if (!o.head) {
            return;
        }
        if (tag_.code == 100) {
            o.common = tag_.Trimmed() == "AcDbEntity";
        }
        if (tag_.code == 67 && o.common && ParseInteger(tag_.value).value_or(0) != 0) {
            doc_.units_.back().flags |= Document::kPaperSpace;
        }
    }

    // A TABLE's name and the place of its count of entries.
    void TableTag() {
        Object& o = object_;
        if (o.type != "TABLE") {
            return;
        }
        if (tag_.code == 2 && !o.nameSeen) {
            o.nameSeen = true;
            doc_.tables_.back().name = std::string(tag_.Trimmed());
        } else if (tag_.code == 70 && !o.countSeen) {
            o.countSeen = true;
            Document::Table& table = doc_.tables_.back();
            table.countBegin = tag_.valueBegin;
            table.countEnd = tag_.valueBegin + tag_.value.size();
            table.count = ParseInteger(tag_.value).value_or(0);
        }
    }

    // A BLOCK that defines a block of the user's, not a layout's.
    void BlockTag() {
        Object& o = object_;
        if (o.type != "BLOCK" || tag_.code != 2 || o.nameSeen) {
            return;
        }
        o.nameSeen = true;
        const std::string_view name = tag_.Trimmed();
        // R12 names the layouts' blocks $MODEL_SPACE and $PAPER_SPACE.
        if (!StartsNoCase(name, "*Model_Space") && !StartsNoCase(name, "*Paper_Space") &&
            !EqualsNoCase(name, "$MODEL_SPACE") && !EqualsNoCase(name, "$PAPER_SPACE")) {
            ++doc_.blockDefinitions_;
        }
    }

    std::uint16_t Intern(std::string_view type) {
        if (!doc_.units_.empty() && doc_.types_[doc_.units_.back().type] == type) {
            return doc_.units_.back().type;
        }
        auto found = typeIds_.find(std::string(type));
        if (found != typeIds_.end()) {
            return found->second;
        }
        if (doc_.types_.size() > std::numeric_limits<std::uint16_t>::max()) {
            throw ParseError(tagLine_, "more than 65535 entity types");
        }
        const auto id = static_cast<std::uint16_t>(doc_.types_.size());
        doc_.types_.emplace_back(type);
        typeIds_.emplace(std::string(type), id);
        return id;
    }

    void CheckHandles() {
        auto byHandle = [](const HandleAt& a, const HandleAt& b) { return a.handle < b.handle; };
        if (!std::is_sorted(handles_.begin(), handles_.end(), byHandle)) {
            std::sort(handles_.begin(), handles_.end(), byHandle);
        }
        auto same = [](const HandleAt& a, const HandleAt& b) { return a.handle == b.handle; };
        auto twice = std::adjacent_find(handles_.begin(), handles_.end(), same);
        if (twice != handles_.end()) {
            std::uint32_t first = twice->line, second = std::next(twice)->line;
            for (auto it = twice; it != handles_.end() && it->handle == twice->handle; ++it) {
                first = std::min(first, it->line);
                second = std::max(second, it->line);
            }
            throw ParseError(second, "handle " + FormatHandle(twice->handle) +
                                         " given twice (lines " + std::to_string(first) + " and " +
                                         std::to_string(second) + ")");
        }
    }

    void Finish() {
        Format& format = doc_.format_;
        if (version_.size() > 2 && StartsNoCase(version_, "AC")) {
            int number = 0;
            for (char c : version_.substr(2)) {
                if (c >= '0' && c <= '9' && number < 100000) {
                    number = number * 10 + (c - '0');
                }
            }
            if (number > 0) {
                format.version = number;
            }
        }
        doc_.usesHandles_ = !handles_.empty() || format.version >= 1012 || handling_ != 0;
        doc_.headerPage_ = CodePageNamed(dwgCodePage_.value_or(""));
        doc_.page_ = format.version >= 1021 || bom_ ? CodePage::Utf8 : doc_.headerPage_;
        Handle first = handseed_.value_or(1);
        if (!handles_.empty()) {
            const Handle top = handles_.back().handle;  // sorted by now
            if (top == std::numeric_limits<Handle>::max()) {
                doc_.handlesExhausted_ = true;
            } else {
                first = std::max(first, top + 1);
            }
        }
        doc_.firstNewHandle_ = doc_.nextHandle_ = std::max<Handle>(first, 1);
    }

    struct HandleAt {
        Handle handle;
        std::uint32_t line;
    };

    Document& doc_;
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;  // the next line to read
    Tag tag_;
    std::size_t tagLine_ = 0;
    Kind kind_ = Kind::Other;
    // For messages: the open section, table, block and object (0: none).
    std::size_t sectionLine_ = 0;
    std::string_view sectionName_;
    std::size_t endsecLine_ = 0;  // of the last section closed
    std::size_t tableLine_ = 0;
    std::size_t blockLine_ = 0;
    std::size_t objectLine_ = 0;
    std::string_view objectType_;
    Object object_;
    std::string_view unitType_;
    bool unitSealed_ = false;
    bool padKnown_ = false;
    std::string_view var_;
    std::string_view version_;
    std::optional<std::string_view> dwgCodePage_;
    bool bom_ = false;
    std::optional<Handle> handseed_;
    std::int64_t handling_ = 0;
    bool handlingSeen_ = false;
    std::vector<HandleAt> handles_;
    std::unordered_map<std::string, std::uint16_t> typeIds_;
    const EntityObserver& observer_;
    std::vector<Tag> unitTags_;  // of the entity being read, for the observer
};

Document Document::Parse(std::string bytes, const EntityObserver& observer) {
    Document doc;
    doc.bytes_ = std::move(bytes);
    Scanner(doc, observer).Run();
    return doc;
}

const Section* Document::FindSection(std::string_view name) const {
    for (const Section& s : sections_) {
        if (s.name == name) {
            return &s;
        }
    }
    return nullptr;
}

std::string_view Document::EntityText(std::size_t i) const {
    const Unit& u = units_.at(i);
    return std::string_view(bytes_).substr(u.Begin(), u.size);
}

std::optional<Handle> Document::EntityHandle(std::size_t i) const {
    const Unit& u = units_.at(i);
    if (!(u.flags & kHasHandle)) {
        return std::nullopt;
    }
    return u.handle;
}

namespace {

// An entity's own fields from its tags, in order: the first of each,
// outside application (102) groups, up to its XDATA.
class InfoTags {
public:
    explicit InfoTags(EntityInfo& info) : info_(info) {}

    // False once nothing of the entity's own can follow.
    bool Take(const Tag& tag) {
        if (tag.code == 1001) {
            info_.hasXData = true;
            return false;
        }
        if (tag.code == 102) {
            Group(tag.Trimmed());
        } else if (depth_ == 0) {
            Field(tag);
        }
        return true;
    }

private:
    void Group(std::string_view v) {
        if (v.starts_with('{')) {
            ++depth_;
            info_.hasExtensionDictionary |= v == "{ACAD_XDICTIONARY";
        } else if (v.starts_with('}') && depth_ > 0) {
            --depth_;
        }
    }

    bool First(int k) { return !std::exchange(seen_[k], true); }

    void Field(const Tag& tag) {
        switch (tag.code) {
            case 5:
                if (!info_.handle) {
                    info_.handle = ParseHandle(tag.value);
                }
                break;
            case 330:
                if (First(7)) {
                    info_.owner = ParseHandle(tag.value);
                }
                break;
            case 100:
                common_ = tag.Trimmed() == "AcDbEntity";
                break;
            case 39:
                if (First(5)) {
                    info_.thickness = *ParseReal(tag.value);
                }
                break;
            case 38:
                if (First(6)) {
                    info_.elevation = *ParseReal(tag.value);
                }
                break;
            case 210:
            case 220:
            case 230:
                Extrusion(tag);
                break;
            default:
                if (common_) {
                    CommonField(tag);
                }
                break;
        }
    }

    // The fields of the AcDbEntity part (all of an R12 entity's).
    void CommonField(const Tag& tag) {
        switch (tag.code) {
            case 8:
                if (First(0)) {
                    info_.layer = tag.value;
                }
                break;
            case 6:
                if (First(1)) {
                    info_.lineType = tag.value;
                }
                break;
            case 62:
                if (First(2)) {
                    info_.colour = static_cast<int>(*ParseInteger(tag.value));
                }
                break;
            case 420:
                if (First(3)) {
                    info_.trueColour = static_cast<std::uint32_t>(*ParseInteger(tag.value));
                }
                break;
            case 67:
                if (First(4)) {
                    info_.paperSpace = *ParseInteger(tag.value) != 0;
                }
                break;
            default:
                break;
        }
    }

    void Extrusion(const Tag& tag) {
        const int axis = (tag.code - 210) / 10;
        if (!std::exchange(extrusionSeen_[axis], true)) {
            const double v = *ParseReal(tag.value);
            (axis == 0 ? info_.extrusion.x : axis == 1 ? info_.extrusion.y : info_.extrusion.z) = v;
        }
    }

    EntityInfo& info_;
    int depth_ = 0;
    bool common_ = true;
    bool seen_[8] = {};  // layer, line type, colour, true colour, paper space, 39, 38, owner
    bool extrusionSeen_[3] = {};
};

}  // namespace

EntityInfo Document::Info(std::size_t i) const {
    EntityInfo info;
    info.type = EntityType(i);
    TagReader reader(EntityText(i));
    Tag tag;
    reader.Next(tag);  // the entity's "0" line
    InfoTags fields(info);
    while (reader.Next(tag) && tag.code != 0 && fields.Take(tag)) {
    }
    return info;
}

std::string_view Document::EntityLayer(std::size_t i) const {
    TagReader reader(EntityText(i));
    Tag tag;
    reader.Next(tag);  // the entity's "0" line
    int depth = 0;
    bool common = true;
    while (reader.Next(tag) && tag.code != 0 && tag.code != 1001) {
        if (tag.code == 102) {
            const std::string_view v = tag.Trimmed();
            if (v.starts_with('{')) {
                ++depth;
            } else if (v.starts_with('}') && depth > 0) {
                --depth;
            }
        } else if (depth == 0 && tag.code == 100) {
            common = tag.Trimmed() == "AcDbEntity";
        } else if (depth == 0 && tag.code == 8 && common) {
            return tag.value;
        }
    }
    return "0";
}

std::optional<std::string_view> Document::HeaderValue(std::string_view name) const {
    const Section* header = FindSection("HEADER");
    if (!header) {
        return std::nullopt;
    }
    TagReader reader(std::string_view(bytes_).substr(0, headerEnd_), header->begin);
    Tag tag;
    while (reader.Next(tag)) {
        if (tag.code == 9 && tag.Trimmed() == name) {
            return reader.Next(tag) && tag.code != 0 && tag.code != 9
                       ? std::optional<std::string_view>(tag.value)
                       : std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<Handle> Document::NewHandle() {
    if (!usesHandles_) {
        return std::nullopt;
    }
    if (handlesExhausted_) {
        throw std::length_error("no handle is left to give");
    }
    const Handle handle = nextHandle_++;
    if (nextHandle_ == 0) {
        handlesExhausted_ = true;
    }
    return handle;
}

const Document::Table* Document::FindTable(std::string_view name) const {
    for (const Table& t : tables_) {
        if (t.endtab != 0 && EqualsNoCase(t.name, name)) {
            return &t;
        }
    }
    return nullptr;
}

std::optional<Handle> Document::TableHandle(std::string_view table) const {
    const Table* t = FindTable(table);
    return t ? t->handle : std::nullopt;
}

// Calls `visit(name, handle)` for each entry of a table until it returns true.
template <typename Visit>
static bool VisitEntries(std::string_view bytes, std::size_t begin, std::size_t end, Visit visit) {
    TagReader reader(bytes.substr(0, end), begin);
    Tag tag;
    reader.Next(tag);  // "0 TABLE"
    bool entry = false, isDimstyle = false, named = false;
    std::optional<Handle> handle;
    std::string_view name;
    auto flush = [&] { return entry && named && visit(name, handle); };
    while (reader.Next(tag)) {
        if (tag.code == 0) {
            if (flush()) {
                return true;
            }
            entry = true;
            isDimstyle = tag.Trimmed() == "DIMSTYLE";
            handle.reset();
            named = false;
        } else if (entry && tag.code == (isDimstyle ? 105 : 5) && !handle) {
            handle = ParseHandle(tag.value);
        } else if (entry && tag.code == 2 && !named) {
            name = tag.Trimmed();
            named = true;
        }
    }
    return flush();
}

bool Document::HasTableEntry(std::string_view table, std::string_view name) const {
    const Table* t = FindTable(table);
    if (!t) {
        return false;
    }
    return VisitEntries(bytes_, t->begin, t->endtab, [name](std::string_view entry, auto) {
        return EqualsNoCase(entry, Trim(name));
    });
}

std::vector<std::string_view> Document::TableEntryNames(std::string_view table) const {
    std::vector<std::string_view> names;
    if (const Table* t = FindTable(table)) {
        VisitEntries(bytes_, t->begin, t->endtab, [&names](std::string_view entry, auto) {
            names.push_back(entry);
            return false;
        });
    }
    return names;
}

std::string Document::DecodeText(std::string_view value) const {
    const bool stray = page_ == CodePage::Utf8 && !IsUtf8(value);
    return dxf::DecodeText(value, stray ? headerPage_ : page_);
}

std::string Document::NameKey(std::string_view name) const {
    name = Trim(name);
    const bool stray = page_ == CodePage::Utf8 && !IsUtf8(name);
    return DecodeNameKey(name, stray ? headerPage_ : page_);
}

bool Document::NameMatches(std::string_view typed, std::string_view name) const {
    typed = Trim(typed);
    const std::string key = DecodeNameKey(typed, CodePage::Utf8);
    const std::string nameKey = NameKey(name);
    // The shown text typed back as it stands: a backslash in it may be an
    // escape's character, not an escape ("\U+005CU+0041" shows "\U+0041").
    const std::string shown = FoldCase(Trim(DecodeText(Trim(name))));
    return key == nameKey || key == shown || FoldCase(typed) == shown ||
           (!IsUtf8(typed) && NameKey(typed) == nameKey);
}

std::optional<Handle> Document::ModelSpaceOwner() const {
    const Table* t = FindTable("BLOCK_RECORD");
    std::optional<Handle> owner;
    if (t) {
        VisitEntries(bytes_, t->begin, t->endtab,
                     [&owner](std::string_view entry, std::optional<Handle> handle) {
                         if (!EqualsNoCase(entry, "*Model_Space")) {
                             return false;
                         }
                         owner = handle;
                         return true;
                     });
    }
    return owner;
}

void Document::Edit(std::size_t begin, std::size_t end, std::string text, bool append) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    EditRecord record{begin, end, 0, 0, text.size(), append};
    if (text.size() >= kChunk / 4) {
        editText_.push_back(std::move(text));
        editText_.emplace_back();  // later texts go in a chunk of their own
    } else {
        if (editText_.empty() || editText_.back().size() + text.size() > kChunk) {
            editText_.emplace_back().reserve(kChunk);
        }
        record.offset = editText_.back().size();
        editText_.back() += text;
    }
    record.chunk = editText_.size() - 1 - (record.length >= kChunk / 4 ? 1 : 0);
    edits_.push_back(record);
}

void Document::ReplaceEntity(std::size_t i, std::string text) {
    const Unit& u = units_.at(i);
    Edit(u.Begin(), u.Begin() + u.size, std::move(text), false);
}

void Document::InsertAfter(std::size_t i, std::string text) {
    const Unit& u = units_.at(i);
    Edit(u.Begin() + u.size, u.Begin() + u.size, std::move(text), true);
}

bool Document::AppendEntities(std::string text) {
    if (!FindSection("ENTITIES")) {
        return false;
    }
    Edit(entitiesEnd_, entitiesEnd_, std::move(text), true);
    return true;
}

bool Document::SetHeaderValue(std::string_view name, int code, std::string_view value) {
    const Section* header = FindSection("HEADER");
    if (!header) {
        return false;
    }
    if (name == "$HANDSEED") {
        handseedSet_ = true;
    }
    TagReader reader(std::string_view(bytes_).substr(0, headerEnd_), header->begin);
    Tag tag;
    while (reader.Next(tag)) {
        if (tag.code != 9 || tag.Trimmed() != name) {
            continue;
        }
        if (reader.Next(tag) && tag.code != 0 && tag.code != 9) {
            Edit(tag.valueBegin, tag.valueBegin + tag.value.size(), Padded(tag.value, value),
                 false);
            return true;
        }
        break;
    }
    Edit(headerEnd_, headerEnd_,
         CodeLine(format_, 9) + std::string(name) + format_.eol + CodeLine(format_, code) +
             std::string(value) + format_.eol,
         true);
    return true;
}

bool Document::AddTableEntry(std::string_view table, std::string text) {
    auto found = std::find_if(tables_.begin(), tables_.end(), [&](const Table& t) {
        return t.endtab != 0 && EqualsNoCase(t.name, table);
    });
    if (found == tables_.end()) {
        return false;
    }
    Edit(found->endtab, found->endtab, std::move(text), true);
    // The count is a hint to readers; one that cannot grow is left as it is.
    if (found->countEnd != 0 && found->count < std::numeric_limits<std::int64_t>::max()) {
        ++found->count;
        const std::string_view original =
            std::string_view(bytes_).substr(found->countBegin, found->countEnd - found->countBegin);
        Edit(found->countBegin, found->countEnd, Padded(original, std::to_string(found->count)),
             false);
    }
    return true;
}

std::vector<std::size_t> Document::EditOrder(
    const std::function<bool(const EditRecord&)>& which) const {
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < edits_.size(); ++k) {
        if (which(edits_[k])) {
            order.push_back(k);
        }
    }
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return std::make_pair(edits_[a].begin, edits_[a].end) <
               std::make_pair(edits_[b].begin, edits_[b].end);
    });
    return order;
}

void Document::WriteEdited(std::size_t& pos, const std::vector<std::size_t>& order,
                           const std::function<void(std::string_view)>& sink,
                           const std::function<void(Range)>& before) const {
    const std::string_view bytes(bytes_);
    for (std::size_t first = 0; first < order.size();) {
        const Range here{edits_[order[first]].begin, edits_[order[first]].end};
        std::size_t last = first;
        std::size_t from = first;  // the last replacement of the range
        while (last < order.size() &&
               Range{edits_[order[last]].begin, edits_[order[last]].end} == here) {
            if (!edits_[order[last]].append) {
                from = last;
            }
            ++last;
        }
        before(here);
        if (here.first > pos) {
            sink(bytes.substr(pos, here.first - pos));
        }
        pos = std::max(pos, here.second);
        for (std::size_t k = from; k < last; ++k) {
            const EditRecord& e = edits_[order[k]];
            if (e.length > 0) {
                sink(std::string_view(editText_[e.chunk]).substr(e.offset, e.length));
            }
        }
        first = last;
    }
}

void Document::Write(const std::function<void(std::string_view)>& sink,
                     const std::function<void()>& passed) const {
    // $HANDSEED raised above the handles given out, unless set by hand.
    Range seedKey{};
    std::string seedText;
    if (nextHandle_ != firstNewHandle_ && !handseedSet_) {
        const std::string seed = FormatHandle(nextHandle_);
        if (handseed_.end != 0) {
            seedKey = {handseed_.begin, handseed_.end};
            seedText = Padded(
                std::string_view(bytes_).substr(handseed_.begin, handseed_.end - handseed_.begin),
                seed);
        } else if (FindSection("HEADER")) {
            seedKey = {headerEnd_, headerEnd_};
            seedText = CodeLine(format_, 9) + "$HANDSEED" + format_.eol + CodeLine(format_, 5) +
                       seed + format_.eol;
        }
    }
    const std::string_view bytes(bytes_);
    std::size_t pos = 0;
    bool seedDone = seedText.empty();
    bool passDone = passEnd_ == passBegin_;
    // The new $HANDSEED and the text handed over before, each in its place.
    auto put = [&](Range here) {
        if (!seedDone && seedKey <= here) {
            if (seedKey.first > pos) {
                sink(bytes.substr(pos, seedKey.first - pos));
            }
            pos = std::max(pos, seedKey.second);
            sink(seedText);
            seedDone = true;
        }
        if (!passDone && Range{passBegin_, passEnd_} <= here) {
            if (passBegin_ > pos) {
                sink(bytes.substr(pos, passBegin_ - pos));
            }
            pos = std::max(pos, passEnd_);
            passed();
            passDone = true;
        }
    };
    WriteEdited(pos, EditOrder([](const EditRecord&) { return true; }), sink, put);
    put({bytes.size(), bytes.size()});
    if (pos < bytes.size()) {
        sink(bytes.substr(pos));
    }
}

bool Document::PassEntitiesBefore(std::size_t i,
                                  const std::function<void(std::string_view)>& sink) {
    // The header, where $HANDSEED is raised at the end, must come before.
    if (i >= units_.size() || (FindSection("HEADER") && headerEnd_ > units_.front().Begin())) {
        return false;
    }
    if (passEnd_ == passBegin_) {
        passBegin_ = passEnd_ = units_.front().Begin();
    }
    const std::size_t to = units_[i].Begin();
    if (to <= passEnd_) {
        return true;
    }
    const auto passing = [this, to](const EditRecord& e) {
        return e.begin >= passEnd_ && e.end <= to;
    };
    std::size_t pos = passEnd_;
    WriteEdited(pos, EditOrder(passing), sink, [](Range) {});
    if (pos < to) {
        sink(std::string_view(bytes_).substr(pos, to - pos));
    }
    // Their text goes with them: a chunk no edit uses any more is freed.
    std::vector<std::size_t> uses(editText_.size(), 0);
    std::erase_if(edits_, passing);
    for (const EditRecord& e : edits_) {
        ++uses[e.chunk];
    }
    for (std::size_t c = 0; c + 1 < editText_.size(); ++c) {
        if (uses[c] == 0) {
            std::string().swap(editText_[c]);
        }
    }
    passEnd_ = to;
    return true;
}

std::string Document::Write() const {
    std::string out;
    std::size_t extra = 0;
    for (const EditRecord& edit : edits_) {
        extra += edit.length;
    }
    out.reserve(bytes_.size() + extra + 64);
    Write([&out](std::string_view piece) { out.append(piece); });
    return out;
}

}  // namespace dxf
