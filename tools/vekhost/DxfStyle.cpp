#include "tools/vekhost/DxfStyle.h"

#include "tools/dxf/DxfColours.h"
#include "settings/PaletteTables.h"

#include <string>

namespace vekhost_tool {

namespace {

// What repeats in each picture. The first dash of LINETYPE02 and LINETYPE08
// is a longer lead-in; the long dashes of LINETYPE09 and LINETYPE10 run past
// the picture's ends, so they take the length of the longer visible piece.
const std::vector<int> kPeriods[kLineTypeCount] = {
    {},
    {3, 2},
    {6, 3, 3, 3},
    {6, 2, 3, 2, 3, 2},
    {6, 4},
    {11, 3, 4, 3},
    {11, 2, 3, 2, 3, 2},
    {9, 7},
    {26, 5, 6, 5},
    {23, 4, 6, 4, 6, 4},
};

constexpr double kMillimetresPerInch = 25.4;

std::string Narrow(const std::basic_string<WCHAR>& text) {
    std::string out;
    for (WCHAR c : text) {
        out.push_back(static_cast<char>(c));  // the palette's names are ASCII
    }
    return out;
}

}  // namespace

std::vector<int> DashPeriod(int position) {
    if (position < 1 || position > kLineTypeCount) {
        return {};
    }
    return kPeriods[position - 1];
}

PaletteLook PaletteLookOf(const LineTypeRecord& record, bool inches) {
    MainColorTable colours;
    BuildMainColors(colours);
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);
    int colour = 1;
    for (int p = 1; p <= colours.count; ++p) {
        if (colours.entries[static_cast<size_t>(p)].index == record.colorIndex) {
            colour = p;
            break;
        }
    }
    int lineType = 1;
    for (int p = 1; p <= lineTypes.count; ++p) {
        if (lineTypes.entries[static_cast<size_t>(p)].code == record.lineTypeCode) {
            lineType = p;
            break;
        }
    }
    const MainColorEntry& c = colours.entries[static_cast<size_t>(colour)];
    PaletteLook look;
    look.rgb =
        static_cast<std::uint32_t>((c.red & 0xFF) << 16 | (c.green & 0xFF) << 8 | (c.blue & 0xFF));
    look.aci = dxf::NearestAci(look.rgb);
    look.colourName = Narrow(c.name);
    look.lineTypeName = Narrow(lineTypes.entries[static_cast<size_t>(lineType)].name);
    const std::vector<int> period = DashPeriod(lineType);
    if (period.empty()) {
        look.lineType = "CONTINUOUS";
        return look;
    }
    look.lineType = "TARNEX_" + look.lineTypeName;
    const double pixel = inches ? 1 / kMillimetresPerInch : 1.0;
    for (size_t k = 0; k < period.size(); ++k) {
        look.pattern.push_back((k % 2 == 0 ? 1 : -1) * period[k] * pixel);
    }
    return look;
}

}  // namespace vekhost_tool
