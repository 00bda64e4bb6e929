// What one stage of the command hands to the next: the settings the
// conversion passes use and the reference point the user gave. Both are plain
// process-wide variables, read and written directly, and never passed to the
// host.
#pragma once

#include <cstdint>

// The settings as the conversion passes use them. The first four fields are
// named after the registry values they come from; the last two hold the
// host's colour index and line-type code resolved from the stored names.
struct SettingsRecord {
    int32_t d_point;       // decimal places kept; 0 whole units, negative: tens, hundreds...
    int32_t inchmm;        // 1 inch to mm, 2 mm to inch, anything else no conversion
    int32_t IsExploded;    // 1 selects the exploded pass
    int32_t Color;         // exactly 1: converted figures get colorIndex and lineTypeCode
    int32_t colorIndex;    // host colour index (0 to 15)
    int32_t lineTypeCode;  // host line-type code (0 to 9)
};

// All fields 0 until the settings are first loaded.
extern SettingsRecord ActiveSettings;

// Reference point of the current command, x then y; (0, 0) until the first
// point is taken, and kept across commands.
extern double RefPoint[2];
