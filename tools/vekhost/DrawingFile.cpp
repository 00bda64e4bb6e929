#include "tools/vekhost/DrawingFile.h"

#include "tools/vekhost/DxfDrawing.h"
#include "tools/vekhost/FigureLimit.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/TextConvert.h"

#include <cstddef>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace vekhost_tool {

namespace {

// The host's own drawing file: loading it is reading it, and the host's
// drawing after the run is the file to write. A figure the command cannot
// take is never picked, as in a DXF drawing: left as it was and said so.
class JsonDrawingFile : public DrawingFile {
public:
    JsonDrawingFile(const RunOptions& options, const std::string& text)
        : name_(options.Drawing()), selection_(options.selection) {
        try {
            vekhost::FromJson(text);
        } catch (const std::exception& e) {
            throw DrawingError(name_ + " is not a drawing file: " + e.what());
        }
        for (const VekId segment : vekhost::Segments()) {
            const std::size_t elements = vekhost::GetSegment(segment)->elements.size();
            elements_.emplace(segment, elements);
            if (!FitsTheCommand(elements)) {
                tooLarge_.emplace_back(segment, elements);
            }
        }
    }
    void LoadIntoHost(bool) override {}
    RunStaging Staging() override {
        RunStaging staging;
        staging.elements = [this](VekId segment) {
            const auto it = elements_.find(segment);
            return it == elements_.end() ? std::size_t{0} : it->second;
        };
        return staging;
    }
    std::optional<std::vector<VekId>> Pick(std::string& error) const override;
    FigureNaming Naming() const override { return SegmentNaming(); }
    std::vector<std::string> LeftAlone(const std::vector<VekId>& picked) const override;
    bool TakeResult(const RecordedRun&, std::string&) override { return true; }
    void WriteTo(std::ostream& out) const override {
        vekhost::WriteJson([&out](std::string_view piece) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        });
    }

private:
    // The elements of `segment` when the command cannot take it.
    std::optional<std::size_t> TooLarge(VekId segment) const {
        const auto it = elements_.find(segment);
        if (it == elements_.end() || FitsTheCommand(it->second)) {
            return std::nullopt;
        }
        return it->second;
    }

    std::string name_;
    std::optional<std::vector<VekId>> selection_;
    // The figures the command cannot take, in file order, with their elements.
    std::vector<std::pair<VekId, std::size_t>> tooLarge_;
    std::unordered_map<VekId, std::size_t> elements_;  // of every figure
};

std::optional<std::vector<VekId>> JsonDrawingFile::Pick(std::string& error) const {
    auto picked = PickFigures(selection_, name_, error);
    if (!picked || tooLarge_.empty()) {
        return picked;
    }
    if (!selection_) {
        std::erase_if(*picked, [this](VekId segment) { return TooLarge(segment).has_value(); });
        return picked;
    }
    for (const VekId segment : *picked) {
        if (const auto elements = TooLarge(segment)) {
            error = "figure " + std::to_string(segment) + " (" + TooLargeReason(*elements) +
                    ") cannot be converted";
            return std::nullopt;
        }
    }
    return picked;
}

// "Left as it was: 2 figures (too large for the command: 3,000 elements, at
// most 2,999 in one figure, the first segment 4)", by size as a DXF
// drawing's entities are; nothing when the command takes every figure.
std::vector<std::string> JsonDrawingFile::LeftAlone(const std::vector<VekId>&) const {
    struct Group {
        std::size_t figures = 0;
        VekId first = VEK_NONE;
    };
    std::map<std::size_t, Group> bySize;
    for (const auto& [segment, elements] : tooLarge_) {
        Group& group = bySize.try_emplace(elements, Group{0, segment}).first->second;
        ++group.figures;
    }
    std::string text;
    for (const auto& [elements, group] : bySize) {
        text += (text.empty() ? "Left as it was: " : ", ") + std::to_string(group.figures) +
                (group.figures == 1 ? " figure (" : " figures (") + TooLargeReason(elements) +
                (group.figures == 1 ? ", segment " : ", the first segment ") +
                std::to_string(group.first) + ")";
    }
    return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text};
}

class DxfDrawingFile : public DrawingFile {
public:
    DxfDrawingFile(const RunOptions& options, std::string text)
        : name_(options.Drawing()), output_(options.output), selection_(*options.dxfSelection) {
        try {
            dxf_.emplace(std::move(text), options.join);
        } catch (const dxf::ParseError& e) {
            throw DrawingError(name_ + " is not a readable DXF drawing: " + e.what());
        }
    }
    void LoadIntoHost(bool whole) override {
        dxf_->LoadIntoHost(whole);
        staged_ = !whole;
    }
    RunStaging Staging() override {
        RunStaging staging;
        staging.elements = [this](VekId segment) { return dxf_->ElementCount(segment); };
        if (staged_) {
            staging.load = [this](const std::vector<VekId>& figures) {
                dxf_->LoadFigures(figures);
            };
            staging.unload = [this] { dxf_->UnloadFigures(); };
        }
        return staging;
    }
    std::optional<std::vector<VekId>> Pick(std::string& error) const override {
        return dxf_->Pick(selection_, name_, error);
    }
    FigureNaming Naming() const override { return dxf_->Naming(); }
    std::vector<std::string> Overview() const override { return {"Drawing: " + dxf_->Overview()}; }
    std::vector<std::string> LeftAlone(const std::vector<VekId>& picked) const override {
        const std::string left = dxf_->LeftAloneBy(picked).Summary();
        return {"Left as it was: " + (left.empty() ? std::string("nothing") : left)};
    }
    FigureSink WriteBackSink(const std::vector<VekId>& picked) override {
        if (!output_.empty()) {
            // The converted text is set aside beside the output as the runs
            // go; where it cannot be, it is held until the drawing is written.
            try {
                dxf_->SpillWriteBack(std::make_unique<SpillFile>(PathFromUtf8(output_)), picked);
            } catch (const std::runtime_error&) {
            }
        }
        return [this](const FigureReport& figure, const RunSettings& settings) {
            dxf_->WriteBackFigure(figure, settings);
        };
    }
    bool TakeResult(const RecordedRun&, std::string& error) override {
        return dxf_->WriteBackDone(error);
    }
    void WriteTo(std::ostream& out) const override { dxf_->WriteTo(out); }
    std::vector<std::string> Notes() const override { return dxf_->Notes(); }

private:
    std::string name_;
    std::string output_;
    DxfSelection selection_;
    std::optional<DxfDrawing> dxf_;
    bool staged_ = false;
};

// The first bytes that are not blanks.
std::string_view Opening(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    return start == std::string::npos ? std::string_view()
                                      : std::string_view(text).substr(start, 40);
}

// A file not named as DXF must be a JSON drawing: anything else is named for
// what it is.
void CheckJsonOpening(const std::string& name, const std::string& text) {
    const std::string_view opening = Opening(text);
    if (opening.starts_with("{")) {
        return;
    }
    if (opening.starts_with("AutoCAD Binary DXF") ||
        ((opening.starts_with("0") || opening.starts_with("999")) &&
         text.substr(0, 4096).find("SECTION") != std::string::npos)) {
        throw DrawingError(name + " holds a DXF drawing: give it a name ending in .dxf");
    }
    throw DrawingError(name + (opening.empty() ? " is empty" : " is not a drawing") +
                       ": vekhost reads JSON drawings and DXF drawings (.dxf)");
}

}  // namespace

std::unique_ptr<DrawingFile> ReadDrawingFile(const RunOptions& options) {
    std::string text;
    std::string error;
    if (!ReadWholeFile(PathFromUtf8(options.Drawing()), text, error)) {
        throw DrawingError("cannot read " + options.Drawing() + ": " + error);
    }
    if (options.Dxf()) {
        return std::make_unique<DxfDrawingFile>(options, std::move(text));
    }
    CheckJsonOpening(options.Drawing(), text);
    return std::make_unique<JsonDrawingFile>(options, text);
}

}  // namespace vekhost_tool
