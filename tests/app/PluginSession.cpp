#include "tests/app/PluginSession.h"

#include "tools/vekhost/TextConvert.h"

#include <algorithm>

namespace flowtest {

namespace {

vekhost_tool::Plugin plugin;

}  // namespace

vekhost_tool::Plugin& LoadedPlugin() {
    if (!plugin.IsLoaded()) {
        std::string error;
        EXPECT_TRUE(plugin.Load(vekhost_tool::PluginBesideExecutable(), error)) << error;
    }
    return plugin;
}

void UnloadPlugin() {
    plugin.Unload();
}

void PluginTest::SetUp() {
    settings_ = std::make_unique<vekhost_tool::ScratchSettings>();
    ASSERT_TRUE(settings_->Ok());
    vekhost::Reset();
    ASSERT_TRUE(LoadedPlugin().IsLoaded());
    ASSERT_EQ(LoadedPlugin().Startup()(0, 0, 0, 0), 0);
}

void PluginTest::TearDown() {
    vekhost::Reset();
    settings_.reset();
}

int32_t PluginTest::StartAndGivePoint(double x, double y) {
    EXPECT_EQ(vekhost::StartCommand(), 0);
    return vekhost::SendPoint(x, y);
}

void PluginTest::RunCommand(double x, double y, const std::vector<VekId>& picked) {
    ASSERT_EQ(StartAndGivePoint(x, y), 2);
    vekhost::Select(picked);
    EXPECT_EQ(vekhost::FinishSelection(), 0);
    vekhost::EndCommand();
}

VekId AddLine(double x1, double y1, double x2, double y2) {
    return vekhost::AddSegment({vekhost::Line(x1, y1, x2, y2)});
}

VekId AddSquare(double x, double y, double side) {
    return vekhost::AddSegment(
        {vekhost::Line(x, y, x + side, y), vekhost::Line(x + side, y, x + side, y + side),
         vekhost::Line(x + side, y + side, x, y + side), vekhost::Line(x, y + side, x, y)},
        true);
}

std::vector<VekId> NewSegments(const std::vector<VekId>& before) {
    std::vector<VekId> added;
    for (VekId id : vekhost::Segments()) {
        if (std::find(before.begin(), before.end(), id) == before.end()) {
            added.push_back(id);
        }
    }
    return added;
}

std::vector<std::string> LoggedCallNames() {
    std::vector<std::string> names;
    for (const std::string& call : vekhost::CallLog()) {
        names.push_back(call.substr(0, call.find('(')));
    }
    return names;
}

}  // namespace flowtest
