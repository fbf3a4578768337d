#include <gtest/gtest.h>

#include "kit/platform/Desktop.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/tools/Tools.hpp"

namespace {

// The text an agent gets back for one call.
std::string outcome(const std::string& tool, Json arguments) {
  auto session = std::make_shared<AgentSession>(1, "", std::nullopt);
  Engine engine(session, std::weak_ptr<CursorPresenter>());
  try {
    return Tools::call(tool, Arguments(std::move(arguments)), engine, [] { return false; }).text;
  } catch (const ToolError& error) {
    return error.description;
  }
}

}  // namespace

TEST(Dispatch, ArgumentsAreReadInEachToolsOrder) {
  EXPECT_EQ(outcome("set_value", {{"app", "Notes"}, {"value", 3}}), "Missing number \"element_index\".");
  EXPECT_EQ(outcome("set_value", {{"app", "Notes"}, {"element_index", 3}}), "Missing argument \"value\".");
  EXPECT_EQ(outcome("set_value", {{"element_index", 3}}), "Missing argument \"app\".");
  EXPECT_EQ(outcome("drag", {{"app", "Notes"}, {"to_app", ""}}),
            "to_app must name a destination app; no drag was started.");
  EXPECT_EQ(outcome("drag", {{"app", "Notes"}, {"from_x", 1}, {"to_x", 2}}), "Missing number \"from_y\".");
  EXPECT_EQ(outcome("drag", {{"app", "N"}, {"from_x", 1}, {"from_y", 1}, {"to_x", 2}, {"to_y", 2}, {"path", {{1}}}}),
            "\"path\" must be a list of [x, y] pairs.");
  EXPECT_EQ(outcome("drag", {{"app", "N"}, {"from_x", 1}, {"from_y", 1}, {"to_x", 2}, {"to_y", 2}, {"to_window_id", 0}}),
            "to_window_id must be a positive window ID; no drag was started.");
  EXPECT_EQ(outcome("click", {{"app", "Notes"}, {"mouse_button", "side"}}),
            "Unknown mouse_button \"side\". Use left, right or middle.");
  EXPECT_EQ(outcome("scroll", {{"app", "Notes"}}), "Missing argument \"direction\".");
  EXPECT_EQ(outcome("press_key", {{"app", "Notes"}}), "Missing argument \"key\".");
  EXPECT_EQ(outcome("select_text", {{"app", "Notes"}, {"element_index", "2"}}), "Missing argument \"text\".");
}

TEST(Dispatch, UnknownToolsAreNamed) {
  EXPECT_EQ(outcome("fly", Json::object()), "Unknown tool fly.");
  EXPECT_EQ(outcome("", Json::object()), "Unknown tool .");
}

TEST(Dispatch, WithoutADesktopToolsSayHowToNameOne) {
  Platform::install(nullptr);
  Platform::setFinder([] { return std::shared_ptr<Desktop>(); });
  const std::string noDesktop =
      "No desktop session was found. Run Tarnwick inside a graphical session (set DISPLAY to the X display, for "
      "example DISPLAY=:0), or set TARNWICK_PLATFORM=sim to use the simulated demo desktop.";
  EXPECT_EQ(outcome("list_apps", Json::object()), noDesktop);
  EXPECT_EQ(outcome("launch_app", {{"app", "Calculator"}}), noDesktop);
}

TEST(Dispatch, MayNavigateForActionsThatCanLoadAPage) {
  auto navigates = [](const std::string& tool, Json arguments = Json::object()) {
    return Tools::mayNavigate(tool, Arguments(std::move(arguments)));
  };
  EXPECT_TRUE(navigates("click"));
  EXPECT_TRUE(navigates("press_key"));
  EXPECT_TRUE(navigates("select_menu_item"));
  EXPECT_TRUE(navigates("perform_secondary_action"));
  EXPECT_TRUE(navigates("type_text", {{"text", "query\n"}}));
  EXPECT_FALSE(navigates("type_text", {{"text", "query"}}));
  EXPECT_FALSE(navigates("scroll"));
  EXPECT_FALSE(navigates("set_value"));
}

TEST(InputRefusal, TheAgentsHostAppNeverTakesInput) {
  RunningApp host{.pid = 42, .name = "Work", .bundleID = "com.ostrel.work"};
  RunningApp unnamed{.pid = 43, .bundleID = "com.ostrel.work"};
  try {
    Engine::checkInputAllowed(host);
    FAIL();
  } catch (const ToolError& error) {
    EXPECT_EQ(error.description, "Work hosts the agents; Tarnwick never sends input to it.");
  }
  try {
    Engine::checkInputAllowed(unnamed);
    FAIL();
  } catch (const ToolError& error) {
    EXPECT_EQ(error.description, "This app hosts the agents; Tarnwick never sends input to it.");
  }
  EXPECT_NO_THROW(Engine::checkInputAllowed(RunningApp{.pid = 44, .name = "Notes", .bundleID = "org.example.notes"}));
}
