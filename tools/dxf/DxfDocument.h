// A DXF drawing kept as its file's bytes, with what converting and editing
// need found once on reading: the sections, each entity of the ENTITIES
// section with its byte range, and every handle in the file.
//
// An unedited document writes back byte for byte as it was read. Edits
// replace or add whole entities (and a few header and table values); at
// writing, only their bytes are new and everything else is copied verbatim.
// Queries always describe the file as read, never the pending edits.
#pragma once

#include "tools/dxf/DxfNumbers.h"
#include "tools/dxf/DxfTags.h"
#include "tools/dxf/DxfText.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dxf {

// A file that is not a readable ASCII drawing. Nothing of it may be used.
class ParseError : public std::runtime_error {
public:
    ParseError(std::size_t line, const std::string& message);
    // 1-based line of the file where the fault is.
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

struct Point3 {
    double x = 0, y = 0, z = 0;
    friend bool operator==(const Point3&, const Point3&) = default;
};

// How new text must look to fit the file.
struct Format {
    int version = 1009;      // the number in $ACADVER (AC1015 -> 1015); 1009 without one
    std::string eol = "\n";  // the first line's ending
    bool padCodes = false;   // group codes right-aligned in three columns
    bool SubclassMarkers() const { return version >= 1012; }
    bool LightweightPolylines() const { return version >= 1014; }
    bool TrueColour() const { return version >= 1018; }
};

struct Section {
    std::string name;
    std::size_t begin = 0;  // offset of its "0 SECTION" line
    std::size_t end = 0;    // offset just past its "ENDSEC" line
    std::size_t line = 0;
};

// The fields every entity shares, read from the entity's own tags (for a
// POLYLINE the POLYLINE's, not its vertices').
struct EntityInfo {
    std::string_view type;
    std::optional<Handle> handle;
    std::optional<Handle> owner;              // 330 outside any 102 group
    std::string_view layer = "0";             // 8
    std::string_view lineType;                // 6; empty when not given
    std::optional<int> colour;                // 62
    std::optional<std::uint32_t> trueColour;  // 420, 0x00RRGGBB
    bool paperSpace = false;                  // 67 other than 0
    Point3 extrusion{0, 0, 1};                // 210/220/230
    double thickness = 0;                     // 39
    std::optional<double> elevation;          // 38
    bool hasXData = false;                    // 1001 groups
    bool hasExtensionDictionary = false;      // 102 {ACAD_XDICTIONARY
};

class Document;

// Sees each entity of the ENTITIES section while the file is read, once the
// entity is whole: its index and its tags, the "0" line first, as a
// TagReader over EntityText(i) gives them (offsets in the whole file). The
// document already answers for entities 0 to i and the sections before;
// the rest, and what is settled at the end (the format, code page and
// handles), is not read yet.
using EntityObserver =
    std::function<void(const Document& doc, std::size_t i, std::span<const Tag> tags)>;

class Document {
public:
    // Reads a whole file. Throws ParseError for a file that is not a
    // readable ASCII drawing. `observer`, when given, sees every entity:
    // what it needs of them is read with the file, not again.
    static Document Parse(std::string bytes, const EntityObserver& observer = {});

    const std::string& Bytes() const { return bytes_; }
    const Format& GetFormat() const { return format_; }
    const std::vector<Section>& Sections() const { return sections_; }
    const Section* FindSection(std::string_view name) const;

    // Entities of the ENTITIES section in file order. A POLYLINE with its
    // VERTEX entities and SEQEND, and an INSERT with its ATTRIB entities and
    // SEQEND, are one entity here. Text runs from its "0" line to just
    // before the next entity's. An index out of range throws
    // std::out_of_range.
    std::size_t EntityCount() const { return units_.size(); }
    std::string_view EntityType(std::size_t i) const { return types_[units_.at(i).type]; }
    std::string_view EntityText(std::size_t i) const;
    std::size_t EntityOffset(std::size_t i) const { return units_.at(i).Begin(); }
    std::size_t EntityLine(std::size_t i) const { return units_.at(i).line; }
    std::optional<Handle> EntityHandle(std::size_t i) const;
    bool InPaperSpace(std::size_t i) const { return units_.at(i).flags & kPaperSpace; }
    // A POLYLINE or INSERT whose run ends with its SEQEND.
    bool HasSeqend(std::size_t i) const { return units_.at(i).flags & kSeqend; }
    EntityInfo Info(std::size_t i) const;
    // Info(i).layer, read no further than the layer.
    std::string_view EntityLayer(std::size_t i) const;

    // Block definitions other than the model and paper space layouts.
    std::size_t BlockDefinitionCount() const { return blockDefinitions_; }

    // The first value after the header variable `name` ("$ACADVER"), as it
    // stands in the file without its line ending.
    std::optional<std::string_view> HeaderValue(std::string_view name) const;

    // How the drawing's text is written: UTF-8 from R2007 (AC1021) on, and
    // in a file that starts with a UTF-8 byte order mark; before, the code
    // page its $DWGCODEPAGE names (CodePageNamed).
    CodePage TextCodePage() const { return page_; }
    // A text value of the file (a name, a type) as UTF-8 (DecodeText). In a
    // UTF-8 drawing, a value that is not UTF-8 was written by a program that
    // kept to the code page: it is read in the one $DWGCODEPAGE names.
    std::string DecodeText(std::string_view value) const;
    // What makes a name (a layer's, a line type's) the same as another: its
    // text decoded, without blanks at either end (written or escaped), and
    // folded for case (DecodeNameKey). "tracé" in the code page,
    // "TRAC\U+00C9" and, from R2007, "tracé" in UTF-8 are one name.
    std::string NameKey(std::string_view name) const;
    // Whether `typed`, a name as a user typed it (UTF-8, escapes read), is
    // `name` of the drawing: the same key, or the same text as shown (a
    // U+FFFD for a byte no character included, a backslash as it stands).
    // Typed text that is not UTF-8 is taken as the file's own bytes
    // ("trac\xE9" in ANSI_1252).
    bool NameMatches(std::string_view typed, std::string_view name) const;

    // Handles: a file uses them when it has any, when it is R13 or later, or
    // when $HANDLING is not 0. New handles lie above every handle in the
    // file and $HANDSEED; without handles there are none to give.
    bool UsesHandles() const { return usesHandles_; }
    std::optional<Handle> NewHandle();
    // The handle of the *Model_Space block record, owner of new entities.
    std::optional<Handle> ModelSpaceOwner() const;

    // Symbol tables of the TABLES section ("LTYPE", "LAYER", ...).
    bool HasTable(std::string_view table) const { return FindTable(table) != nullptr; }
    std::optional<Handle> TableHandle(std::string_view table) const;
    // Names compare without regard to ASCII case, as CAD programs do.
    bool HasTableEntry(std::string_view table, std::string_view name) const;
    // The names (group 2) of a table's entries in file order, as written.
    std::vector<std::string_view> TableEntryNames(std::string_view table) const;

    // Edits. Text given must be whole lines, each ended with GetFormat().eol.
    void ReplaceEntity(std::size_t i, std::string text);
    void RemoveEntity(std::size_t i) { ReplaceEntity(i, {}); }
    // Several calls for one entity add in call order.
    void InsertAfter(std::size_t i, std::string text);
    // At the end of the ENTITIES section; false when the file has none.
    bool AppendEntities(std::string text);
    // Replaces the first value of a header variable in place (its padding
    // kept), or adds the variable at the end of the header. False when the
    // file has no HEADER section.
    bool SetHeaderValue(std::string_view name, int code, std::string_view value);
    // Adds an entry before the table's ENDTAB and counts it in the table's
    // 70 group. False when the file has no such table.
    bool AddTableEntry(std::string_view table, std::string text);
    bool Edited() const { return !edits_.empty() || nextHandle_ != firstNewHandle_; }

    // The drawing with its edits. When new handles were given out,
    // $HANDSEED is raised above them (unless set by SetHeaderValue).
    // `passed` is called where text handed over by PassEntitiesBefore goes.
    void Write(const std::function<void(std::string_view)>& sink,
               const std::function<void()>& passed = {}) const;
    std::string Write() const;
    // For a drawing larger than its edits should be held for: hands `sink`
    // the text, with its edits, from where the last call stopped (at the
    // first, the first entity) up to the start of entity `i`, and lets go of
    // those edits. Every edit of the entities before `i` must have been made:
    // edits made there later are lost. False, and nothing handed over, when
    // `i` is no entity or the HEADER section comes after the ENTITIES.
    bool PassEntitiesBefore(std::size_t i, const std::function<void(std::string_view)>& sink);

private:
    friend class Scanner;

    enum : std::uint8_t { kHasHandle = 1, kPaperSpace = 2, kSeqend = 4 };
    struct Unit {
        std::uint64_t begin = 0;
        // An offset into the text held in memory, which a size_t reaches
        // (the field is 64-bit on 32-bit targets too, for the layout).
        std::size_t Begin() const { return static_cast<std::size_t>(begin); }
        Handle handle = 0;
        std::uint32_t size = 0;
        std::uint32_t line = 0;
        std::uint16_t type = 0;
        std::uint8_t flags = 0;
    };
    struct Table {
        std::string name;
        std::size_t begin = 0, endtab = 0;         // "0 TABLE" and "0 ENDTAB" lines
        std::size_t countBegin = 0, countEnd = 0;  // its 70 value, when countEnd > 0
        std::int64_t count = 0;                    // with the entries added
        std::optional<Handle> handle;
    };
    struct ValueSpan {
        std::size_t begin = 0, end = 0;  // a value without its line ending; end == 0: none
    };

    struct EditRecord;
    using Range = std::pair<std::size_t, std::size_t>;

    const Table* FindTable(std::string_view name) const;
    void Edit(std::size_t begin, std::size_t end, std::string text, bool append);
    // The edits `which` takes, by range, each range's in the order made.
    std::vector<std::size_t> EditOrder(const std::function<bool(const EditRecord&)>& which) const;
    // Hands `sink` the text from `pos` with the edits `order` gives, up to
    // the last of them; `before` is told each range first.
    void WriteEdited(std::size_t& pos, const std::vector<std::size_t>& order,
                     const std::function<void(std::string_view)>& sink,
                     const std::function<void(Range)>& before) const;

    std::string bytes_;
    Format format_;
    std::vector<Section> sections_;
    std::vector<Unit> units_;
    std::vector<std::string> types_;
    std::vector<Table> tables_;
    std::size_t entitiesEnd_ = 0;  // "0 ENDSEC" line of ENTITIES, when there is one
    std::size_t headerEnd_ = 0;    // "0 ENDSEC" line of HEADER, when there is one
    ValueSpan handseed_;
    std::size_t blockDefinitions_ = 0;
    bool usesHandles_ = false;
    CodePage page_ = CodePage::Cp1252;        // the file's text
    CodePage headerPage_ = CodePage::Cp1252;  // the one $DWGCODEPAGE names
    bool handlesExhausted_ = false;
    bool handseedSet_ = false;  // by SetHeaderValue
    Handle firstNewHandle_ = 1;
    Handle nextHandle_ = 1;
    // Replacements of an original byte range, in the order made; insertions
    // have an empty range. Ranges never overlap; for one range a later
    // replacement drops what came before it, an insertion adds to it. Their
    // text lies in chunks of a megabyte or so, so that a million small
    // edits cost little beyond their text.
    struct EditRecord {
        std::size_t begin = 0, end = 0;
        std::size_t chunk = 0, offset = 0, length = 0;
        bool append = false;
    };
    std::vector<EditRecord> edits_;
    std::vector<std::string> editText_;
    // The original bytes handed over by PassEntitiesBefore, with their edits.
    std::size_t passBegin_ = 0, passEnd_ = 0;
};

}  // namespace dxf
