// How converted entities look in a DXF drawing when the run gives them the
// palette's colour and line type: the nearest ACI and the true colour, and a
// line type dashed like its picture in the line-type picker.
#pragma once

#include "veksdk/VekLib.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vekhost_tool {

struct PaletteLook {
    int aci = 7;                   // nearest to `rgb`
    std::uint32_t rgb = 0xFFFFFF;  // 0x00RRGGBB, written as the true colour
    std::string colourName;        // "MAINCOLOR05"
    std::string lineType;          // LTYPE name: "CONTINUOUS", "TARNEX_LINETYPE05", ...
    std::string lineTypeName;      // "LINETYPE05"
    std::vector<double> pattern;   // in drawing units: dashes positive, gaps negative
};

// The look of the host's record {colour index, line-type code}, with the
// dashes sized for figures in inches or else millimetres (a pixel of the
// picture is a millimetre). An index or code outside the palette reads as
// its first entry, as the plug-in's own look-up does.
PaletteLook PaletteLookOf(const LineTypeRecord& record, bool inches);

// One period of the dashes of the line type at a palette position (1 to 10)
// in pixels of its picture, dash first: what repeats between the picture's
// ends. Empty for the continuous line.
std::vector<int> DashPeriod(int position);

}  // namespace vekhost_tool
