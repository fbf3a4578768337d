#include <gtest/gtest.h>

#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "tests/support/Eventually.hpp"
#include "tests/x11/DesktopSuite.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {

// gtk4-widget-factory: GTK 4 talks to the accessibility bus itself, without ATK, and
// reports positions relative to its window.
class Gtk4App : public LaunchedAppSuite {
 protected:
  std::optional<RunningApp> running() override {
    for (const auto& app : desktop_->workspace().runningApplications())
      if (app.executable.ends_with("gtk4-widget-factory")) return app;
    return std::nullopt;
  }

  static std::optional<Rect> frameOf(const AXElement& element) {
    auto position = AX::attribute<Point>(element, "AXPosition");
    auto size = AX::attribute<Size>(element, "AXSize");
    if (!position || !size) return std::nullopt;
    return Rect{*position, *size};
  }

  Engine engine_{std::make_shared<AgentSession>(1, "test", std::nullopt), std::weak_ptr<CursorPresenter>()};
};

}  // namespace

TEST_F(Gtk4App, ControlsAreListedWhereTheWindowShowsThemWithoutTypeNamesForLabels) {
  const std::string launched = engine_.launchApp("gtk4-widget-factory", std::nullopt).text;
  auto app = running();
  ASSERT_TRUE(app) << launched;
  std::string state;
  ASSERT_TRUE(eventually([&] {
    state = engine_.getAppState(std::to_string(app->pid), std::nullopt, false).text;
    return state.find("incrementor value=\"50\"") != std::string::npos;
  }, std::chrono::seconds(45))) << state;
  EXPECT_EQ(state.find("\"Gtk"), std::string::npos) << "a type name is no label: " << state;
  EXPECT_NE(state.find("check box \"checkbutton\""), std::string::npos) << state;
  EXPECT_NE(state.find("text field value=\"comboboxentry\""), std::string::npos) << "an entry's text: " << state;
  // The stack's other pages stay VISIBLE in GTK 4 but take no room: their controls are not listed.
  for (const char* hidden : {"\"No rows found\"", "\"Row 1\"", "MyTextView", "\"January\""})
    EXPECT_EQ(state.find(hidden), std::string::npos) << hidden << " is on a page not shown: " << state;

  std::optional<WindowInfo> window;
  for (const auto& each : Apps::frontToBack())
    if (each.pid == app->pid && each.layer == 0 && each.isOnScreen) window = each;
  ASSERT_TRUE(window);
  const AXElement root = *AX::attribute<AXElement>(AX::application(app->pid), "AXMainWindow");
  const auto frame = frameOf(root);
  ASSERT_TRUE(frame);
  // GTK leaves its drawn margins out of the window's size: the element sits centred in the X window.
  EXPECT_LE(frame->size.width, window->frame.size.width);
  EXPECT_NEAR(frame->origin.x + frame->size.width / 2, window->frame.origin.x + window->frame.size.width / 2, 1);
  EXPECT_NEAR(frame->origin.y + frame->size.height / 2, window->frame.origin.y + window->frame.size.height / 2, 1);
  const auto spin = ElementSearch::withRole(root, "AXIncrementor");
  ASSERT_TRUE(spin);
  const auto spinFrame = frameOf(*spin);
  ASSERT_TRUE(spinFrame);
  EXPECT_GT(spinFrame->origin.y, frame->origin.y + 40) << "below the header bar, on the screen";
  EXPECT_LT(spinFrame->origin.x + spinFrame->size.width, frame->origin.x + frame->size.width);
}
