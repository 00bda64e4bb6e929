// What the browser page's module tells the page besides a run: a drawing's
// figures before any run (random drawings: every figure, found by its
// handles, its outline readable and within the bounds; a drawing of known
// figures exactly; damaged drawings refused naming their line), and the
// settings the dialog offers (every choice one that vekhost takes, the
// defaults among them, the palette's pictures present); and the progress the
// page's bar is told.
#include "tests/app/DxfGenerated.h"
#include "tests/dxf/DxfFragments.h"
#include "tools/vekhost/CommandPlay.h"
#include "tools/vekhost/Progress.h"
#include "tools/vekhost/SettingValues.h"
#include "tools/wasm/DrawingOverview.h"
#include "tools/wasm/SettingsJson.h"
#include "numeric/NumberText.h"
#include "platform/veklib/VekHost.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class PageModule : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() / ("tarnex-page-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    json Inspect(const std::string& name, const std::string& text) {
        const fs::path file = folder_ / name;
        std::ofstream(file, std::ios::binary) << text;
        return json::parse(tarnex_page::InspectDrawing(file.string()));
    }

    fs::path folder_;
};

// The numbers of SVG path data, each read back whole; the commands counted.
struct PathData {
    std::vector<double> numbers;
    int moves = 0, lines = 0, arcs = 0;
    bool readable = true;
};

PathData ReadPath(const std::string& d) {
    PathData path;
    size_t at = 0;
    while (at < d.size()) {
        const size_t end = std::min(d.find(' ', at), d.size());
        const std::string word = d.substr(at, end - at);
        at = end + 1;
        if (word == "M" || word == "L" || word == "A" || word == "Z") {
            (word == "M" ? path.moves : word == "L" ? path.lines : path.arcs) += word != "Z";
            continue;
        }
        double value = 0;
        const auto read = numeric::ReadDouble(word.data(), word.data() + word.size(), value);
        path.readable = path.readable && !word.empty() && read.ec == std::errc{} &&
                        read.ptr == word.data() + word.size();
        path.numbers.push_back(value);
    }
    return path;
}

TEST_F(PageModule, EveryFigureOfARandomDrawingIsDescribed) {
    const uint64_t seed = dxftest::PropertySeed();
    SCOPED_TRACE("TARNEX_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    for (int round = 0; round < 40; ++round) {
        const int figures = 1 + static_cast<int>(rng() % 6);
        const dxftest::GeneratedDrawing drawing = dxftest::MakeDrawing(rng, 17, figures);
        const json answer = Inspect("random.dxf", drawing.text);
        ASSERT_TRUE(answer["ok"]) << answer.dump();
        EXPECT_EQ(answer["format"], "dxf");
        ASSERT_EQ(answer["figures"].size(), static_cast<size_t>(figures));
        std::set<std::string> layers;  // each once, each a figure's
        ASSERT_EQ(answer["overview"].size(), 1u);
        EXPECT_TRUE(answer["overview"][0].get<std::string>().starts_with("Drawing: AC1015"));
        const auto& b = answer["bounds"];
        const double slack =
            1e-9 * std::max({std::abs(b[0].get<double>()), std::abs(b[2].get<double>()),
                             std::abs(b[1].get<double>()), std::abs(b[3].get<double>())});
        for (const auto& figure : answer["figures"]) {
            // A chain is known by the handle of one of its entities.
            const std::string id = figure["id"];
            for (const auto& chain : drawing.chains) {
                if (std::find(chain.handles.begin(), chain.handles.end(), id) !=
                    chain.handles.end()) {
                    EXPECT_GE(figure["ends"].size(), 2u) << id;
                }
            }
            EXPECT_TRUE(
                layers.insert(figure["layer"]).second ||
                std::count(answer["layers"].begin(), answer["layers"].end(), figure["layer"]) == 1);
            const PathData path = ReadPath(figure["d"]);
            EXPECT_TRUE(path.readable) << figure["d"];
            EXPECT_GE(path.moves, 1);
            EXPECT_GE(path.lines + path.arcs, 1);
            for (const auto& end : figure["ends"]) {
                EXPECT_GE(end[0].get<double>(), b[0].get<double>() - slack);
                EXPECT_GE(end[1].get<double>(), b[1].get<double>() - slack);
                EXPECT_LE(end[0].get<double>(), b[2].get<double>() + slack);
                EXPECT_LE(end[1].get<double>(), b[3].get<double>() + slack);
            }
        }
        EXPECT_EQ(answer["layers"].size(), layers.size());
    }
}

// A line and a quarter arc chained, and a circle: exactly what the page
// draws and snaps to.
TEST_F(PageModule, KnownFiguresAreDescribedExactly) {
    const json answer = Inspect(
        "known.dxf", dxftest::Modern(dxftest::Tags("0 LINE|5 30|8 Walls|10 0|20 0|11 2|21 0|"
                                                   "0 ARC|5 31|8 Walls|10 2|20 1|40 1|50 270|51 0|"
                                                   "0 CIRCLE|5 32|8 Holes|10 5|20 5|40 0.5")));
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    EXPECT_EQ(answer["layers"], json::array({"Walls", "Holes"}));
    EXPECT_TRUE(answer["pickById"]);
    EXPECT_EQ(answer["bounds"], json::array({0, 0, 5.5, 5.5}));
    ASSERT_EQ(answer["figures"].size(), 2u);
    const json& chain = answer["figures"][0];
    EXPECT_EQ(chain["id"], "30");
    EXPECT_EQ(chain["layer"], "Walls");
    EXPECT_EQ(chain["d"], "M 0 0 L 2 0 A 1 1 0 0 1 3 1");
    EXPECT_EQ(chain["ends"], json::parse("[[0,0],[2,0],[3,1]]"));
    const json& circle = answer["figures"][1];
    EXPECT_EQ(circle["id"], "32");
    EXPECT_EQ(circle["d"], "M 5.5 5 A 0.5 0.5 0 0 1 4.5 5 A 0.5 0.5 0 0 1 5.5 5 Z");
    EXPECT_EQ(circle["ends"], json::parse("[[5,5]]"));
}

// A drawing of more figures than one run of the command takes is described
// a run's worth at a time: every figure, each its own.
TEST_F(PageModule, EveryFigureOfADrawingLargerThanARunIsDescribed) {
    const std::size_t count = 2 * vekhost_tool::kFiguresPerRun + 7;
    std::string tags;
    for (std::size_t k = 0; k < count; ++k) {
        const std::string y = std::to_string(3 * k);
        tags += "0 LINE|5 " + std::to_string(100 + k) + "|8 0|10 0|20 " + y + "|11 1|21 " + y + "|";
    }
    const json answer = Inspect("many.dxf", dxftest::Modern(dxftest::Tags(tags)));
    ASSERT_TRUE(answer["ok"]) << answer.dump().substr(0, 200);
    ASSERT_EQ(answer["figures"].size(), count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::string y = std::to_string(3 * k);
        ASSERT_EQ(answer["figures"][k]["d"], "M 0 " + y + " L 1 " + y) << k;
    }
}

TEST_F(PageModule, AJsonDrawingsFiguresAreItsSegments) {
    vekhost::Reset();
    const VekId layer = vekhost::AddLayer("walls \"A\"");
    const VekId first = vekhost::AddSegment({vekhost::Line(0, 0, 1, 0)}, false, layer);
    const VekId second = vekhost::AddSegment({vekhost::Line(1, 1, 1, 3)});
    const std::string text = vekhost::ToJson();
    vekhost::Reset();
    const json answer = Inspect("drawing.json", text);
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    EXPECT_EQ(answer["format"], "json");
    EXPECT_TRUE(answer["pickById"]);
    ASSERT_EQ(answer["figures"].size(), 2u);
    EXPECT_EQ(answer["figures"][0]["id"], std::to_string(first));
    EXPECT_EQ(answer["figures"][0]["layer"], "walls \"A\"");
    EXPECT_EQ(answer["figures"][1]["id"], std::to_string(second));
    EXPECT_EQ(answer["bounds"], json::array({0, 0, 1, 3}));
    EXPECT_TRUE(vekhost::Segments().empty());  // nothing left in the host
}

// Without handles a figure is named by its line and cannot be picked alone.
TEST_F(PageModule, AFigureWithoutAHandleIsNamedByItsLine) {
    const json answer =
        Inspect("r12.dxf", dxftest::R12(dxftest::Tags("0 LINE|8 0|10 0|20 0|11 2|21 0")));
    ASSERT_TRUE(answer["ok"]) << answer.dump();
    EXPECT_FALSE(answer["pickById"]);
    ASSERT_EQ(answer["figures"].size(), 1u);
    const std::string text = dxftest::R12(dxftest::Tags("0 LINE|8 0|10 0|20 0|11 2|21 0"));
    const size_t entity = text.find("LINE\n") - 4;  // the line of its "  0" tag
    EXPECT_EQ(answer["figures"][0]["id"],
              std::to_string(std::count(text.begin(), text.begin() + entity, '\n') + 1));
}

// Damaged drawings: the error vekhost gives, naming the line.
TEST_F(PageModule, ADamagedDrawingIsRefusedWithItsLine) {
    const std::string good = dxftest::Modern("0 LINE|5 30|8 0|10 0|20 0|11 2|21 0|");
    const size_t value = good.find("\n 10\n0\n") + 5;
    const int line = static_cast<int>(std::count(good.begin(), good.begin() + value, '\n')) + 1;
    struct Case {
        std::string name, text, says;
    };
    const Case cases[] = {
        {"number.dxf", good.substr(0, value) + "x" + good.substr(value + 1),
         "line " + std::to_string(line)},
        {"cut.dxf", good.substr(0, value), "line"},
        {"empty.json", "", "is empty"},
        {"text.json", "hello", "is not a drawing"},
        {"missing.dxf", "", ""},
    };
    for (const Case& c : cases) {
        json answer;
        if (c.name == "missing.dxf") {
            answer = json::parse(tarnex_page::InspectDrawing((folder_ / c.name).string()));
        } else {
            answer = Inspect(c.name, c.text);
        }
        EXPECT_FALSE(answer["ok"]) << c.name;
        const std::string error = answer["error"];
        EXPECT_NE(error.find(c.name), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
    }
}

TEST(PageSettings, EveryChoiceIsOneVekhostTakes) {
    const json settings = json::parse(tarnex_page::SettingsJson());
    std::vector<std::string> names;
    for (const json& setting : settings["settings"]) {
        const std::string name = setting["name"];
        names.push_back(name);
        ASSERT_FALSE(setting["choices"].empty()) << name;
        bool defaultOffered = false;
        for (const json& choice : setting["choices"]) {
            const std::string value = choice["value"];
            std::string error;
            const auto checked = vekhost_tool::CheckSetting(name + "=" + value, error);
            ASSERT_TRUE(checked) << error;
            EXPECT_EQ(checked->second, value);
            EXPECT_TRUE(vekhost_tool::SettingWarning(name, value).empty()) << name << value;
            EXPECT_FALSE(choice["label"].get<std::string>().empty());
            defaultOffered = defaultOffered || value == setting["default"];
        }
        EXPECT_TRUE(defaultOffered) << name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"d_point", "inchmm", "IsExploded", "Color",
                                               "mColor1", "mLType1"}));
    EXPECT_EQ(settings["settings"][1]["choices"].size(), 3u);  // inchmm 0, 1, 2
    EXPECT_EQ(settings["colours"].size(), 16u);
    EXPECT_EQ(settings["colours"][1], json::parse(R"({"name":"MAINCOLOR02","index":1,
                                                       "rgb":[0,192,255]})"));
    ASSERT_EQ(settings["lineTypes"].size(), 10u);
#ifndef _WIN32
    for (const json& lineType : settings["lineTypes"]) {
        const fs::path bitmap =
            fs::path(TARNEX_SOURCE_DIR) / "res/linetypes" / lineType["bitmap"].get<std::string>();
        EXPECT_TRUE(fs::exists(bitmap)) << bitmap;
    }
#endif
    EXPECT_EQ(settings["lineTypes"][6],
              json::parse(R"({"name":"LINETYPE07","index":3,"bitmap":"LineType07.bmp"})"));
}

// The start and the end always, in order, and not every step.
TEST(PageProgress, TheListenerIsToldTheStartAndTheEnd) {
    static std::vector<std::pair<size_t, size_t>> told;
    told.clear();
    vekhost_tool::SetProgressListener([](size_t done, size_t total) {
        told.push_back({done, total});
    });
    {
        vekhost_tool::Progress progress("Converting figures");
        for (size_t done = 0; done <= 1000; ++done) {
            progress.Update(done, 1000);
        }
    }
    vekhost_tool::SetProgressListener(nullptr);
    ASSERT_GE(told.size(), 2u);
    EXPECT_LT(told.size(), 100u);
    EXPECT_EQ(told.front(), std::make_pair(size_t{0}, size_t{1000}));
    EXPECT_EQ(told.back(), std::make_pair(size_t{1000}, size_t{1000}));
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
}

}  // namespace
