#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>
#include <thread>

#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "tests/support/Eventually.hpp"
#include "tests/support/TempDirectory.hpp"
#include "kit/tools/Tools.hpp"
#include "tests/x11/AgentDesk.hpp"

namespace {

const std::string page = "file://" + fixtures + "form.html";

// A browser started by launch_app on a local page, read by the first get_app_state after
// the page has loaded.
class BrowserPage : public LaunchedAppSuite, public ::testing::WithParamInterface<std::string> {
 protected:
  static void SetUpTestSuite() {
    LaunchedAppSuite::SetUpTestSuite();
    profiles_ = std::make_unique<TempDirectory>();
    setenv("TMPDIR", profiles_->path().c_str(), 1);  // where the fixtures keep the browsers' profiles
  }
  static void TearDownTestSuite() {
    unsetenv("TMPDIR");
    profiles_.reset();
    LaunchedAppSuite::TearDownTestSuite();
  }
  std::optional<RunningApp> running() override {
    for (const auto& app : desktop_->workspace().runningApplications())
      if (app.executable.ends_with("/" + GetParam())) return app;
    return std::nullopt;
  }

  // Whether a window of the app has a title that starts so.
  static bool hasWindowTitled(pid_t pid, const std::string& title) {
    for (const auto& window : Apps::frontToBack())
      if (window.pid == pid && window.title.starts_with(title)) return true;
    return false;
  }
  // The first state read once the page's title shows in the window.
  std::string firstStateOfLoadedPage(const std::string& address = page, const std::string& title = "Local form") {
    const std::string launched = engine_.launchApp(fixtures + GetParam(), address).text;
    auto app = running();
    EXPECT_TRUE(app) << launched;
    if (!app) return "";
    EXPECT_TRUE(eventually([&] { return hasWindowTitled(app->pid, title); }, std::chrono::seconds(30)));
    return engine_.getAppState(std::to_string(app->pid), std::nullopt, false).text;
  }

  static inline std::unique_ptr<TempDirectory> profiles_;
  Engine engine_{std::make_shared<AgentSession>(1, "test", std::nullopt), std::weak_ptr<CursorPresenter>()};
};

}  // namespace

TEST_P(BrowserPage, TheFirstReadListsThePageAsAPersonSeesIt) {
  const std::string state = firstStateOfLoadedPage();
  EXPECT_NE(state.find("web area \"Local form\""), std::string::npos) << state;
  EXPECT_NE(state.find("heading \"Order form\""), std::string::npos) << state;
  EXPECT_NE(state.find("text field \"Name\" value=\"Ada\""), std::string::npos) << state;
  EXPECT_NE(state.find("button \"Send\""), std::string::npos) << state;
  EXPECT_NE(state.find("link \"More\""), std::string::npos) << state;
  EXPECT_NE(state.find("popup button value=\"Medium\" (collapsed)"), std::string::npos) << state;
  EXPECT_EQ(state.find("\"Small\""), std::string::npos) << "a closed <select> lists no options: " << state;
  EXPECT_EQ(state.find("\xEF\xBF\xBC"), std::string::npos) << "no object marks in labels: " << state;
  EXPECT_EQ(state.find("] group @"), std::string::npos) << "no passive unlabelled groups: " << state;
  EXPECT_EQ(state.find("doDefault"), std::string::npos) << state;
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserPage, ::testing::Values("chromium", "firefox-esr"),
                         [](const auto& info) { return info.param == "chromium" ? "Chromium" : "Firefox"; });

TEST_P(BrowserPage, ABrowserClickedInTheBackgroundLeavesTheUsersWindowActiveAndOnTop) {
  // Firefox's page missed the first click on a fresh page in 2 of 4 loaded runs: still open.
  if (GetParam() == "firefox-esr") GTEST_SKIP() << "Firefox's first click on a fresh page is not reliable yet";
  TempDirectory folder;
  ChildProcess user("/usr/bin/python3", {fixtures + "user_window.py", folder.file("typed.txt"), "900"});
  std::string userWindow;
  ASSERT_TRUE(eventually([&] { return !(userWindow = run("xdotool search --name '^User notes$' | head -1")).empty(); },
                         std::chrono::seconds(20)));
  const std::string state = firstStateOfLoadedPage();
  std::smatch send;
  ASSERT_TRUE(std::regex_search(state, send, std::regex(R"re(button "Send"[^\n]*@(\d+),(\d+) (\d+)x(\d+))re"))) << state;
  auto app = running();
  ASSERT_TRUE(app);
  run("xdotool windowactivate --sync " + userWindow);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const UserSide before;
  const Json click{{"app", std::to_string(app->pid)},
                   {"x", std::stod(send[1]) + std::stod(send[3]) / 2},
                   {"y", std::stod(send[2]) + std::stod(send[4]) / 2}};
  const std::string result = Tools::call("click", Arguments(click), engine_, [] { return false; }).text;
  EXPECT_TRUE(result.starts_with("Clicked at that point.")) << result;
  EXPECT_TRUE(eventually([&] { return hasWindowTitled(app->pid, "Local form sent"); })) << "the page saw the click";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  expectUserSideKept(before, UserSide());
}

TEST_P(BrowserPage, APagesSelectAndTextFieldAreSetThroughAccessibility) {
  const std::string state = firstStateOfLoadedPage();
  auto app = running();
  ASSERT_TRUE(app);
  std::smatch select, name;
  ASSERT_TRUE(std::regex_search(state, select, std::regex(R"re(\[(\d+)\] popup button value="Medium")re"))) << state;
  ASSERT_TRUE(std::regex_search(state, name, std::regex(R"re(\[(\d+)\] text field "Name")re"))) << state;
  auto set = [&](const std::string& index, const std::string& value) {
    try {
      return engine_.setValue(std::to_string(app->pid), std::nullopt, std::stoll(index), value).text;
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
  };
  EXPECT_EQ(set(select[1], "Sm"), "No option is exactly \"Sm\", so chose the closest, \"Small\"; it now shows \"Small\".");
  EXPECT_EQ(set(select[1], "huge"), "No option \"huge\". Options: Small, Medium, Large.");
  // A page field takes the value through accessibility, or else it is typed.
  const std::string named = set(name[1], "Grace");
  EXPECT_TRUE(named == "Set the value." || named == "Typed the value into the field.") << named;
  const std::string after = engine_.getAppState(std::to_string(app->pid), std::nullopt, false).text;
  EXPECT_NE(after.find("popup button value=\"Small\""), std::string::npos) << after;
  EXPECT_TRUE(eventually([&] { return hasWindowTitled(app->pid, "Local form: Small"); })) << "the page was told of the change";
  EXPECT_NE(after.find("text field \"Name\" value=\"Grace\""), std::string::npos) << after;

  // A word of the page's field selected, and a paste that replaces it or, where the page's
  // field takes no insertion through accessibility, says so and changes nothing.
  const auto call = [&](const std::string& tool, const Json& arguments) {
    Json all = arguments;
    all["app"] = std::to_string(app->pid);
    try {
      return Tools::call(tool, Arguments(all), engine_, [] { return false; }).text;
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
  };
  const std::string selected = call("select_text", {{"element_index", std::stoll(name[1])}, {"text", "ace"}});
  EXPECT_TRUE(selected.starts_with("Selected \"ace\".")) << selected;
  const std::string pasted = call("paste", {{"text", "ape"}});
  const bool inserted = pasted.starts_with("Inserted text at the caret through accessibility");
  EXPECT_TRUE(inserted || pasted.starts_with("This field or format has no private paste path.") ||
              pasted.starts_with("The app accepted the text edit but reports a different result."))
      << pasted;
  const std::string last = engine_.getAppState(std::to_string(app->pid), std::nullopt, false).text;
  const std::string shown = std::string("text field \"Name\" value=\"") + (inserted ? "Grape" : "Grace") + "\"";
  EXPECT_NE(last.find(shown), std::string::npos) << last;
}

TEST_P(BrowserPage, ALongPageScrollsByTheAgentsWheelInTheBackground) {
  firstStateOfLoadedPage("file://" + fixtures + "long.html", "Long page");
  auto app = running();
  ASSERT_TRUE(app);
  const std::string result =
      engine_.scroll(std::to_string(app->pid), std::nullopt, std::nullopt, std::nullopt, std::nullopt, "down", 2).text;
  // A page reports no scroll position; the page itself says how far it went.
  EXPECT_TRUE(result.starts_with("Sent the scroll wheel down, but this view does not report its scroll position"))
      << result;
  EXPECT_TRUE(eventually([&] {
    for (const auto& window : Apps::frontToBack())
      if (window.pid == app->pid && std::regex_search(window.title, std::regex("^Long page at [1-9][0-9]{2,}"))) return true;
    return false;
  })) << "the page did not scroll";
}


// As a user starts it: Chromium then builds no page accessibility, whatever is asked of it
// on the bus (measured), and says so to the agent.
TEST_P(BrowserPage, AChromiumTheUserStartedWithoutPageAccessibilityIsReportedSo) {
  if (GetParam() != "chromium") GTEST_SKIP() << "Firefox builds its page's accessibility when asked";
  ChildProcess browser(fixtures + "chromium", {page});
  auto app = running();
  ASSERT_TRUE(eventually([&] { return (app = running()) && hasWindowTitled(app->pid, "Local form"); },
                         std::chrono::seconds(30)));
  for (int read = 0; read < 2; ++read) {
    const std::string state = engine_.getAppState(std::to_string(app->pid), std::nullopt, false).text;
    EXPECT_NE(state.find("Note: this app shows its web content to accessibility only when started for it"),
              std::string::npos)
        << state;
    EXPECT_NE(state.find("[0] window \"Local form - Chromium\""), std::string::npos) << state;
  }
}

// Firefox keeps a background tab's whole document in its tree, with believable frames.
TEST_P(BrowserPage, OnlyTheShownTabsPageIsListed) {
  std::vector<std::string> arguments{page, "file://" + fixtures + "long.html"};
  if (GetParam() == "chromium") arguments.insert(arguments.begin(), "--force-renderer-accessibility");
  ChildProcess browser(fixtures + GetParam(), arguments);
  std::optional<RunningApp> app;
  ASSERT_TRUE(eventually([&] { return (app = running()) && hasWindowTitled(app->pid, "Local form"); },
                         std::chrono::seconds(30)))
      << "the first page opened is shown";
  std::this_thread::sleep_for(std::chrono::seconds(2));  // the other tab loads meanwhile
  const std::string state = engine_.getAppState(std::to_string(app->pid), std::nullopt, false).text;
  EXPECT_NE(state.find("heading \"Order form\""), std::string::npos) << state;
  EXPECT_NE(state.find("Long page"), std::string::npos) << "its tab is listed: " << state;
  EXPECT_EQ(state.find("A long page"), std::string::npos) << "the other tab's page: " << state;
  EXPECT_EQ(state.find("web area \"Long page"), std::string::npos) << state;
}

// Firefox builds a menu's items when the menu opens, and aborts when asked for the key
// bindings of the items it is building.
TEST_P(BrowserPage, FirefoxsMenuBarCommandsAreChosenThroughAccessibility) {
  if (GetParam() != "firefox-esr") GTEST_SKIP() << "Chromium has no menu bar";
  const std::string state = firstStateOfLoadedPage();
  EXPECT_NE(state.find("Menu bar (use select_menu_item): File, Edit, View"), std::string::npos) << state;
  auto app = running();
  ASSERT_TRUE(app);
  const std::string pid = std::to_string(app->pid);
  auto choose = [&](const std::string& path) {
    try {
      return engine_.selectMenuItem(pid, std::nullopt, path).text;
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
  };
  const std::string missing = choose("File > Nothing");
  EXPECT_TRUE(missing.starts_with("No menu item \"Nothing\" under \"File\". Available: New Tab, ")) << missing;
  EXPECT_TRUE(choose("File > New Tab").starts_with("Chose File > New Tab.")) << "Firefox is still running";
  EXPECT_TRUE(eventually([&] { return hasWindowTitled(app->pid, "New Tab") || hasWindowTitled(app->pid, "Mozilla Firefox"); }))
      << "the new tab is shown";
  const std::string after = engine_.getAppState(pid, std::nullopt, false).text;
  EXPECT_NE(after.find("tab \"Local form\""), std::string::npos) << after;
  EXPECT_NE(after.find("tab \"New Tab\" (selected)"), std::string::npos) << after;
}
