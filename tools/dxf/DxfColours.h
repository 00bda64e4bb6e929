// The AutoCAD Colour Index (ACI): the 255 colours a DXF colour group (62)
// names, and the one nearest to a colour given as red, green and blue.
#pragma once

#include <cstdint>

namespace dxf {

// 0x00RRGGBB of ACI 1..255 as CAD programs show them (7 white); 0 for
// anything else (0 by block and 256 by layer have no colour of their own).
std::uint32_t AciColour(int aci);

// The ACI nearest to 0x00RRGGBB (least squared distance of the three
// components; the lowest number on a tie, so white is 7).
int NearestAci(std::uint32_t rgb);

}  // namespace dxf
