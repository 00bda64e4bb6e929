// What the host made of each converted figure of a DXF drawing, written back
// into the drawing's own text: a polyline stays itself, a chain's entities
// are rewritten in place, and what cannot be paired one for one gives way to
// new entities. Values the conversion put on the grid are written as the
// grid's decimals, and an arc as the circle that found its centre, so that
// its ends, which DXF derives from the centre and radius, are the host's.
#pragma once

#include "tools/dxf/DxfDocument.h"
#include "tools/dxf/DxfEntities.h"
#include "tools/vekhost/DxfFigures.h"
#include "tools/vekhost/GridValues.h"
#include "tools/vekhost/RunReport.h"

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vekhost_tool {

// A result the drawing cannot hold; nothing is to be written.
class WriteBackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DxfWriteBack {
public:
    // `inches`: the converted figures are in inches (for the palette's dashes).
    DxfWriteBack(dxf::Document& doc, const RunSettings& settings, bool inches);

    // Writes what became of `figure`, which had `before` elements, as `result`
    // reports it. Throws WriteBackError or std::invalid_argument.
    void Write(const DxfFigure& figure, std::size_t before, const FigureReport& result);

    // Notes for the user (a line type the drawing has no table for, ...).
    const std::vector<std::string>& Notes() const { return notes_; }

    struct After {
        std::vector<vekhost::Element> elements;  // of every segment made, in order
        bool closed = false;
        std::vector<int> from;  // per element: the element before it came from, or -1
    };

private:
    After AfterOf(const FigureReport& result, std::size_t before) const;
    void WritePolyline(const DxfFigure& figure, std::size_t before, const After& after);
    void WriteChain(const DxfFigure& figure, const FigureReport& result, const After& after);
    void WritePieces(std::size_t entity, const std::vector<vekhost::Element>& elements, double z);

    dxf::Line LineOf(const vekhost::Element& e, double z) const;
    dxf::Arc ArcOf(const vekhost::Element& e, double z) const;
    dxf::Circle CircleOf(const vekhost::Element& e, double z) const;
    dxf::Point3 At(const double p[2], double z, double magnitude) const;

    dxf::Restyle RestyleFor(const LineTypeRecord& record);
    dxf::Style Restyled(dxf::Style style, const dxf::Restyle& restyle) const;

    dxf::Document& doc_;
    const RunSettings settings_;
    const bool inches_;
    const GridValues grid_;
    // Arcs of the figure being written whose centre was found at another
    // radius than their own: that radius.
    std::unordered_map<VekId, double> radiusFound_;
    std::map<std::pair<int32_t, int32_t>, dxf::Restyle> restyles_;
    std::vector<std::string> notes_;
};

}  // namespace vekhost_tool
