#include <gtest/gtest.h>

#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/AccessibilityPreparation.hpp"
#include "tests/support/SimScene.hpp"

namespace {

using NodeID = SimDesktop::NodeID;

struct TwoSpaces : ::testing::Test, SimScene {
  pid_t app = desktop().addApp({.name = "Mail", .bundleID = "org.example.mail", .executable = "/usr/bin/mail"});
  WindowNumber here = desktop().addWindow(app, {.title = "Inbox"});
  WindowNumber elsewhere = desktop().addWindow(app, {.title = "Draft", .space = 2});
  WindowInfo window(WindowNumber number) { return *Apps::window(number); }
};

}  // namespace

TEST(AXStatusWording, EachStatusHasItsText) {
  EXPECT_EQ(AX::message(0), "success");
  EXPECT_EQ(AX::message(-25201), "illegal argument");
  EXPECT_EQ(AX::message(-25202), "the element no longer exists; call get_app_state again");
  EXPECT_EQ(AX::message(-25204), "the app did not respond (busy, or a modal menu is open)");
  EXPECT_EQ(AX::message(-25205), "the element does not have this attribute");
  EXPECT_EQ(AX::message(-25206), "the element does not support this action");
  EXPECT_EQ(AX::message(-25208), "the app does not implement this");
  EXPECT_EQ(AX::message(-25211), "accessibility permission is missing");
  EXPECT_EQ(AX::message(-25212), "accessibility error -25212");
}

TEST(AXReads, TypedReadsBatchReadsAndAnAppThatDoesNotAnswer) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Editor"});
  WindowNumber window = scene->addWindow(app, {.title = "Doc", .frame = {{10, 20}, {300, 200}}});
  NodeID field = scene->addElement(scene->windowNode(window), "AXTextField", {{"AXValue", std::string("hi")}});
  AXElement element = scene->element(field);
  EXPECT_EQ(AX::attribute<std::string>(element, "AXValue"), "hi");
  EXPECT_EQ(AX::attribute<bool>(element, "AXValue"), std::nullopt) << "a value of another type is no value";
  EXPECT_EQ(AX::frame(scene->element(scene->windowNode(window))), (Rect{{10, 20}, {300, 200}}));
  auto batch = AX::attributes(element, {"AXRole", "AXTitle", "AXValue", "AXRole"});
  EXPECT_EQ(batch.size(), 2u) << "missing values are skipped, duplicates collapse";
  EXPECT_EQ(std::get<std::string>(batch["AXRole"]), "AXTextField");
  EXPECT_EQ(AX::set(element, "AXValue", std::string("x")), AXError::attributeUnsupported);
  EXPECT_EQ(AX::perform(element, "AXPress"), AXError::actionUnsupported);

  pid_t hung = scene->addApp({.name = "Hung", .unresponsive = true});
  double before = scene->now();
  EXPECT_TRUE(AX::attributes(AX::application(hung), {"AXRole", "AXWindows"}).empty());
  EXPECT_EQ(AX::roleStatus(AX::application(hung)), AXError::cannotComplete);
  EXPECT_DOUBLE_EQ(scene->now() - before, 2 * AX::standardTimeout) << "each call costs the standard time-out";
}

TEST_F(TwoSpaces, AWindowOnAnotherSpaceIsFoundByTheRemoteSearchAndCached) {
  auto listed = AX::attribute<std::vector<AXElement>>(AX::application(app), "AXWindows");
  ASSERT_EQ(listed->size(), 1u) << "windows on other Spaces are not listed";
  auto found = Apps::axWindow(window(elsewhere));
  ASSERT_TRUE(found);
  EXPECT_EQ(AX::windowID(*found), elsewhere);
  int requests = desktop().remoteTokenRequests();
  EXPECT_TRUE(Apps::axWindow(window(elsewhere)));
  EXPECT_EQ(desktop().remoteTokenRequests(), requests) << "the second lookup is served from the cache";
}

TEST_F(TwoSpaces, RemoteSearchGivesUpWithinItsBounds) {
  double before = desktop().now();
  EXPECT_FALSE(AX::remoteWindow(9999, app, std::nullopt, AX::standardTimeout));
  double spent = desktop().now() - before;
  EXPECT_GE(spent, 3.0);
  EXPECT_LT(spent, 3.01);

  before = desktop().now();
  EXPECT_FALSE(AX::remoteWindow(9999, app, before + 0.5, AX::deadlineTimeout));
  EXPECT_LT(desktop().now() - before, 0.51) << "a nearer deadline wins";
}

TEST_F(TwoSpaces, ACachedWindowThatClosedIsSearchedAgain) {
  ASSERT_TRUE(Apps::axWindow(window(elsewhere)));
  WindowInfo gone = window(elsewhere);
  desktop().closeWindow(elsewhere);
  int requests = desktop().remoteTokenRequests();
  EXPECT_FALSE(Apps::axWindow(gone));
  EXPECT_GT(desktop().remoteTokenRequests(), requests);
}

TEST(WebContent, BrowsersGetBothSwitchesElectronOnlyTheManualOne) {
  SimScene scene;
  pid_t browser = scene->addApp({.name = "Chrome", .bundleID = "COM.Google.Chrome", .lazyWebContent = true});
  WindowNumber page = scene->addWindow(browser, {.title = "Page"});
  pid_t electron = scene->addApp({.name = "Chat", .bundleID = "com.example.chat", .electron = true, .lazyWebContent = true});
  WindowNumber chat = scene->addWindow(electron, {.title = "Chat"});

  AccessibilityPreparation::prepare(scene.app(browser), *Apps::window(page));
  EXPECT_EQ(scene->writes(browser), (std::vector<std::string>{"AXManualAccessibility", "AXEnhancedUserInterface"}));
  EXPECT_TRUE(AX::containsWebArea(scene->element(scene->windowNode(page))));

  AccessibilityPreparation::prepare(scene.app(electron), *Apps::window(chat));
  EXPECT_EQ(scene->writes(electron), (std::vector<std::string>{"AXManualAccessibility"}));
  EXPECT_TRUE(AX::containsWebArea(scene->element(scene->windowNode(chat))));
}

TEST(WebContent, ABrowserThatNeverShowsItsPageIsWaitedForOnceAndTheAgentTold) {
  SimScene scene;
  pid_t browser = scene->addApp({.name = "Chromium", .bundleID = "chromium"});
  WindowNumber page = scene->addWindow(browser, {.title = "Page"});
  const WindowInfo window = *Apps::window(page);
  double before = scene->now();
  EXPECT_FALSE(AccessibilityPreparation::prepare(scene.app(browser), window));
  EXPECT_GE(scene->now() - before, 3.5) << "asked, and given time to build the page";
  before = scene->now();
  EXPECT_FALSE(AccessibilityPreparation::prepare(scene.app(browser), window));
  EXPECT_NEAR(scene->now() - before, 0, 1e-9) << "not waited for again";
  const std::string state = scene.call("get_app_state", {{"app", "Chromium"}});
  EXPECT_NE(state.find("Note: this app shows its web content to accessibility only when started for it"),
            std::string::npos)
      << state;
}

// Under load a browser can publish its window's tree seconds before its page's.
TEST(WebContent, APageLateToItsWindowIsWaitedForAndADialogOrPagelessWindowIsNotWaitedForAgain) {
  SimScene scene;
  pid_t browser = scene->addApp({.name = "Chromium", .bundleID = "chromium"});
  WindowNumber page = scene->addWindow(browser, {.title = "Page"});
  scene->addElement(scene->windowNode(page), "AXToolbar");
  const double start = scene->now();
  scene->at(start + 6, [&] { scene->addElement(scene->windowNode(page), "AXWebArea"); });
  EXPECT_TRUE(AccessibilityPreparation::prepare(scene.app(browser), *Apps::window(page)));
  EXPECT_GE(scene->now() - start, 6);
  EXPECT_LT(scene->now() - start, 7) << "done waiting once the page is there";

  WindowNumber dialog = scene->addWindow(browser, {.title = "Save File", .subrole = "AXDialog"});
  scene->addElement(scene->windowNode(dialog), "AXButton");
  double before = scene->now();
  EXPECT_TRUE(AccessibilityPreparation::prepare(scene.app(browser), *Apps::window(dialog)));
  EXPECT_NEAR(scene->now() - before, 0, 1e-9) << "a dialog has no page to wait for";

  WindowNumber manager = scene->addWindow(browser, {.title = "Task Manager"});
  scene->addElement(scene->windowNode(manager), "AXTable");
  for (double least : {10.0, 0.0}) {
    before = scene->now();
    EXPECT_TRUE(AccessibilityPreparation::prepare(scene.app(browser), *Apps::window(manager)));
    EXPECT_GE(scene->now() - before, least);
    EXPECT_LT(scene->now() - before, least + 0.5);
  }
  const std::string state = scene.call("get_app_state", {{"app", "Chromium"}, {"window_id", manager}});
  EXPECT_EQ(state.find("only when started for it"), std::string::npos) << state;
}

TEST(WebContent, ABrowserWindowWithAWebAreaGetsNoWritesAndTheWarmUpRunsOnce) {
  SimScene scene;
  pid_t browser = scene->addApp({.name = "Chromium", .bundleID = "org.chromium.Chromium"});
  WindowNumber page = scene->addWindow(browser, {.title = "Page"});
  scene->addElement(scene->windowNode(page), "AXWebArea");
  const WindowInfo window = *Apps::window(page);

  double before = scene->now();
  AccessibilityPreparation::prepare(scene.app(browser), window);
  EXPECT_NEAR(scene->now() - before, 0.4, 1e-9) << "the first warm-up pauses once";
  before = scene->now();
  AccessibilityPreparation::prepare(scene.app(browser), window);
  EXPECT_NEAR(scene->now() - before, 0, 1e-9) << "the second state read does not pause";
  EXPECT_TRUE(scene->writes(browser).empty());
}
