// What the command-flow tests share: the plug-in loaded from the build folder
// the way a host loads it, a fresh drawing and an empty settings store per
// test, and small drawing helpers.
#pragma once

#include "tools/vekhost/PluginLoader.h"
#include "tools/vekhost/SettingsAccess.h"
#include "platform/veklib/VekHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace flowtest {

// The plug-in library, loaded on first use and kept for the process.
vekhost_tool::Plugin& LoadedPlugin();
// Unloads it, so that the next LoadedPlugin() loads it afresh.
void UnloadPlugin();

// Each test: empty drawing and logs, empty settings store, plug-in loaded and
// registered through its entry.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the command and gives the point; the answer to the point.
    int32_t StartAndGivePoint(double x, double y);
    // A whole command: start, point, pick, finish, end.
    void RunCommand(double x, double y, const std::vector<VekId>& picked);

    std::unique_ptr<vekhost_tool::ScratchSettings> settings_;
};

// Segment helpers.
VekId AddLine(double x1, double y1, double x2, double y2);
VekId AddSquare(double x, double y, double side);
// Figures that exist now and did not exist in `before`.
std::vector<VekId> NewSegments(const std::vector<VekId>& before);
// Names of the host calls logged so far, without their arguments.
std::vector<std::string> LoggedCallNames();

}  // namespace flowtest
