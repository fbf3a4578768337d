#include <gtest/gtest.h>

#include "kit/perception/Apps.hpp"
#include "kit/perception/Capture.hpp"
#include "tests/support/DecodedJPEG.hpp"
#include "tests/support/SimScene.hpp"

namespace {

bool looksLike(const Image& image, int x, int y, std::array<uint8_t, 3> color) {
  const uint8_t* p = image.pixel(x, y);
  for (int i = 0; i < 3; ++i) {
    if (std::abs(int(p[i]) - int(color[i])) > 12) return false;
  }
  return true;
}

std::string headerOf(const std::string& state) { return state.substr(0, state.find("\n\n")); }

}  // namespace

TEST(WindowCapture, ScaleKeepsTheLongestSideWithinBoundsAndNeverEnlarges) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Wide"});
  WindowNumber wide = scene->addWindow(app, {.title = "wide", .frame = {{0, 0}, {3000, 1000}}});
  WindowNumber small = scene->addWindow(app, {.title = "small", .frame = {{0, 0}, {800, 600}}});

  Shot shot = Capture::shot({*Apps::window(wide)}, {{0, 0}, {3000, 1000}});
  EXPECT_EQ(shot.width, 1568);
  EXPECT_EQ(shot.height, 523);
  EXPECT_NEAR(shot.scale, 1568.0 / 3000, 1e-12);
  auto image = decodeJPEG(shot.jpeg);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 1568);
  EXPECT_EQ(image->height, 523);

  shot = Capture::shot({*Apps::window(small)}, {{0, 0}, {800, 600}});
  EXPECT_EQ(shot.width, 800);
  EXPECT_EQ(shot.height, 600);
  EXPECT_EQ(shot.scale, 1.0);
  EXPECT_EQ(shot.toScreen(shot.toImage({12.5, 40})), (Point{12.5, 40}));
}

TEST(WindowCapture, AMenuBeyondTheWindowIsInsideTheScreenshot) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Editor"});
  WindowNumber window = scene->addWindow(app, {.title = "Doc", .frame = {{100, 100}, {400, 300}}});
  WindowNumber menu = scene->addWindow(app, {.title = "", .frame = {{450, 150}, {200, 300}}, .layer = 101});
  auto state = scene.state(app, false, window);
  EXPECT_NE(state.text.find("Screenshot 550x350 px"), std::string::npos) << headerOf(state.text);
  auto image = decodeJPEG(*state.jpeg);
  ASSERT_TRUE(image);
  EXPECT_TRUE(looksLike(*image, 200, 200, SimDesktop::fillColor(window)));
  EXPECT_TRUE(looksLike(*image, 500, 300, SimDesktop::fillColor(menu))) << "the menu lies over the window's right edge";
  EXPECT_TRUE(looksLike(*image, 100, 320, {236, 236, 236})) << "uncovered area shows the window background";
}

TEST(AppState, AWindowOnAnotherSpaceIsComposedAndSaysWhereItIs) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Mail", .bundleID = "org.example.mail"});
  WindowNumber inbox = scene->addWindow(app, {.title = "Inbox", .frame = {{0, 0}, {600, 400}}});
  WindowNumber draft = scene->addWindow(app, {.title = "Draft", .frame = {{50, 50}, {500, 300}}, .space = 2});
  scene->setFront(app);
  auto state = scene.state(app, false, draft);
  const std::string header = headerOf(state.text);
  EXPECT_NE(header.find("This window is on another Space (desktop) the user is not looking at"), std::string::npos);
  EXPECT_NE(header.find("Other windows (pass window_id): " + std::to_string(inbox) + " \"Inbox\""), std::string::npos);
  EXPECT_NE(header.find("Note: this is the user's frontmost app"), std::string::npos);
  auto image = decodeJPEG(*state.jpeg);
  ASSERT_TRUE(image);
  EXPECT_TRUE(looksLike(*image, 250, 150, SimDesktop::fillColor(draft)));

  scene->moveToFront(inbox);  // in front, the draft would count as one of the inbox's own small windows
  auto fromInbox = scene.state(app, false, inbox);
  EXPECT_NE(headerOf(fromInbox.text).find(std::to_string(draft) + " \"Draft\" (on another Space)"), std::string::npos);
}

TEST(AppState, AWindowWithoutElementsStillHasItsScreenshot) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Canvas"});
  scene->addWindow(app, {.title = "Canvas"});
  scene->setVisibleSpaces({1});
  auto state = scene.state(app);
  ASSERT_TRUE(state.jpeg);
  EXPECT_TRUE(decodeJPEG(*state.jpeg));
  EXPECT_TRUE(state.text.find("\n\n[0] window \"Canvas\"") != std::string::npos);
}

TEST(AppState, AfterAnActionANewDialogIsReported) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Editor"});
  WindowNumber main = scene->addWindow(app, {.title = "Doc"});
  scene.state(app);
  std::set<WindowNumber> before{main};
  WindowNumber dialog = scene->addWindow(app, {.title = "Save changes?", .frame = {{200, 200}, {300, 150}}});
  auto result = scene.engine().stateAfterAction(scene.app(app), before, false);
  EXPECT_TRUE(result.text.starts_with("New state after the action:\nApp: Editor")) << result.text;
  EXPECT_NE(result.text.find("Window " + std::to_string(dialog) + ": \"Save changes?\""), std::string::npos);
  EXPECT_TRUE(result.jpeg);

  scene->closeWindow(dialog);
  scene->closeWindow(main);
  result = scene.engine().stateAfterAction(scene.app(app), before, false);
  EXPECT_EQ(result.text, "The new state could not be read (Editor has no open window.); call get_app_state.");
}

TEST(AppState, AfterAnActionTheWindowThatTookTheInputIsReported) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Editor"});
  WindowNumber first = scene->addWindow(app, {.title = "First"});
  WindowNumber second = scene->addWindow(app, {.title = "Second"});
  scene.state(app, false, first);
  const std::set<WindowNumber> before{first, second};

  // The latest state is of the first window, but the input went to the second.
  auto target = scene.engine().inputTarget("Editor", second);
  EXPECT_EQ(target.window.id, second);
  EXPECT_EQ(scene.engine().lastInputWindow, second);
  auto result = scene.engine().stateAfterAction(scene.app(app), before, false);
  EXPECT_NE(result.text.find("Window " + std::to_string(second) + ": \"Second\""), std::string::npos) << result.text;

  // Without a window id the target is the window of the latest state.
  EXPECT_EQ(scene.engine().inputTarget("Editor", std::nullopt).window.id, second);
  scene->closeWindow(second);
  EXPECT_EQ(scene.engine().inputTarget("Editor", std::nullopt).window.id, first) << "the main window once it is gone";
}

TEST(AppState, AnAppThatDoesNotAnswerSaysSoAndStillHasItsScreenshot) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Busy", .unresponsive = true});
  scene->addWindow(app, {.title = "Busy"});
  auto state = scene.state(app);
  ASSERT_TRUE(state.jpeg);
  EXPECT_TRUE(decodeJPEG(*state.jpeg));
  EXPECT_TRUE(state.text.ends_with("\n\n(no accessibility elements: the app did not respond (busy, or a modal menu is "
                                   "open); act by x/y on the screenshot)"))
      << state.text;
}
