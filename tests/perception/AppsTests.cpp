#include <gtest/gtest.h>

#include "kit/perception/Apps.hpp"
#include "kit/common/ToolError.hpp"
#include "tests/support/SimScene.hpp"

namespace {

std::string failure(const std::function<void()>& work) {
  try {
    work();
  } catch (const ToolError& error) {
    return error.description;
  }
  return "(no failure)";
}

WindowInfo at(WindowNumber id, int layer, Rect frame, pid_t pid = 1) {
  WindowInfo window;
  window.id = id;
  window.pid = pid;
  window.layer = layer;
  window.frame = frame;
  return window;
}

}  // namespace

TEST(AppsFind, MatchersInOrderWithTheRegularAppPreferred) {
  SimScene scene;
  pid_t helper = scene->addApp({.name = "Notes", .bundleID = "org.example.notes.helper",
                                .executable = "/opt/notes/helper", .policy = ActivationPolicy::accessory});
  pid_t notes = scene->addApp({.name = "Notes", .bundleID = "org.example.notes", .executable = "/opt/notes/notes-bin"});
  pid_t hyphen = scene->addApp({.name = "Ter\u00ADminal", .bundleID = "org.example.term",
                                .executable = "/usr/bin/xterm", .bundlePath = "/usr/share/applications/Console.desktop"});
  pid_t named = scene->addApp({.name = "org.example.notes.helper", .bundleID = "other"});

  EXPECT_EQ(Apps::find("  notes ").pid, notes) << "the regular copy wins";
  EXPECT_EQ(Apps::find("ORG.EXAMPLE.NOTES.HELPER").pid, helper) << "bundle ids are tried before names";
  EXPECT_NE(Apps::find("org.example.notes.helper").pid, named);
  EXPECT_EQ(Apps::find("Terminal").pid, hyphen);
  EXPECT_EQ(Apps::find("XTERM").pid, hyphen);
  EXPECT_EQ(Apps::find("console").pid, hyphen);
  EXPECT_EQ(Apps::find(std::to_string(notes)).pid, notes);
  EXPECT_EQ(Apps::find("+" + std::to_string(notes)).pid, notes);
  EXPECT_EQ(failure([] { Apps::find(" 42 "); }), "App \"42\" is not running. Use list_apps, or launch_app to start it.");
  EXPECT_EQ(failure([] { Apps::find(""); }), "App \"\" is not running. Use list_apps, or launch_app to start it.");
}

TEST(AppsFind, OfSeveralAppsOfOneNameTheFrontOneThenTheNewestIsMeant) {
  SimScene scene;
  pid_t older = scene->addApp({.name = "Editor"});
  scene->clock().sleep(5);
  pid_t newer = scene->addApp({.name = "Editor"});
  scene->clock().sleep(5);
  pid_t terminal = scene->addApp({.name = "Terminal"});
  scene->setFront(terminal);
  EXPECT_EQ(Apps::find("editor").pid, newer);
  scene->setFront(older);
  EXPECT_EQ(Apps::find("editor").pid, older);
}

TEST(AppsMainWindow, PrefersTheMainWindowThenALargeVisibleOneThenADormantOne) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Viewer"});
  EXPECT_EQ(failure([&] { Apps::mainWindow(scene.app(app)); }), "Viewer has no open window.");

  WindowNumber tiny = scene->addWindow(app, {.title = "tiny", .frame = {{0, 0}, {40, 40}}});
  scene->setMainWindow(app, tiny);
  WindowNumber large = scene->addWindow(app, {.title = "large", .frame = {{0, 0}, {41, 300}}});
  // The main window is tiny but on screen, so it is the answer.
  EXPECT_EQ(Apps::mainWindow(scene.app(app)).id, tiny);

  scene->setMainWindow(app, 0);
  scene->moveToFront(tiny);
  EXPECT_EQ(Apps::mainWindow(scene.app(app)).id, tiny) << "AXMainWindow falls back to the first listed window";

  scene->closeWindow(tiny);
  scene->setMinimized(large, true);
  EXPECT_EQ(Apps::mainWindow(scene.app(app)).id, large) << "a minimized window is restorable";
  EXPECT_EQ(Apps::targetWindow(scene.app(app), large).id, large);
}

TEST(AppsMainWindow, ATooltipOrMenuInFrontIsNeverTheMainWindow) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Calculator"});
  WindowNumber window = scene->addWindow(app, {.title = "Calculator", .frame = {{0, 0}, {300, 400}}});
  WindowNumber tooltip = scene->addWindow(app, {.title = "", .frame = {{50, 50}, {92, 45}}, .layer = 101});
  EXPECT_EQ(Apps::mainWindow(scene.app(app)).id, window) << "the tooltip is listed first, in front";
  scene->setMainWindow(app, tooltip);
  EXPECT_EQ(Apps::mainWindow(scene.app(app)).id, window) << "even when the app calls it main";
  const std::string state = scene.state(app).text;
  EXPECT_NE(state.find("Window " + std::to_string(window) + ": \"Calculator\""), std::string::npos) << state;
}

TEST(AppsTargetWindow, RefusesWindowsOfOtherAppsAndOnesThatCannotBeRestored) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Viewer"});
  pid_t other = scene->addApp({.name = ""});
  WindowNumber theirs = scene->addWindow(other, {.title = "x"});
  WindowNumber elsewhere = scene->addWindow(app, {.title = "on Space 2", .space = 2});
  WindowNumber transparent = scene->addWindow(app, {.title = "invisible", .alpha = 0});
  const std::string id = std::to_string(theirs);
  EXPECT_EQ(failure([&] { Apps::targetWindow(scene.app(app), theirs); }),
            "Window " + id + " does not belong to Viewer. Call list_apps for current window ids.");
  EXPECT_EQ(failure([&] { Apps::targetWindow(scene.app(other), 77777); }),
            "Window 77777 does not belong to the app. Call list_apps for current window ids.");
  EXPECT_EQ(Apps::targetWindow(scene.app(app), elsewhere).id, elsewhere);
  EXPECT_EQ(failure([&] { Apps::targetWindow(scene.app(app), transparent); }),
            "Window " + std::to_string(transparent) + " is not visible and cannot be restored through accessibility.");
}

TEST(AppsWindows, FileDialogsOfAnotherProcessAreRemotePanels) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Editor"});
  WindowNumber main = scene->addWindow(app, {.title = "Doc", .frame = {{0, 0}, {800, 600}}});
  WindowNumber dialog = scene->addFileDialog(app, {{100, 100}, {500, 400}});
  EXPECT_TRUE(Apps::isRemotePanel(*Apps::window(dialog)));
  EXPECT_FALSE(Apps::isRemotePanel(*Apps::window(main)));
}

TEST(AppsWindows, TransientWindowsBelongBetweenTheTargetAndTheNextStandardWindow) {
  const Rect target{{100, 100}, {600, 400}};
  const std::vector<WindowInfo> frontToBack = {
      at(9, 0, {{150, 150}, {300, 200}}),  // a sheet in front of the standard window 8: beyond the bound
      at(8, 0, {{120, 120}, {500, 300}}),  // a standard window of the same app
      at(7, 101, {{900, 900}, {100, 80}}),  // a menu, anywhere: always kept
      at(6, 0, {{200, 200}, {100, 100}}),   // a popover window over the target
      at(5, 0, {{0, 0}, {2, 300}}),         // too thin to count
      at(4, 0, {{800, 800}, {100, 100}}),   // layer 0 but not over the target
      at(3, 101, {{110, 110}, {50, 50}}, 2),  // another process
      at(1, 0, target),
      at(0, 3, {{110, 110}, {50, 50}}),  // behind the target
  };
  auto transient = Apps::transientWindows(frontToBack, frontToBack[7], {8});
  std::vector<WindowNumber> ids;
  for (const auto& window : transient) ids.push_back(window.id);
  EXPECT_EQ(ids, (std::vector<WindowNumber>{7, 6}));

  auto menusOnly = Apps::transientWindows({at(7, 101, {{0, 0}, {50, 50}}), at(1, 0, target)}, at(1, 0, target), {});
  EXPECT_EQ(menusOnly.size(), 1u);
  auto unbounded = Apps::transientWindows(frontToBack, frontToBack[7], {});
  EXPECT_EQ(unbounded.size(), 4u) << "without a standard window every kept window stays";
}
