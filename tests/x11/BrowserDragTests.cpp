// An agent drags in Chromium and Firefox through `tarnwick mcp` while the user types in their window.
#include <gtest/gtest.h>

#include <regex>

#include "kit/input/SystemDrag.hpp"
#include "tests/x11/BrowserDesk.hpp"

namespace {

class BrowserDrags : public BrowserDesk {};

}  // namespace

TEST_P(BrowserDrags, APenStrokeIsDrawnOnACanvasThroughItsWaypoints) {
  tool("launch_app", {{"app", fixtures + GetParam()}, {"open", "file://" + fixtures + "canvas.html"}});
  auto browser = browserTitled("Canvas");
  ASSERT_TRUE(browser);
  const std::string app = std::to_string(browser->pid);
  tool("get_app_state", {{"app", app}});
  const UserSide before;
  auto typing = userTypes("a stroke meanwhile");
  // The pad covers the whole page, which covers the middle of the window.
  const double x = 300, y = 400;
  const std::string result = tool("drag", {{"app", app}, {"from_x", x + 50}, {"from_y", y + 50},
                                           {"path", {{x + 200, y + 150}}}, {"to_x", x + 350}, {"to_y", y + 60}});
  EXPECT_TRUE(result.starts_with("Dragged from (350, 450) to (650, 460).")) << result;
  const std::string title = titleOf(browser->pid, "Stroke of ");
  std::smatch drawn;
  ASSERT_TRUE(std::regex_search(title, drawn, std::regex(R"(^Stroke of (\d+) points, lowest (\d+))"))) << title;
  if (GetParam() == "chromium") {
    EXPECT_GE(std::stoi(drawn[1]), 10);
    EXPECT_NEAR(std::stoi(drawn[2]), 100, 4) << "the stroke passes through its waypoint";
  } else {
    // GDK merges motion events that queue up, so on a busy machine Firefox's page sees only
    // some of the stroke's points: it went down towards the waypoint.
    EXPECT_GE(std::stoi(drawn[1]), 3);
    EXPECT_GE(std::stoi(drawn[2]), 40) << "the stroke went towards its waypoint";
    EXPECT_LE(std::stoi(drawn[2]), 104);
  }
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "a stroke meanwhile"; })) << readFile(typedFile());
  expectUserSideKept(before, UserSide());
}

TEST_P(BrowserDrags, ChromiumsTabsAreReorderedByADragBetweenTabs) {
  if (GetParam() != "chromium") GTEST_SKIP() << "only Chrome's tab strip has a verified reorder";
  const std::string fourth = "data:text/html,<title>Fourth</title>";
  const std::string page = "file://" + fixtures;
  ChildProcess chromium(fixtures + "chromium",
                        {"--force-renderer-accessibility", page + "form.html", page + "long.html", page + "canvas.html",
                         fourth},
                        environment());
  auto browser = browserTitled("Local form");
  ASSERT_TRUE(browser);
  const std::string app = std::to_string(browser->pid);
  const std::regex tab(R"re(\] tab "([^"]+)"[^\n]*@(\d+),(\d+) (\d+)x(\d+))re");
  std::vector<std::pair<std::string, Point>> tabs;
  auto readTabs = [&] {
    tabs.clear();
    const std::string state = tool("get_app_state", {{"app", app}});
    for (std::sregex_iterator each(state.begin(), state.end(), tab), end; each != end; ++each) {
      const auto& found = *each;
      tabs.push_back({found[1].str().substr(0, found[1].str().find(" - ")),
                      {std::stod(found[2]) + std::stod(found[4]) / 2, std::stod(found[3]) + std::stod(found[5]) / 2}});
    }
  };
  auto titles = [&] {
    std::string all;
    for (const auto& [title, at] : tabs) all += title + "|";
    return all;
  };
  // Each tab shows its page's title once loaded.
  ASSERT_TRUE(eventually([&] { return readTabs(), titles() == "Local form|Long page|Canvas|Fourth|"; },
                         std::chrono::seconds(30))) << titles();
  run("xdotool windowactivate --sync " + userWindowID());
  const UserSide before;
  auto typing = userTypes("tabs move meanwhile");
  const std::string result = tool("drag", {{"app", app}, {"from_x", tabs[0].second.x}, {"from_y", tabs[0].second.y},
                                           {"to_x", tabs[2].second.x}, {"to_y", tabs[2].second.y}});
  EXPECT_TRUE(result.starts_with("Moved the Chrome tab from position 1 to 3")) << result;
  readTabs();
  EXPECT_EQ(titles(), "Long page|Canvas|Local form|Fourth|");
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "tabs move meanwhile"; })) << readFile(typedFile());
  expectUserSideKept(before, UserSide());
}

TEST_P(BrowserDrags, ALinkDraggedOntoATextFieldIsCancelledBeforeItDrops) {
  tool("launch_app", {{"app", fixtures + GetParam()}, {"open", "file://" + fixtures + "form.html"}});
  auto browser = browserTitled("Local form");
  ASSERT_TRUE(browser);
  const std::string app = std::to_string(browser->pid);
  const std::regex link(R"re(\] link "More"[^\n]*@(\d+),(\d+) (\d+)x(\d+))re");
  const std::regex field(R"re(\] text area[^\n]*@(\d+),(\d+) (\d+)x(\d+))re");
  std::smatch from, to;
  std::string state;
  // A busy Firefox can list its page a moment after its title shows.
  ASSERT_TRUE(eventually([&] {
    state = tool("get_app_state", {{"app", app}});
    return std::regex_search(state, from, link) && std::regex_search(state, to, field);
  }, std::chrono::seconds(10))) << state;
  const UserSide before;
  const std::string result =
      tool("drag", {{"app", app}, {"from_x", std::stod(from[1]) + std::stod(from[3]) / 2},
                    {"from_y", std::stod(from[2]) + std::stod(from[4]) / 2},
                    {"to_x", std::stod(to[1]) + std::stod(to[3]) / 2}, {"to_y", std::stod(to[2]) + std::stod(to[4]) / 2}});
  EXPECT_EQ(result, SystemDrag::cancelledMessage);
  EXPECT_FALSE(SystemDrag::showsDragImage(browser->pid));
  EXPECT_FALSE(desktop_->windowServer().dragSource(browser->pid).holdsData);
  const std::string after = tool("get_app_state", {{"app", app}});
  EXPECT_NE(after.find("text area \"Comment\" value=\"\""), std::string::npos) << "nothing was dropped: " << after;
  expectUserSideKept(before, UserSide());
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserDrags, ::testing::Values("chromium", "firefox-esr"), browserName);
