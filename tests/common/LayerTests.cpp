#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Layers.hpp"

namespace fs = std::filesystem;

TEST(Layers, NoSourceIncludesAHeaderAboveItsLayer) {
  const fs::path root = TARNWICK_SOURCE_DIR;
  std::vector<std::string> found;
  size_t checked = 0;
  for (const char* top : {"kit", "platform", "app"}) {
    for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
      const auto extension = entry.path().extension();
      if (extension != ".cpp" && extension != ".hpp") continue;
      std::ifstream file(entry.path());
      std::stringstream text;
      text << file.rdbuf();
      auto more = Layers::violations(fs::relative(entry.path(), root).string(), text.str());
      found.insert(found.end(), more.begin(), more.end());
      ++checked;
    }
  }
  EXPECT_GT(checked, 100u);
  EXPECT_EQ(found, std::vector<std::string>{});
}

TEST(Layers, WrongIncludesAreCaught) {
  auto flagged = [](const std::string& path, const std::string& header) {
    return !Layers::violations(path, "#include <vector>\n#include \"" + header + "\"\n").empty();
  };
  // Upward, sideways within a layer, and into a backend.
  EXPECT_TRUE(flagged("kit/perception/AppList.cpp", "kit/tools/Engine.hpp"));
  EXPECT_TRUE(flagged("kit/common/Text.cpp", "kit/platform/Desktop.hpp"));
  EXPECT_TRUE(flagged("kit/protocol/MCPConnection.cpp", "kit/bridge/WebControl.hpp"));
  EXPECT_TRUE(flagged("kit/input/StackGuard.hpp", "kit/backstage/Backstage.hpp"));
  EXPECT_TRUE(flagged("kit/bridge/WebBridge.cpp", "kit/setup/ClientSetup.hpp"));
  EXPECT_TRUE(flagged("kit/tools/Engine.cpp", "platform/sim/SimDesktop.hpp"));
  EXPECT_TRUE(flagged("platform/sim/SimModel.cpp", "kit/perception/AX.hpp"));
  EXPECT_TRUE(flagged("platform/x11/X11Desktop.cpp", "platform/sim/SimDesktop.hpp"));
  EXPECT_TRUE(flagged("kit/tools/Tool.hpp", "app/AppDelegate.hpp"));

  EXPECT_FALSE(flagged("kit/tools/Engine.cpp", "kit/perception/Apps.hpp"));
  EXPECT_FALSE(flagged("kit/tools/Engine.cpp", "kit/tools/Engine.hpp"));
  EXPECT_FALSE(flagged("platform/x11/X11Desktop.cpp", "kit/platform/Desktop.hpp"));
  EXPECT_FALSE(flagged("app/DesktopChoice.cpp", "platform/x11/X11Desktop.hpp"));
  EXPECT_FALSE(flagged("tests/tools/DispatchTests.cpp", "platform/sim/SimDesktop.hpp"));
}
