#include <gtest/gtest.h>

#include "kit/perception/Apps.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "tests/x11/DesktopSuite.hpp"
#include "tests/support/Eventually.hpp"

namespace {

const std::string script = std::string(TARNWICK_SOURCE_DIR) + "/tests/x11/fixtures/qt_window.py";

// A small PyQt5 window, started by launch_app as a script that an interpreter runs.
class QtApp : public LaunchedAppSuite {
 protected:
  std::optional<RunningApp> running() override {
    for (const auto& app : desktop_->workspace().runningApplications()) {
      if (app.executable.find("python") != std::string::npos && app.policy == ActivationPolicy::regular) return app;
    }
    return std::nullopt;
  }

  Engine engine_{std::make_shared<AgentSession>(1, "test", std::nullopt), std::weak_ptr<CursorPresenter>()};
};

}  // namespace

TEST_F(QtApp, AScriptIsNamedByItsWindowNotByItsInterpreter) {
  const std::string launched = engine_.launchApp(script, std::nullopt).text;
  EXPECT_TRUE(launched.starts_with("qt_window.py is running (pid ")) << launched;
  EXPECT_NE(launched.find("with 1 visible window(s)"), std::string::npos) << launched;
  auto app = running();
  ASSERT_TRUE(app);
  EXPECT_EQ(app->name, "qt_window.py");
  EXPECT_EQ(Apps::find("qt_window.py").pid, app->pid) << "and found by that name";
  EXPECT_NE(engine_.listApps().text.find("- qt_window.py (qt_window.py, pid " + std::to_string(app->pid) + ")"),
            std::string::npos);
}

// Qt registers with the accessibility bus where the root window names it (see the README);
// a start that still did not is retried.
TEST_F(QtApp, TheMenuBarAndControlsOfAQtWindowAreRead) {
  std::string state;
  for (int start = 0; start < 3 && state.find("Greet") == std::string::npos; ++start) {
    TearDown();
    engine_.launchApp(script, std::nullopt);
    auto app = running();
    ASSERT_TRUE(app);
    state = engine_.getAppState(app->name, std::nullopt, false).text;
  }
  if (state.find("Greet") == std::string::npos) GTEST_SKIP() << "Qt never registered with the accessibility bus";
  EXPECT_NE(state.find("Menu bar (use select_menu_item): File, Edit"), std::string::npos) << state;
  EXPECT_NE(state.find("button \"Greet\""), std::string::npos) << state;
  EXPECT_NE(state.find("text field value=\"hello\""), std::string::npos) << state;
  // Qt keeps hidden widgets, a stack's other pages and a closed combo box's list in its
  // tree, at frames such as 0x0 at the screen's corner.
  EXPECT_NE(state.find("static text \"Shown page\""), std::string::npos) << state;
  for (const char* unseen : {"Tucked away", "Other page", "\"Green\"", " 0x0"})
    EXPECT_EQ(state.find(unseen), std::string::npos) << unseen << " in " << state;
}

TEST_F(QtApp, AMenuCommandOpensItsDialogWhileTheWindowStaysInTheBackground) {
  engine_.launchApp(script, std::nullopt);
  auto app = running();
  ASSERT_TRUE(app);
  std::string state = engine_.getAppState(app->name, std::nullopt, false).text;
  if (state.find("Menu bar") == std::string::npos) GTEST_SKIP() << "Qt did not register with the accessibility bus";
  EXPECT_EQ(engine_.selectMenuItem(app->name, std::nullopt, "File > Save As\u2026").text, "Chose File > Save As\u2026.");
  auto dialog = [&] {
    for (const auto& window : Apps::frontToBack())
      if (window.pid == app->pid && window.title == "Save As") return true;
    return false;
  };
  EXPECT_TRUE(eventually(dialog, std::chrono::seconds(5)));
  try {
    engine_.selectMenuItem(app->name, std::nullopt, "File > Print");
    ADD_FAILURE() << "a missing item was chosen";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()), "No menu item \"Print\" under \"File\". Available: Save, Save As....");
  }
}
