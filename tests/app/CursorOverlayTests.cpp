#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "app/CursorArt.hpp"
#include "app/CursorOverlay.hpp"
#include "tests/support/EditorBehindTerminal.hpp"

namespace {

using namespace std::chrono_literals;
using Kind = AgentSession::Kind;

// The editor behind the user's terminal, with an agent whose cursor the overlay draws.
struct CursorDesk : EditorBehindTerminal {
  std::shared_ptr<CursorOverlay> overlay = std::make_shared<CursorOverlay>();
  SimDesktop::NodeID button = scene->addElement(
      scene->windowNode(editorWindow), "AXButton",
      {{"AXTitle", std::string("OK")}, {"AXPosition", Point{150, 150}}, {"AXSize", Size{80, 30}}}, {"AXPress"});

  CursorDesk() { scene.engine().presenter = overlay; }
  ~CursorDesk() { overlay.reset(); }  // its threads end before the desktop goes

  std::string clickOK() {
    std::smatch found;
    const std::string state = scene.call("get_app_state", {{"app", "Editor"}});
    if (!std::regex_search(state, found, std::regex(R"(\[(\d+)\] button "OK")"))) return "no button";
    return scene.call("click", {{"app", "Editor"}, {"element_index", std::stoll(found[1])}});
  }
  WindowNumber cursorWindow(int64_t session = 1) {
    auto shown = overlay->cursor(session);
    return shown ? shown->window : 0;
  }
  std::vector<WindowNumber> order() { return scene->windowServer().drawingOrder(); }
  // Waits (bounded) until the drawing order passes the test.
  bool eventually(const std::function<bool(const std::vector<WindowNumber>&)>& test) {
    for (int i = 0; i < 300; ++i) {
      if (test(order())) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  static bool directlyAbove(const std::vector<WindowNumber>& order, WindowNumber cursor, WindowNumber target) {
    auto at = std::find(order.begin(), order.end(), cursor);
    return at != order.end() && at + 1 != order.end() && *(at + 1) == target;
  }
  static bool drawn(const std::vector<WindowNumber>& order, WindowNumber cursor) {
    return std::find(order.begin(), order.end(), cursor) != order.end();
  }
};

}  // namespace

TEST(CursorColors, ClaudeOrangeCodexBlueThenTheLowestFreeThenByID) {
  EXPECT_EQ(CursorOverlay::colorIndex(Kind::claude, {}, 1), 0u);
  EXPECT_EQ(CursorOverlay::colorIndex(Kind::codex, {}, 1), 1u);
  EXPECT_EQ(CursorOverlay::colorIndex(Kind::claude, {0}, 2), 1u);
  EXPECT_EQ(CursorOverlay::colorIndex(Kind::other, {0, 1, 3}, 2), 2u);
  EXPECT_EQ(CursorOverlay::colorIndex(Kind::codex, {0, 1, 2, 3, 4, 5}, 9), 3u);
}

TEST(CursorArt, TheTagFitsItsNameAndCutsALongOneWithAnEllipsis) {
  auto pillOf = [](const std::string& name) {
    for (const auto& shape : CursorArt::picture(name, CursorArt::palette[0]).shapes)
      if (shape.kind == OverlayShape::Kind::pill) return shape.box;
    return Rect{};
  };
  EXPECT_EQ(CursorArt::tagText("Claude"), "Claude");
  EXPECT_LT(pillOf("Claude").size.width, 100);
  const std::string cut = CursorArt::tagText(std::string(60, 'x'));
  EXPECT_LT(cut.size(), 60u);
  EXPECT_EQ(cut.substr(cut.size() - 3), "…");
  EXPECT_EQ(pillOf(std::string(60, 'x')).size.width, CursorArt::widestPill);
  // The pill hangs below and right of the dart's tip.
  EXPECT_GT(pillOf("Claude").origin.x, CursorArt::tip.x);
  EXPECT_GT(pillOf("Claude").origin.y, CursorArt::tip.y);
}

TEST(CursorOverlay, AClickShowsTheAgentsCursorDirectlyAboveItsTargetWithTheTipOnThePoint) {
  CursorDesk desk;
  EXPECT_NE(desk.clickOK(), "no button");
  const WindowNumber cursor = desk.cursorWindow();
  ASSERT_NE(cursor, 0u);
  EXPECT_TRUE(desk.eventually([&](const auto& order) { return desk.directlyAbove(order, cursor, desk.editorWindow); }));
  // The glide ends on the overlay's own clock, a frame or so after the click returns.
  const auto tipOnTheButtonsCentre = [&] {
    const Point drawnAt = desk.scene->overlay(cursor)->frame.origin;
    return std::abs(drawnAt.x + CursorArt::tip.x - 190) <= 1 && std::abs(drawnAt.y + CursorArt::tip.y - 165) <= 1;
  };
  EXPECT_TRUE(desk.eventually([&](const auto&) { return tipOnTheButtonsCentre(); }));
  // The user's terminal stays in front of it all.
  EXPECT_EQ(desk.order().front(), desk.terminalWindow);
}

TEST(CursorOverlay, TheCursorFollowsItsTargetInTheStackAndHidesWithIt) {
  CursorDesk desk;
  desk.clickOK();
  const WindowNumber cursor = desk.cursorWindow();
  ASSERT_TRUE(desk.eventually([&](const auto& order) { return desk.directlyAbove(order, cursor, desk.editorWindow); }));
  // The user raises the target itself: the cursor, left behind it, comes back on top.
  desk.scene->userClicks(desk.editorWindow);
  EXPECT_TRUE(desk.eventually([&](const auto& order) {
    return order.front() == cursor && desk.directlyAbove(order, cursor, desk.editorWindow);
  }));
  // Minimised, the target takes its cursor along; restored, the cursor returns.
  desk.scene->setMinimized(desk.editorWindow, true);
  EXPECT_TRUE(desk.eventually([&](const auto& order) { return !desk.drawn(order, cursor); }));
  desk.scene->setMinimized(desk.editorWindow, false);
  EXPECT_TRUE(desk.eventually([&](const auto& order) { return desk.directlyAbove(order, cursor, desk.editorWindow); }));
}

TEST(CursorOverlay, EachAgentHasItsOwnColourAndItsCursorGoesWithItsConnection) {
  CursorDesk desk;
  desk.clickOK();
  const WindowNumber first = desk.cursorWindow(1);
  desk.scene.resetEngine();  // a second agent (session 2), the first one's connection ended
  desk.overlay->removeCursor(AgentSession(1, "test", std::nullopt));
  desk.scene.engine().presenter = desk.overlay;
  EXPECT_TRUE(desk.eventually([&](const auto&) { return !desk.scene->overlay(first); }));

  AgentSession other(3, "codex", std::nullopt);
  desk.overlay->moveCursor(other, PointerPath::resting({300, 300}), desk.scene->now(), desk.editorWindow);
  desk.clickOK();
  auto second = desk.overlay->cursor(2), third = desk.overlay->cursor(3);
  ASSERT_TRUE(second && third);
  EXPECT_NE(second->color, third->color);
  EXPECT_NE(second->window, third->window);
  // Two cursors over one window: neither covers the other.
  EXPECT_TRUE(desk.eventually([&](const auto& order) {
    return desk.drawn(order, second->window) && desk.drawn(order, third->window) && order.front() == desk.terminalWindow;
  }));
}

TEST(CursorOverlay, APulseWithoutACursorAndACursorWithoutAPictureDoNothing) {
  CursorDesk desk;
  desk.overlay->pulseCursor(AgentSession(5, "test", std::nullopt));
  EXPECT_FALSE(desk.overlay->cursor(5));
  desk.overlay->removeCursor(AgentSession(5, "test", std::nullopt));
  EXPECT_FALSE(desk.overlay->cursor(5));
}
