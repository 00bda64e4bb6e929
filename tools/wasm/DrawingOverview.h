// What the browser page shows of a drawing before any run: the summary's
// first lines, its layers and bounds, and each figure the command can pick
// with its outline and end points, read by the driver's own code.
#pragma once

#include <string>

namespace tarnex_page {

// A JSON text: {"ok":true,"format":"dxf"|"json","overview":[...],
// "layers":[...],"pickById":true|false,"bounds":[minX,minY,maxX,maxY],
// "figures":[{"id","layer","d","ends"}]}, or {"ok":false,"error":"..."}
// naming the file and, for a DXF fault, the line, as vekhost says it.
// pickById: each figure can be picked by its id (--select handle:ID for
// DXF, --select ID for JSON); false for a DXF drawing without handles,
// whose ids are line numbers.
std::string InspectDrawing(const std::string& path);

}  // namespace tarnex_page
