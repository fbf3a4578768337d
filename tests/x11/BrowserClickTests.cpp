// An agent presses the page of Chromium and Firefox with every button, held long and with
// keys held, through `tarnwick mcp` while the user types in their window.
#include <gtest/gtest.h>

#include <regex>

#include "tests/x11/BrowserDesk.hpp"

namespace {

class BrowserClicks : public BrowserDesk {};

}  // namespace

TEST_P(BrowserClicks, EveryButtonALongPressAndHeldKeysReachThePageAsSent) {
  tool("launch_app", {{"app", fixtures + GetParam()}, {"open", "file://" + fixtures + "presses.html"}});
  auto browser = browserTitled("Presses");
  ASSERT_TRUE(browser);
  const std::string app = std::to_string(browser->pid);
  tool("get_app_state", {{"app", app}});
  const UserSide before;
  auto typing = userTypes("pressing along");
  // The pad covers the whole page, which covers the middle of the window; each press is
  // told by the page's title (before the browser's name), which the next one changes.
  auto press = [&](Json more, const std::string& told) {
    more["app"] = app;
    more["x"] = 300;
    more["y"] = 400;
    const std::string reply = firstLine(tool("click", more));
    return std::make_pair(reply, titleOf(browser->pid, told));
  };
  auto [middle, middleTitle] = press({{"mouse_button", "middle"}}, "Pressed middle");
  EXPECT_EQ(middle, "Middle-clicked at that point.");
  EXPECT_TRUE(middleTitle.starts_with("Pressed middle for ")) << middleTitle;
  // Not shift with the right button: Firefox then opens its own context menu over the page's.
  auto [right, rightTitle] = press({{"mouse_button", "right"}, {"key", "ctrl"}}, "Pressed right");
  EXPECT_EQ(right, "Right-clicked at that point.");
  EXPECT_NE(rightTitle.find(" ms with ctrl "), std::string::npos) << rightTitle;
  auto [held, heldTitle] = press({{"duration", 1.2}, {"key", "shift+alt"}}, "Pressed left");
  EXPECT_TRUE(held.starts_with("Clicked at that point")) << held;
  std::smatch millis;
  ASSERT_TRUE(std::regex_search(heldTitle, millis, std::regex(R"(^Pressed left for (\d+) ms with shift\+alt )")))
      << heldTitle;
  // The page times the events as it handles them, which a busy machine delays.
  EXPECT_GE(std::stoi(millis[1]), 1000) << "held as long as asked";
  EXPECT_LE(std::stoi(millis[1]), 1700);
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "pressing along"; })) << readFile(typedFile());
  expectUserSideKept(before, UserSide());
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserClicks, ::testing::Values("chromium", "firefox-esr"), browserName);
