#include "tools/vekhost/DxfDrawing.h"

#include "tools/dxf/DxfNumbers.h"
#include "tools/vekhost/DxfWriteBack.h"
#include "platform/veklib/VekHost.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <set>
#include <unordered_set>
#include <utility>
#include <variant>

namespace vekhost_tool {

namespace {

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

// A name from the drawing as the user reads it: decoded from the drawing's
// code page and escapes into UTF-8, without blanks at either end.
std::string Readable(const dxf::Document& doc, std::string_view name) {
    return doc.DecodeText(dxf::Trim(name));
}

// " (its layers: 0, tracé, Walls)" for a name that picks no layer: each
// layer once, however many ways it is written; the first few of many.
std::string LayerList(const dxf::Document& doc, const std::vector<std::string_view>& layers) {
    constexpr std::size_t kListed = 8;
    std::unordered_set<std::string> keys;
    std::string list;
    std::size_t count = 0;
    for (const std::string_view layer : layers) {
        if (keys.insert(doc.NameKey(layer)).second && ++count <= kListed) {
            list += (count == 1 ? "" : ", ") + Readable(doc, layer);
        }
    }
    if (count > kListed) {
        list += " and " + std::to_string(count - kListed) + " more";
    }
    return " (its layers: " + list + ")";
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

bool IsDxfName(const std::string& path) {
    return path.size() >= 4 && UpperAscii(path.substr(path.size() - 4)) == ".DXF";
}

DxfDrawing::DxfDrawing(std::string bytes, const JoinOptions& join)
    : DxfDrawing(ReadDrawing(std::move(bytes), join)) {}

DxfDrawing::DxfDrawing(DrawingRead read) : doc_(std::move(read.doc)), set_(std::move(read.set)) {}

void DxfDrawing::LoadIntoHost(bool whole) {
    vekhost::Reset();
    std::unordered_map<std::string, VekId> layers;  // by name key
    segmentOf_.assign(set_.figures.size(), VEK_NONE);
    layerOf_.assign(set_.figures.size(), 0);
    loaded_.assign(set_.figures.size(), false);
    figureOfSegment_.clear();
    for (std::size_t f = 0; f < set_.figures.size(); ++f) {
        const DxfFigure& figure = set_.figures[f];
        const std::string_view layer = doc_.EntityLayer(figure.parts.front().entity);
        auto [at, added] = layers.try_emplace(doc_.NameKey(layer), VEK_NONE);
        if (added) {
            at->second = vekhost::AddLayer(Readable(doc_, layer));
        }
        const VekId segment = vekhost::ReserveSegment(figure.elementCount);
        segmentOf_[f] = segment;
        layerOf_[f] = at->second;
        figureOfSegment_[segment] = f;
    }
    if (whole) {
        std::vector<VekId> all;
        for (const VekId segment : segmentOf_) {
            if (segment != VEK_NONE) {
                all.push_back(segment);
            }
        }
        LoadFigures(all);
    }
#ifdef __GLIBC__
    // What finding the figures took is free now: given back to the system,
    // so that the run's new text does not come on top.
    malloc_trim(0);
#endif
}

void DxfDrawing::LoadFigures(const std::vector<VekId>& segments) {
    for (const VekId segment : segments) {
        const auto found = figureOfSegment_.find(segment);
        if (found == figureOfSegment_.end()) {
            continue;
        }
        const std::size_t f = found->second;
        if (loaded_[f]) {
            continue;
        }
        loaded_[f] = true;
        const DxfFigure& figure = set_.figures[f];
        if (!vekhost::AddReservedSegment(segment, FigureElements(doc_, figure), figure.closed,
                                         layerOf_[f])) {
            for (const FigurePart& part : figure.parts) {
                set_.leftAlone.Add(doc_.EntityType(part.entity), dxf::Refusal::Malformed,
                                   "the host did not take it", doc_.EntityLine(part.entity));
            }
        }
    }
}

void DxfDrawing::UnloadFigures() {
    vekhost::ClearSegments();
}

bool DxfDrawing::Pickable(std::size_t figure) const {
    return segmentOf_[figure] != VEK_NONE && FitsTheCommand(set_.figures[figure].elementCount);
}

const DxfFigure* DxfDrawing::FigureOf(VekId segment) const {
    const auto it = figureOfSegment_.find(segment);
    return it == figureOfSegment_.end() ? nullptr : &set_.figures[it->second];
}

std::size_t DxfDrawing::ElementCount(VekId segment) const {
    const DxfFigure* figure = FigureOf(segment);
    return figure == nullptr ? 0 : figure->elementCount;
}

std::optional<std::vector<VekId>> DxfDrawing::Pick(const DxfSelection& selection,
                                                   const std::string& drawingName,
                                                   std::string& error) const {
    if (selection.kind == DxfSelection::Kind::Layers) {
        return PickLayers(selection.names, drawingName, error);
    }
    if (selection.kind == DxfSelection::Kind::Handles) {
        return PickHandles(selection.names, drawingName, error);
    }
    std::vector<VekId> picked;
    for (std::size_t f = 0; f < set_.figures.size(); ++f) {
        if (Pickable(f)) {
            picked.push_back(segmentOf_[f]);
        }
    }
    return picked;
}

std::optional<std::vector<VekId>> DxfDrawing::PickLayers(const std::vector<std::string>& names,
                                                         const std::string& drawingName,
                                                         std::string& error) const {
    // The drawing's layers by their text in the file, each once: its LAYER
    // table's, its entities' and "0".
    std::vector<std::string_view> layers;
    std::unordered_set<std::string_view> seen;
    auto add = [&](std::string_view name) {
        if (seen.insert(dxf::Trim(name)).second) {
            layers.push_back(dxf::Trim(name));
        }
    };
    for (const std::string_view name : doc_.TableEntryNames("LAYER")) {
        add(name);
    }
    for (std::size_t i = 0; i < doc_.EntityCount(); ++i) {
        add(doc_.EntityLayer(i));
    }
    add("0");
    std::unordered_set<std::string_view> wanted;
    for (const std::string& name : names) {
        bool found = false;
        for (const std::string_view layer : layers) {
            if (doc_.NameMatches(name, layer)) {
                wanted.insert(layer);
                found = true;
            }
        }
        if (!found) {
            error = drawingName + " has no layer '" + name + "'" + LayerList(doc_, layers);
            return std::nullopt;
        }
    }
    std::vector<VekId> picked;
    for (std::size_t f = 0; f < set_.figures.size(); ++f) {
        const std::string_view layer = doc_.EntityLayer(set_.figures[f].parts.front().entity);
        if (Pickable(f) && wanted.count(dxf::Trim(layer))) {
            picked.push_back(segmentOf_[f]);
        }
    }
    return picked;
}

std::optional<std::vector<VekId>> DxfDrawing::PickHandles(const std::vector<std::string>& names,
                                                          const std::string& drawingName,
                                                          std::string& error) const {
    std::unordered_map<dxf::Handle, std::size_t> entityOf;
    for (std::size_t i = 0; i < doc_.EntityCount(); ++i) {
        if (const auto handle = doc_.EntityHandle(i)) {
            entityOf.emplace(*handle, i);
        }
    }
    std::vector<VekId> picked;
    std::set<VekId> seen;
    for (const std::string& name : names) {
        const auto handle = dxf::ParseHandle(name);
        const auto it = handle ? entityOf.find(*handle) : entityOf.end();
        if (it == entityOf.end()) {
            error = drawingName + " has no entity with handle " + name +
                    " among the entities of its drawing (ENTITIES section)";
            return std::nullopt;
        }
        const std::size_t i = it->second;
        const std::int32_t f = set_.figureOf[i];
        if (f < 0 || !Pickable(static_cast<std::size_t>(f))) {
            const std::string why =
                f >= 0 && segmentOf_[static_cast<std::size_t>(f)] != VEK_NONE
                    ? TooLargeReason(set_.figures[static_cast<std::size_t>(f)].elementCount)
                    : std::string(dxf::Describe(dxf::ShapeOf(doc_, i).refusal));
            error = "entity " + name + " (" + Readable(doc_, doc_.EntityType(i)) +
                    (why.empty() ? "" : ", " + why) + ", line " +
                    std::to_string(doc_.EntityLine(i)) + ") cannot be converted";
            return std::nullopt;
        }
        const VekId segment = segmentOf_[static_cast<std::size_t>(f)];
        if (seen.insert(segment).second) {
            picked.push_back(segment);
        }
    }
    return picked;
}

FigureNaming DxfDrawing::Naming() const {
    FigureNaming naming;
    naming.arcsAtFoundRadius = true;
    naming.source = [this](const vekhost::Segment& segment) {
        FigureSource source;
        const DxfFigure* figure = FigureOf(segment.id);
        if (figure == nullptr) {
            return FigureSource{"segment", {std::to_string(segment.id)}, std::nullopt};
        }
        source.kind = doc_.UsesHandles() ? "handles" : "lines";
        source.line = doc_.EntityLine(figure->parts.front().entity);
        for (const FigurePart& part : figure->parts) {
            const auto handle = doc_.EntityHandle(part.entity);
            source.ids.push_back(handle ? dxf::FormatHandle(*handle)
                                        : std::to_string(doc_.EntityLine(part.entity)));
        }
        return source;
    };
    naming.layer = [this](const vekhost::Segment& segment) {
        const DxfFigure* figure = FigureOf(segment.id);
        return figure == nullptr ? vekhost::LayerName(segment.layer)
                                 : Readable(doc_, doc_.EntityLayer(figure->parts.front().entity));
    };
    return naming;
}

std::string DxfDrawing::Overview() const {
    std::size_t polylines = 0;
    std::size_t chains = 0;
    std::size_t chained = 0;
    std::size_t circles = 0;
    for (const DxfFigure& figure : set_.figures) {
        polylines += figure.kind == FigureKind::Polyline ? 1 : 0;
        circles += figure.kind == FigureKind::Circle ? 1 : 0;
        if (figure.kind == FigureKind::Chain) {
            ++chains;
            chained += figure.parts.size();
        }
    }
    const auto version = doc_.HeaderValue("$ACADVER");
    return (version ? Readable(doc_, *version) : "AC1009") + ", " +
           Count(doc_.EntityCount(), "entity", "entities") + ": " +
           Count(set_.figures.size(), "figure", "figures") + " (" +
           Count(polylines, "polyline", "polylines") + ", " + Count(chains, "chain", "chains") +
           " of " + Count(chained, "line or arc", "lines and arcs") + ", " +
           Count(circles, "circle", "circles") + ")";
}

dxf::LeftAlone DxfDrawing::LeftAloneBy(const std::vector<VekId>& picked) const {
    dxf::LeftAlone left = set_.leftAlone;
    const std::set<VekId> chosen(picked.begin(), picked.end());
    for (std::size_t f = 0; f < set_.figures.size(); ++f) {
        if (segmentOf_[f] == VEK_NONE || chosen.count(segmentOf_[f])) {
            continue;
        }
        const auto& parts = set_.figures[f].parts;
        for (const FigurePart& part : parts) {
            if (Pickable(f)) {
                left.Add(doc_.EntityType(part.entity), dxf::Refusal::NotSelected);
            } else {
                left.Add(doc_.EntityType(part.entity), dxf::Refusal::TooLarge,
                         TooLargeDetail(set_.figures[f].elementCount),
                         doc_.EntityLine(parts.front().entity));
            }
        }
    }
    // The types as the user reads them: text of the drawing too.
    dxf::LeftAlone shown;
    for (const dxf::LeftAlone::Entry& entry : left.Entries()) {
        dxf::LeftAlone::Entry readable = entry;
        readable.type = Readable(doc_, entry.type);
        shown.Add(readable);
    }
    shown.AddBlockDefinitions(left.BlockDefinitions());
    return shown;
}

bool DxfDrawing::InInches(const RunSettings& settings) const {
    if (settings.unitMode == 1 || settings.unitMode == 2) {
        return settings.unitMode == 2;  // the figures are now in millimetres or inches
    }
    if (const auto measurement = doc_.HeaderValue("$MEASUREMENT")) {
        return dxf::Trim(*measurement) == "0";
    }
    const auto units = doc_.HeaderValue("$INSUNITS");
    return units && (dxf::Trim(*units) == "1" || dxf::Trim(*units) == "2");
}

void DxfDrawing::SpillWriteBack(std::unique_ptr<SpillFile> spill, const std::vector<VekId>& picked,
                                std::size_t figuresPerSpill) {
    spill_ = std::move(spill);
    figuresPerSpill_ = figuresPerSpill;
    pickedByEntity_.clear();
    for (const VekId segment : picked) {
        if (const auto found = figureOfSegment_.find(segment); found != figureOfSegment_.end()) {
            // A chain may run against the file's order: its first entity in
            // the file, not in the chain.
            std::size_t first = SIZE_MAX;
            for (const FigurePart& part : set_.figures[found->second].parts) {
                first = std::min(first, part.entity);
            }
            pickedByEntity_.emplace_back(first, found->second);
        }
    }
    std::sort(pickedByEntity_.begin(), pickedByEntity_.end());
    writtenBack_.assign(set_.figures.size(), false);
    writtenInOrder_ = 0;
    sinceSpilled_ = 0;
    elementsSinceSpilled_ = 0;
}

void DxfDrawing::Spill() {
    while (writtenInOrder_ < pickedByEntity_.size() &&
           writtenBack_[pickedByEntity_[writtenInOrder_].second]) {
        ++writtenInOrder_;
    }
    // The last entity stays: entities added at the end of the section go
    // after it.
    const std::size_t before = writtenInOrder_ < pickedByEntity_.size()
                                   ? pickedByEntity_[writtenInOrder_].first
                                   : doc_.EntityCount() - 1;
    doc_.PassEntitiesBefore(before, [this](std::string_view text) { spill_->Write(text); });
    sinceSpilled_ = 0;
    elementsSinceSpilled_ = 0;
}

void DxfDrawing::WriteBackFigure(const FigureReport& result, const RunSettings& settings) {
    const auto found = figureOfSegment_.find(result.segment);
    if (found != figureOfSegment_.end() && spill_) {
        writtenBack_[found->second] = true;
    }
    if (writeError_ || result.status != FigureStatus::Converted ||
        found == figureOfSegment_.end()) {
        return;
    }
    try {
        if (!writer_) {
            writer_.emplace(doc_, settings, InInches(settings));
        }
        const DxfFigure& figure = set_.figures[found->second];
        writer_->Write(figure, figure.elementCount, result);
        elementsSinceSpilled_ += figure.elementCount;
        if (spill_ &&
            (++sinceSpilled_ >= figuresPerSpill_ || elementsSinceSpilled_ >= kElementsPerRun)) {
            Spill();
        }
    } catch (const WriteBackError& e) {
        writeError_ = e.what();
    } catch (const std::invalid_argument& e) {
        // Geometry the drawing cannot hold, such as a number that is not finite.
        writeError_ = std::string("the result cannot be written as DXF: ") + e.what();
    } catch (const std::runtime_error& e) {
        writeError_ = e.what();  // the text set aside could not be written
    }
}

bool DxfDrawing::WriteBackDone(std::string& error) const {
    if (writeError_) {
        error = *writeError_;
        return false;
    }
    return true;
}

bool DxfDrawing::WriteBack(const RunReport& report, std::string& error) {
    writer_.reset();
    writeError_.reset();
    for (const FigureReport& result : report.figures) {
        WriteBackFigure(result, report.settings);
    }
    return WriteBackDone(error);
}

const std::vector<std::string>& DxfDrawing::Notes() const {
    static const std::vector<std::string> none;
    return writer_ ? writer_->Notes() : none;
}

void DxfDrawing::WriteTo(std::ostream& out) const {
    doc_.Write(
        [&out](std::string_view piece) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        },
        [this, &out] {
            if (!spill_->CopyTo(out)) {
                out.setstate(std::ios::badbit);
            }
        });
}

}  // namespace vekhost_tool
