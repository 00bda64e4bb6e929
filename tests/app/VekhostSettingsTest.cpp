// Settings given on the command line: checked as the settings dialog offers
// them, kept to the run they are given for, stored by `vekhost settings
// --set`, and many vekhost processes on one store at once.
#include "tests/app/VekhostFixture.h"
#include "tools/vekhost/SettingValues.h"
#include "platform/veklib/VekHost.h"
#include "engine/Rounding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace vekhosttest;

namespace {

struct ValueCase {
    const char* given;    // NAME=VALUE
    const char* taken;    // the value stored, or null when refused
    const char* message;  // part of the refusal or of the warning; "" for none
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.given;
}

const ValueCase kValueCases[] = {
    {"d_point=3", "3", ""},
    {"D_POINT=+04", "4", ""},
    {"d_point=0", "0", "not one the settings dialog offers (1 to 5): the grid step is 1"},
    {"d_point=6", "6", "the grid step is 1e-06"},
    {"d_point=-2", "-2", "the grid step is 100"},
    {"d_point=308", "308", "the grid step is 1e-308"},
    {"d_point=-308", "-308", "the grid step is 1e+308"},
    {"d_point=309", nullptr, "not '309': a grid of 10^-309 cannot be computed"},
    {"d_point=-309", nullptr, "a grid of 10^309 cannot be computed"},
    {"d_point=99999999999", nullptr, "d_point must be a whole number from -308 to 308"},
    {"d_point=abc", nullptr, "(the settings dialog offers 1 to 5), not 'abc'"},
    {"d_point=2.5", nullptr, "not '2.5'"},
    {"d_point= 2", nullptr, "not ' 2'"},
    {"d_point=+-2", nullptr, "not '+-2'"},
    {"d_point=", nullptr, "not ''"},
    {"inchmm=2", "2", ""},
    {"inchmm=7", nullptr,
     "inchmm must be 0 (units kept), 1 (inches to millimetres) or 2 (millimetres to inches), "
     "not '7'"},
    {"inchmm=01", nullptr, "not '01'"},
    {"IsExploded=1", "1", ""},
    {"IsExploded=2", nullptr,
     "IsExploded must be 0 (figures kept whole) or 1 (each figure exploded first), not '2'"},
    {"Color=0", "0", ""},
    {"color=yes", nullptr, "Color must be 0 (colour and line type kept) or 1"},
    {"mColor1=maincolor05", "MAINCOLOR05", ""},
    {"mColor1=MAINCOLOR17", nullptr, "MAINCOLOR15, MAINCOLOR16 (any letter case), not"},
    {"mColor1=red", nullptr, "mColor1 must be a colour of the palette: MAINCOLOR01, MAINCOLOR02"},
    {"mLType1=LineType10", "LINETYPE10", ""},
    {"mLType1=LINETYPE11", nullptr,
     "mLType1 must be a line type of the palette: LINETYPE01, LINETYPE02, LINETYPE03, "
     "LINETYPE04, LINETYPE05, LINETYPE06, LINETYPE07, LINETYPE08, LINETYPE09, LINETYPE10 "
     "(any letter case), not 'LINETYPE11'"},
    {"digits=2", nullptr, "--set wants NAME=VALUE with NAME one of d_point"},
    {"d_point", nullptr, "--set wants NAME=VALUE"},
};

class SettingValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(SettingValue, IsTakenAsTheDialogWouldStoreItOrRefusedWithTheValuesAllowed) {
    const ValueCase& c = GetParam();
    std::string error;
    const auto setting = vekhost_tool::CheckSetting(c.given, error);
    if (c.taken == nullptr) {
        ASSERT_FALSE(setting) << setting->second;
        EXPECT_TRUE(Contains(error, c.message)) << error;
        return;
    }
    ASSERT_TRUE(setting) << error;
    EXPECT_EQ(setting->second, c.taken);
    const std::string warning = vekhost_tool::SettingWarning(setting->first, setting->second);
    if (*c.message == '\0') {
        EXPECT_EQ(warning, "");
    } else {
        EXPECT_TRUE(Contains(warning, c.message)) << warning;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SettingValue, ::testing::ValuesIn(kValueCases));

// Every whole number of places around the range: taken exactly when the grid
// can be computed, with a warning exactly outside what the dialog offers.
TEST(SettingValues, PlacesAreTakenWhereTheGridCanBeComputed) {
    for (int places = -400; places <= 400; ++places) {
        std::string error;
        const auto setting = vekhost_tool::CheckSetting("d_point=" + std::to_string(places), error);
        ASSERT_EQ(setting.has_value(), std::abs(places) <= 308) << places << ": " << error;
        if (setting) {
            EXPECT_EQ(setting->second, std::to_string(places));
            const bool offered = places >= 1 && places <= 5;
            EXPECT_EQ(vekhost_tool::SettingWarning("d_point", setting->second).empty(), offered)
                << places;
        }
    }
}

// `settings --set` stores the checked values together, or none of them.
TEST_F(Vekhost, SettingsSetStoresCheckedValuesAllOrNone) {
    const Outcome refused = RunVekhost({"settings", "--set", "d_point=2", "--set", "inchmm=9"});
    EXPECT_EQ(refused.exitCode, 2) << refused.output;
    EXPECT_TRUE(StoreIsEmpty());

    const Outcome stored = RunVekhost({"settings", "--set", "d_point=7", "--set",
                                       "mltype1=linetype03", "--set", "mColor1=MainColor09"});
    ASSERT_EQ(stored.exitCode, 0) << stored.output;
    EXPECT_TRUE(Contains(stored.output,
                         "warning: d_point 7 is not one the settings dialog "
                         "offers (1 to 5): the grid step is 1e-07"))
        << stored.output;
    EXPECT_EQ(Stored("d_point"), "7");
    EXPECT_EQ(Stored("mLType1"), "LINETYPE03");
    EXPECT_EQ(Stored("mColor1"), "MAINCOLOR09");
    EXPECT_FALSE(Stored("inchmm"));

    // Storing again changes only the values given.
    ASSERT_EQ(RunVekhost({"settings", "--set", "d_point=2"}).exitCode, 0);
    EXPECT_EQ(Stored("d_point"), "2");
    EXPECT_EQ(Stored("mLType1"), "LINETYPE03");
}

// A value of `x` converted at `places` and unit mode `units`: millimetres
// from inches, inches from millimetres, rounded to the places.
double Converted(double x, int places, int units) {
    const double converted = units == 1 ? x * kInchToMm : units == 2 ? x / kInchToMm : x;
    const double scale = std::pow(10.0, places);
    return std::round(converted * scale) / scale;
}

// Sixteen runs started at once on one store, each with settings of its own:
// each converts with its own, with the stored ones for the rest, and the
// store is as it was.
TEST_F(Vekhost, RunsAtOnceEachConvertWithTheirOwnSettings) {
    ASSERT_EQ(RunVekhost({"settings", "--set", "Color=1", "--set", "mColor1=MAINCOLOR06"}).exitCode,
              0);
    vekhost::Reset();
    const double x = 1.23456789;
    vekhost::AddSegment({vekhost::Line(x, 0, 7.5, 0)});
    const std::string drawing = SaveDrawing("in.json");
    constexpr int kRuns = 16;
    auto places = [](int k) { return 1 + k % 8; };
    auto units = [](int k) { return k / 8; };

    std::vector<std::unique_ptr<Started>> runs;
    for (int k = 0; k < kRuns; ++k) {
        const std::string name = std::to_string(k);
        runs.push_back(std::make_unique<Started>(std::vector<std::string>{
            "run", drawing, "--ref", "0,0", "--set", "d_point=" + std::to_string(places(k)),
            "--set", "inchmm=" + std::to_string(units(k)), "-o", Path("out" + name + ".json"),
            "--report", Path("report" + name + ".json")}));
    }
    for (int k = 0; k < kRuns; ++k) {
        SCOPED_TRACE("run " + std::to_string(k));
        const Outcome run = runs[k]->Finish();
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_TRUE(Contains(run.output, "Settings: d_point " + std::to_string(places(k)) + " "))
            << run.output;
        const auto report =
            nlohmann::json::parse(ReadFile(folder_ / ("report" + std::to_string(k) + ".json")));
        const auto& settings = report.at("settings");
        EXPECT_EQ(settings.at("d_point"), places(k));
        EXPECT_EQ(settings.at("inchmm"), units(k));
        EXPECT_EQ(settings.at("mColor1"), "MAINCOLOR06");
        vekhost::FromJson(ReadFile(folder_ / ("out" + std::to_string(k) + ".json")));
        const auto converted = vekhost::GetSegment(vekhost::Segments().back());
        const double expected = Converted(x, places(k), units(k));
        EXPECT_NEAR(converted->elements[0].figure.p1[0], expected, 1e-12 * std::abs(expected));
    }
    EXPECT_EQ(Stored("Color"), "1");
    EXPECT_EQ(Stored("mColor1"), "MAINCOLOR06");
    EXPECT_FALSE(Stored("d_point"));
    EXPECT_FALSE(Stored("inchmm"));
}

// Sixteen `settings --set` at once: none fails, and the store ends with one
// of them whole, never a mixture of two.
TEST_F(Vekhost, StoringAtOnceLeavesOneWholeSetOfValues) {
    constexpr int kWriters = 16;
    auto values = [](int k) {
        return std::vector<std::string>{
            "d_point=" + std::to_string(k + 1), "inchmm=" + std::to_string(k % 3),
            "IsExploded=" + std::to_string(k % 2),
            "mLType1=LINETYPE" +
                std::string(k % 10 == 9 ? "10" : "0" + std::to_string(k % 10 + 1))};
    };
    std::vector<std::unique_ptr<Started>> writers;
    for (int k = 0; k < kWriters; ++k) {
        std::vector<std::string> args = {"settings"};
        for (const std::string& value : values(k)) {
            args.insert(args.end(), {"--set", value});
        }
        writers.push_back(std::make_unique<Started>(args));
    }
    for (auto& writer : writers) {
        const Outcome done = writer->Finish();
        EXPECT_EQ(done.exitCode, 0) << done.output;
    }

    const auto places = Stored("d_point");
    ASSERT_TRUE(places);
    const int k = std::stoi(*places) - 1;
    ASSERT_TRUE(k >= 0 && k < kWriters) << *places;
    for (const std::string& value : values(k)) {
        const size_t equals = value.find('=');
        EXPECT_EQ(Stored(value.substr(0, equals)), value.substr(equals + 1));
    }
}

}  // namespace
