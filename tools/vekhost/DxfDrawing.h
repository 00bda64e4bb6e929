// A DXF drawing in a run: its figures loaded into the host stand-in, the
// figures a selection picks, how the run report names them (by handle), and
// the host's result written back into the drawing's own text, every byte of
// what was not converted kept.
#pragma once

#include "tools/dxf/DxfDocument.h"
#include "tools/dxf/DxfEntities.h"
#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/DxfFigures.h"
#include "tools/vekhost/DxfSelection.h"
#include "tools/vekhost/DxfWriteBack.h"
#include "tools/vekhost/FigureLimit.h"
#include "tools/vekhost/Files.h"
#include "tools/vekhost/RunReport.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vekhost_tool {

// Text is set aside after a run's worth of figures written back (or of
// their elements, kElementsPerRun): few enough edits held, and few enough
// passes over them.
inline constexpr std::size_t kFiguresPerSpill = kFiguresPerRun;

// True for a file name ending in ".dxf" (any letter case).
bool IsDxfName(const std::string& path);

class DxfDrawing {
public:
    // Reads the drawing and finds its figures; throws dxf::ParseError for a
    // file that is not a readable ASCII drawing.
    DxfDrawing(std::string bytes, const JoinOptions& join);

    // Empties the host's drawing and gives every figure its identifier, each
    // on a layer named after its DXF layer; with `whole`, adds them all.
    // Once: the records of a figure added are not kept.
    void LoadIntoHost(bool whole);
    // Adds the figures given, each once, as LoadIntoHost identified them.
    void LoadFigures(const std::vector<VekId>& segments);
    // Takes every segment out of the host's drawing, to make room for the
    // next figures.
    void UnloadFigures();

    // The elements of the figure LoadIntoHost identified as `segment`; 0 for
    // no figure of the drawing.
    std::size_t ElementCount(VekId segment) const;

    // The figures `selection` picks, in file order (handles: in the order
    // given, each figure once), but none the command cannot take. Empty, with
    // the reason, for a layer the drawing does not have or a handle of no
    // entity the command can take.
    std::optional<std::vector<VekId>> Pick(const DxfSelection& selection,
                                           const std::string& drawingName,
                                           std::string& error) const;

    // A figure's source is its entities' handles (their line numbers in a
    // file without handles); its layer, its first entity's.
    FigureNaming Naming() const;

    // "AC1015, 120 entities: 15 figures (5 polylines, 8 chains of 23 lines
    // and arcs, 2 circles)".
    std::string Overview() const;

    // What a run over `picked` leaves as it was: the entities no figure
    // holds, those of the figures not picked, and the block definitions.
    dxf::LeftAlone LeftAloneBy(const std::vector<VekId>& picked) const;

    // Writes what became of a converted figure back into the drawing, as
    // the run reports it; the others are left as they are. After a result
    // that cannot be written nothing more is, and WriteBackDone tells why.
    void WriteBackFigure(const FigureReport& result, const RunSettings& settings);
    // From now on, the text of the entities before every picked figure not
    // yet written back is set aside in `spill` after each `figuresPerSpill`
    // figures written back, so that the new text is not held until the
    // drawing is written.
    void SpillWriteBack(std::unique_ptr<SpillFile> spill, const std::vector<VekId>& picked,
                        std::size_t figuresPerSpill = kFiguresPerSpill);
    // False, with the reason, when a result could not be written (the
    // drawing is then not to be written at all).
    bool WriteBackDone(std::string& error) const;
    // Every figure of a whole report written back, then WriteBackDone; the
    // drawing must be in the host whole (LoadIntoHost(true)).
    bool WriteBack(const RunReport& report, std::string& error);
    // The drawing as it is now, piece by piece.
    void WriteTo(std::ostream& out) const;

    // Notes for the user from writing back (a line type the drawing has no
    // table for, ...).
    const std::vector<std::string>& Notes() const;

    const dxf::Document& Document() const { return doc_; }

private:
    explicit DxfDrawing(DrawingRead read);

    std::optional<std::vector<VekId>> PickLayers(const std::vector<std::string>& names,
                                                 const std::string& drawingName,
                                                 std::string& error) const;
    std::optional<std::vector<VekId>> PickHandles(const std::vector<std::string>& names,
                                                  const std::string& drawingName,
                                                  std::string& error) const;
    const DxfFigure* FigureOf(VekId segment) const;
    // Loaded and within the command's limits.
    bool Pickable(std::size_t figure) const;
    bool InInches(const RunSettings& settings) const;
    // Sets aside the text before the first picked figure not yet written back.
    void Spill();

    dxf::Document doc_;
    FigureSet set_;
    std::vector<VekId> segmentOf_;  // per figure: its host segment, or VEK_NONE
    std::vector<VekId> layerOf_;    // per figure: its host layer
    std::unordered_map<VekId, std::size_t> figureOfSegment_;
    std::vector<bool> loaded_;            // per figure: in the host
    std::optional<DxfWriteBack> writer_;  // from the first figure written back
    std::optional<std::string> writeError_;
    // Set aside: the picked figures by their first entity, whether each
    // figure is written back, how many of them in order are, and how many
    // have been written back since the text was last set aside.
    std::unique_ptr<SpillFile> spill_;
    std::vector<std::pair<std::size_t, std::size_t>> pickedByEntity_;
    std::vector<bool> writtenBack_;
    std::size_t writtenInOrder_ = 0;
    std::size_t sinceSpilled_ = 0;          // figures written back since text was set aside
    std::size_t elementsSinceSpilled_ = 0;  // and their elements
    std::size_t figuresPerSpill_ = kFiguresPerSpill;
};

}  // namespace vekhost_tool
