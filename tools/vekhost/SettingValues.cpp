#include "tools/vekhost/SettingValues.h"

#include "tools/vekhost/Console.h"
#include "tools/vekhost/TextConvert.h"
#include "numeric/NumberText.h"
#include "numeric/PortableMath.h"
#include "settings/PaletteTables.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vekhost_tool {

namespace {

// The conversion rounds to a grid of 10^-d_point; 10^|d_point| must be a
// double, or the grid step is infinite (d_point below 0) or the rounding's
// scale is (above 0).
constexpr int32_t kMostPlaces = std::numeric_limits<double>::max_exponent10;

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string Shortest(double value) {
    char text[32];
    const auto end = numeric::WriteDouble(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// 10^-places as the double nearest it (1/10^308 is not: the quotient of
// a subnormal is off in its last digits).
double GridStep(int32_t places) {
    double step = 0;
    const std::string text = "1e" + std::to_string(-places);
    numeric::ReadDouble(text.data(), text.data() + text.size(), step);
    return step;
}

// An optional sign and decimal digits, nothing else; empty when the text is
// not that or the number is beyond 32 bits.
std::optional<int32_t> WholeNumber(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-') {
        ++first;
    }
    int32_t number = 0;
    const auto [end, failure] = std::from_chars(first, last, number);
    if (failure != std::errc() || end != last) {
        return std::nullopt;
    }
    return number;
}

std::optional<std::string> CheckPlaces(const std::string& value, std::string& error) {
    const std::string offered = " (the settings dialog offers " +
                                std::to_string(kFewestOfferedPlaces) + " to " +
                                std::to_string(kMostOfferedPlaces) + ")";
    const auto places = WholeNumber(value);
    const bool finiteStep = places && *places >= -kMostPlaces && *places <= kMostPlaces &&
                            std::isfinite(numeric::PowerOfTen(*places));
    if (!finiteStep) {
        error =
            "d_point must be a whole number from " + std::to_string(-kMostPlaces) + " to " +
            std::to_string(kMostPlaces) + offered + ", not " + Quoted(value) +
            (places ? ": a grid of 10^" + std::to_string(-*places) + " cannot be computed" : "");
        return std::nullopt;
    }
    return std::to_string(*places);
}

// One of the setting's choices exactly.
std::optional<std::string> CheckChoice(const std::string& name, const std::string& value,
                                       std::string& error) {
    const std::vector<SettingChoice> allowed = SettingChoices(name);
    std::string listed;
    for (size_t i = 0; i < allowed.size(); ++i) {
        if (allowed[i].value == value) {
            return value;
        }
        listed += (i == 0                    ? ""
                   : i + 1 == allowed.size() ? " or "
                                             : ", ") +
                  std::string(allowed[i].value) + " (" + allowed[i].meaning + ")";
    }
    error = name + " must be " + listed + ", not " + Quoted(value);
    return std::nullopt;
}

// A palette name in any letter case, spelt as the palette spells it.
template <typename Table>
std::optional<std::string> CheckPaletteName(const std::string& name, const std::string& value,
                                            const Table& table, const std::string& what,
                                            std::string& error) {
    const auto wide = Utf8ToUtf16(value);
    const int position = wide ? FindByName(table, ToWideText<WCHAR>(*wide)) : 0;
    if (position != 0) {
        return Utf16ToUtf8(FromWideText(table.entries[static_cast<size_t>(position)].name));
    }
    std::string listed;
    for (int i = 1; i <= table.count; ++i) {
        listed += (i == 1 ? "" : ", ") +
                  Utf16ToUtf8(FromWideText(table.entries[static_cast<size_t>(i)].name));
    }
    error = name + " must be " + what + " of the palette: " + listed + " (any letter case), not " +
            Quoted(value);
    return std::nullopt;
}

std::optional<std::string> CheckValue(const std::string& name, const std::string& value,
                                      std::string& error) {
    if (name == "d_point") {
        return CheckPlaces(value, error);
    }
    if (name == "inchmm" || name == "IsExploded" || name == "Color") {
        return CheckChoice(name, value, error);
    }
    if (name == "mColor1") {
        MainColorTable colors;
        BuildMainColors(colors);
        return CheckPaletteName(name, value, colors, "a colour", error);
    }
    LineTypeTable lineTypes;
    BuildLineTypes(lineTypes);
    return CheckPaletteName(name, value, lineTypes, "a line type", error);
}

}  // namespace

std::vector<SettingChoice> SettingChoices(const std::string& name) {
    if (name == "inchmm") {
        return {
            {"0", "units kept"}, {"1", "inches to millimetres"}, {"2", "millimetres to inches"}};
    }
    if (name == "IsExploded") {
        return {{"0", "figures kept whole"}, {"1", "each figure exploded first"}};
    }
    if (name == "Color") {
        return {{"0", "colour and line type kept"},
                {"1", "converted figures take mColor1 and mLType1"}};
    }
    return {};
}

std::optional<std::pair<std::string, std::string>> CheckSetting(const std::string& assignment,
                                                                std::string& error) {
    const size_t equals = assignment.find('=');
    const auto name = CanonicalSettingName(assignment.substr(0, equals));
    if (equals == std::string::npos || !name) {
        error =
            "--set wants NAME=VALUE with NAME one of d_point, inchmm, IsExploded, Color, "
            "mColor1, mLType1, not " +
            Quoted(assignment);
        return std::nullopt;
    }
    const auto value = CheckValue(*name, assignment.substr(equals + 1), error);
    if (!value) {
        return std::nullopt;
    }
    return std::make_pair(*name, *value);
}

std::string SettingWarning(const std::string& name, const std::string& value) {
    const auto places = name == "d_point" ? WholeNumber(value) : std::nullopt;
    if (!places || (*places >= kFewestOfferedPlaces && *places <= kMostOfferedPlaces)) {
        return {};
    }
    return "d_point " + value + " is not one the settings dialog offers (" +
           std::to_string(kFewestOfferedPlaces) + " to " + std::to_string(kMostOfferedPlaces) +
           "): the grid step is " + Shortest(GridStep(*places));
}

void WarnOfUnusualSettings(const SettingList& settings) {
    for (const auto& [name, value] : settings) {
        const std::string warning = SettingWarning(name, value);
        if (!warning.empty()) {
            WriteErr("warning: " + warning + "\n");
        }
    }
}

std::optional<SettingList> SetArguments(const std::vector<std::string>& args, std::string& error) {
    SettingList settings;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (args[i] != "--set") {
            error = "settings takes only --set NAME=VALUE, not " + Quoted(args[i]);
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            error = "--set needs a value";
            return std::nullopt;
        }
        const auto setting = CheckSetting(args[i + 1], error);
        if (!setting) {
            return std::nullopt;
        }
        settings.push_back(*setting);
    }
    return settings;
}

}  // namespace vekhost_tool
