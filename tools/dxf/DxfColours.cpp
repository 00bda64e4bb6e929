#include "tools/dxf/DxfColours.h"

#include <array>

namespace dxf {

namespace {

constexpr std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b);
}

// 1-9 are named colours; 10-249 run round the hue circle in steps of 15
// degrees, ten shades each (full, 165, 127, 76 and 38 of brightness, each
// plain and paled to half its saturation); 250-255 are greys.
std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    const std::uint32_t named[] = {Rgb(255, 0, 0),     Rgb(255, 255, 0),   Rgb(0, 255, 0),
                                   Rgb(0, 255, 255),   Rgb(0, 0, 255),     Rgb(255, 0, 255),
                                   Rgb(255, 255, 255), Rgb(128, 128, 128), Rgb(192, 192, 192)};
    for (int i = 1; i <= 9; ++i) {
        table[static_cast<std::size_t>(i)] = named[i - 1];
    }
    const int bright[] = {255, 165, 127, 76, 38};
    for (int i = 10; i <= 249; ++i) {
        const int hue = (i - 10) / 10 * 15;  // degrees
        const int shade = i % 10;
        const int high = bright[shade / 2];
        const int low = shade % 2 == 0 ? 0 : high / 2;
        // Within a sixth of the circle one component rises or falls linearly.
        const int sixth = hue / 60;
        const int rising = low + (high - low) * (hue % 60) / 60;
        const int falling = high - (high - low) * (hue % 60) / 60;
        int r = 0, g = 0, b = 0;
        switch (sixth) {
            case 0:
                r = high, g = rising, b = low;
                break;
            case 1:
                r = falling, g = high, b = low;
                break;
            case 2:
                r = low, g = high, b = rising;
                break;
            case 3:
                r = low, g = falling, b = high;
                break;
            case 4:
                r = rising, g = low, b = high;
                break;
            default:
                r = high, g = low, b = falling;
                break;
        }
        table[static_cast<std::size_t>(i)] = Rgb(r, g, b);
    }
    const int greys[] = {51, 91, 132, 173, 214, 255};
    for (int i = 250; i <= 255; ++i) {
        const int v = greys[i - 250];
        table[static_cast<std::size_t>(i)] = Rgb(v, v, v);
    }
    return table;
}

const std::array<std::uint32_t, 256>& Table() {
    static const std::array<std::uint32_t, 256> kTable = MakeTable();
    return kTable;
}

int Component(std::uint32_t rgb, int shift) {
    return static_cast<int>(rgb >> shift & 0xFF);
}

}  // namespace

std::uint32_t AciColour(int aci) {
    return aci >= 1 && aci <= 255 ? Table()[static_cast<std::size_t>(aci)] : 0;
}

int NearestAci(std::uint32_t rgb) {
    int best = 1;
    long bestDistance = -1;
    for (int aci = 1; aci <= 255; ++aci) {
        long distance = 0;
        for (int shift : {16, 8, 0}) {
            const long d = Component(rgb, shift) - Component(AciColour(aci), shift);
            distance += d * d;
        }
        if (bestDistance < 0 || distance < bestDistance) {
            best = aci;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace dxf
