#include <gtest/gtest.h>

#include "kit/perception/Apps.hpp"
#include "tests/support/SimScene.hpp"

TEST(ListApps, OneLinePerRegularAppWithMarkersAndItsListableWindows) {
  SimScene scene;
  pid_t zed = scene->addApp({.name = "Zed", .bundleID = "dev.zed"});
  pid_t work = scene->addApp({.name = "Work", .bundleID = "com.ostrel.work"});
  pid_t anon = scene->addApp({.name = ""});
  scene->addApp({.name = "Daemon", .bundleID = "org.example.daemon", .policy = ActivationPolicy::accessory});
  WindowNumber editor = scene->addWindow(zed, {.title = "main.rs", .frame = {{0, 0}, {800.7, 600.2}}});
  scene->addWindow(zed, {.title = "", .frame = {{0, 0}, {300, 200}}, .minimized = true});   // untitled, off screen
  scene->addWindow(zed, {.title = "tooltip", .frame = {{0, 0}, {300, 30}}});                 // too small
  scene->addWindow(zed, {.title = "menu", .frame = {{0, 0}, {300, 300}}, .layer = 101});     // not layer 0
  WindowNumber other = scene->addWindow(zed, {.title = "notes.md", .frame = {{0, 0}, {500, 400}}, .space = 2});
  WindowNumber small = scene->addWindow(zed, {.title = "Find", .frame = {{0, 0}, {400, 100}}, .minimized = true});
  scene->setFront(zed);
  scene->setHidden(work, true);

  const std::string expected =
      "- ? (no bundle id, pid " + std::to_string(anon) + ")\n"
      "- Work (com.ostrel.work, pid " + std::to_string(work) + ") [hidden] [read-only: hosts the agents]\n"
      "- Zed (dev.zed, pid " + std::to_string(zed) + ") [frontmost: the user is working here]\n"
      "    window " + std::to_string(small) + ": \"Find\" 400x100 (minimized or hidden)\n"
      "    window " + std::to_string(other) + ": \"notes.md\" 500x400 (on another Space, operable)\n"
      "    window " + std::to_string(editor) + ": \"main.rs\" 800x600";
  EXPECT_EQ(scene.call("list_apps"), expected);
}

TEST(LaunchApp, StartsAnInstalledAppAndWaitsUntilItsWindowsSettle) {
  SimScene scene;
  scene->install({{.name = "Calculator", .bundleID = "org.example.calc", .executable = "/usr/bin/calc"},
                  {{.title = "Calculator"}, {.title = "History"}},
                  {0.3, 1.0}});
  const std::string text = scene.call("launch_app", {{"app", "calculator"}});
  EXPECT_TRUE(text.starts_with("Calculator is running (pid ")) << text;
  EXPECT_TRUE(text.ends_with(") with 2 visible window(s). Call get_app_state next.")) << text;
  EXPECT_NEAR(scene.elapsed(), 1.0 + 2.5, 0.11) << "2.5 s after the last window appeared, give or take two polls";

  SimScene again;
  again->install({{.name = "Tray", .executable = "/usr/bin/tray"}, {}, {}});
  EXPECT_TRUE(again.call("launch_app", {{"app", "Tray"}}).ends_with("with 0 visible window(s). Call get_app_state next."));
  EXPECT_NEAR(again.elapsed(), 15.0, 0.06) << "an app that shows no window costs the whole wait";
}

TEST(LaunchApp, ExplainsWhatItCannotStart) {
  SimScene scene;
  scene->install({{.name = "Paint", .executable = "/opt/paint/bin/paint"}, {{.title = "Untitled"}}, {0.1}});
  EXPECT_TRUE(scene.call("launch_app", {{"app", "paint"}}).starts_with("Paint is running"));
  EXPECT_EQ(scene.call("launch_app", {{"app", "Nothing"}}),
            "No app named \"Nothing\" was found. Pass an app id, an app name, or a path to an executable or a "
            ".desktop file.");
  EXPECT_EQ(scene.call("launch_app", {{"app", "Paint"}, {"open", "relative/file.png"}}),
            "Invalid URL or path \"relative/file.png\".");
}

TEST(LaunchApp, ALaunchedAppThatComesToTheFrontGivesItBackToTheUser) {
  SimScene scene;
  const pid_t terminal = scene->addApp({.name = "Terminal"});
  const WindowNumber shell = scene->addWindow(terminal, {.title = "shell", .frame = {{0, 0}, {600, 400}}});
  scene->setFront(terminal);
  scene->install({{.name = "Editor", .executable = "/usr/bin/editor"}, {{.title = "Untitled"}}, {0.2}});
  // Once its window shows, the new app activates itself, as mousepad does once it has loaded.
  scene->at(scene->now() + 0.5, [&] {
    for (const auto& app : scene->workspace().runningApplications()) {
      if (app.name != "Editor") continue;
      scene->setFront(app.pid);
      for (const auto& window : Apps::frontToBack())
        if (window.pid == app.pid) scene->moveToFront(window.id);
    }
  });
  EXPECT_TRUE(scene.call("launch_app", {{"app", "Editor"}}).starts_with("Editor is running"));
  EXPECT_EQ(scene->windowServer().frontProcess(), terminal);
  EXPECT_EQ(scene->windowServer().frontWindow(), shell);
}
