// What the browser page shows of a drawing before any run: the summary's
// first lines, its layers and bounds, and each figure the command can pick
// with its outline and end points, read by the driver's own code.
#pragma once

#include <string>

namespace tarnex_page {

// A JSON text: {"ok":true,"format":"dxf"|"json","overview":[...],
// "layers":[...],"bounds":[minX,minY,maxX,maxY],"figures":[{"id","layer",
// "d","ends"}]}, or {"ok":false,"error":"..."} naming the file and, for a
// DXF fault, the line, as vekhost says it.
std::string InspectDrawing(const std::string& path);

}  // namespace tarnex_page
