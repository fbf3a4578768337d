// An agent sets values, selects text, pastes and chooses menu commands in real apps
// through `tarnwick mcp`, all through accessibility, while the user types in their window.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <thread>

#include "tests/x11/AgentDesk.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {


class ElementActions : public AgentDesk {
 protected:
  // The user's own clipboard and primary selection, held by xclip as any app holds them.
  void SetUp() override {
    AgentDesk::SetUp();
    run("printf user-clipboard | xclip -selection clipboard -loops 0 >/dev/null 2>&1 &");
    run("printf user-primary | xclip -selection primary -loops 0 >/dev/null 2>&1 &");
    ASSERT_TRUE(eventually([] { return selections() == "user-clipboard|user-primary"; })) << selections();
  }
  void TearDown() override { run("pkill -x xclip"); }
  static std::string selections() {
    return run("timeout 2 xclip -o -selection clipboard 2>&1") + "|" + run("timeout 2 xclip -o -selection primary 2>&1");
  }
  // The index of the first enabled element whose line starts so ("slider").
  static int64_t indexOf(const std::string& state, const std::string& line) {
    std::smatch found;
    const std::regex pattern("\\[(\\d+)\\] " + line + "[^\\n(]*@");
    return std::regex_search(state, found, pattern) ? std::stoll(found[1]) : -1;
  }
  static std::string set(int64_t index, const std::string& value) {
    return firstLine(tool("set_value", {{"app", "gtk3-widget-factory"}, {"element_index", index}, {"value", value}}));
  }
};

}  // namespace

TEST_F(ElementActions, SlidersSpinButtonsCheckBoxesAndPopUpsAreSetInTheBackground) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const UserSide before;
  auto typing = userTypes("the user keeps typing 456");
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  const int64_t spin = indexOf(state, "incrementor"), slider = indexOf(state, "slider"),
                popUp = indexOf(state, "popup button \"Left\""), image = indexOf(state, "image");
  auto box = ElementSearch::firstCheckBox(state);
  ASSERT_TRUE(spin > 0 && slider > 0 && popUp > 0 && image > 0 && box) << state;

  EXPECT_EQ(set(spin, "42"), "Set to 42.");
  EXPECT_EQ(set(slider, "75,5"), "Set to 75.5.");
  const bool wasOn = ElementSearch::checkBoxValue(factory->pid, box->title) == 1;  // read before the call
  EXPECT_EQ(set(std::stoll(box->index), "true"), wasOn ? "Already on." : "Turned on.");
  EXPECT_EQ(ElementSearch::checkBoxValue(factory->pid, box->title), 1);
  EXPECT_EQ(set(std::stoll(box->index), "off"), "Turned off.");
  EXPECT_EQ(ElementSearch::checkBoxValue(factory->pid, box->title), 0);
  EXPECT_EQ(set(popUp, "right"), "Chose \"Right\"; it now shows \"Right\".");
  EXPECT_EQ(set(popUp, "mid"), "No option is exactly \"mid\", so chose the closest, \"Middle\"; it now shows \"Middle\".");

  // Bad input is refused with what would work, and changes nothing.
  EXPECT_EQ(set(popUp, "nothing"), "No option \"nothing\". Options: Left, Middle, Right.");
  EXPECT_EQ(set(spin, "many"), "Use a number for this control.");
  EXPECT_EQ(set(std::stoll(box->index), "maybe"), "Use true or false for a checkbox, radio button or switch.");
  EXPECT_EQ(set(image, "x"), "This image has no settable value. Click it and type, or use perform_secondary_action.");
  const std::string after = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  EXPECT_NE(after.find("popup button \"Middle\" value=\"Middle\""), std::string::npos) << after;
  EXPECT_NE(after.find("incrementor value=\"42\""), std::string::npos) << after;
  EXPECT_EQ(firstLine(tool("perform_secondary_action",
                           {{"app", "gtk3-widget-factory"}, {"element_index", spin}, {"action", "increment"}})),
            "Performed Increment on [" + std::to_string(spin) + "].");
  EXPECT_NE(tool("get_app_state", {{"app", "gtk3-widget-factory"}}).find("incrementor value=\"43\""),
            std::string::npos);
  set(popUp, "Left");

  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "the user keeps typing 456"; })) << readFile(typedFile());
  EXPECT_EQ(UserSide(), before);
  EXPECT_EQ(selections(), "user-clipboard|user-primary");
}

TEST_F(ElementActions, AWordIsSelectedAndReplacedByAPasteWithoutTheUsersSelections) {
  const UserSide before;
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  const int64_t entry = indexOf(state, "text field value=\"entry\"");
  ASSERT_GT(entry, 0) << state;
  EXPECT_EQ(set(entry, "hello world"), "Set the value.");
  EXPECT_EQ(firstLine(tool("select_text", {{"app", "gtk3-widget-factory"}, {"element_index", entry}, {"text", "world"}})),
            "Selected \"world\".");
  EXPECT_EQ(firstLine(tool("paste", {{"app", "gtk3-widget-factory"}, {"text", "there"}})),
            "Inserted text at the caret through accessibility without using the system clipboard.");
  EXPECT_NE(tool("get_app_state", {{"app", "gtk3-widget-factory"}}).find("value=\"hello there\""), std::string::npos);
  EXPECT_EQ(firstLine(tool("select_text", {{"app", "gtk3-widget-factory"}, {"element_index", entry}, {"text", "nope"}})),
            "\"nope\" was not found in element " + std::to_string(entry) + ".");
  // The entry took PRIMARY while its word was selected and let it go with the paste.
  EXPECT_TRUE(eventually([] { return selections() == "user-clipboard|user-primary"; })) << selections();
  expectUserSideKept(before, UserSide());
  // While the agent's word stays selected, the user's middle-click still pastes their own text.
  EXPECT_EQ(firstLine(tool("select_text", {{"app", "gtk3-widget-factory"}, {"element_index", entry}, {"text", "there"}})),
            "Selected \"there\".");
  run("xdotool mousemove --window " + userWindowID() + " 60 15 click 2");
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "user-primary"; })) << readFile(typedFile());
  EXPECT_EQ(selections(), "user-clipboard|user-primary");
  set(entry, "entry");
}

TEST_F(ElementActions, MousepadsMenuBarSelectsAllAndSavesWhileInTheBackground) {
  const std::string file = fileWith("menus.txt", "alpha beta");
  const auto editor = openInMousepad(file);
  ASSERT_TRUE(editor);
  const std::string state = tool("get_app_state", {{"app", "mousepad"}});
  EXPECT_NE(state.find("Menu bar (use select_menu_item): File, Edit"), std::string::npos) << state;
  // Its hidden tool bar's 15 buttons are in its accessibility tree, not on the screen.
  EXPECT_EQ(state.find("] button"), std::string::npos) << state;
  const UserSide before;
  auto typing = userTypes("notes of my own");
  auto menu = [](const std::string& path) { return firstLine(tool("select_menu_item", {{"app", "mousepad"}, {"path", path}})); };
  EXPECT_EQ(menu("edit > select all"), "Selected all text of the focused field through accessibility.");
  EXPECT_EQ(menu("Edit \u2192 Copy"),
            "Handled the clipboard command through accessibility using the agent's private text clipboard.");
  EXPECT_EQ(firstLine(tool("paste", {{"app", "mousepad"}, {"text", "gamma"}})),
            "Inserted text at the caret through accessibility without using the system clipboard.");
  EXPECT_EQ(menu("Edit > Paste"),
            "Handled the clipboard command through accessibility using the agent's private text clipboard.");
  EXPECT_EQ(menu("File > Save"), "Chose File > Save.");
  EXPECT_TRUE(eventually([&] { return readFile(file) == "gammaalpha beta"; })) << readFile(file);
  EXPECT_TRUE(menu("File > Frobnicate").starts_with("No menu item \"Frobnicate\" under \"File\". Available: "));
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "notes of my own"; })) << readFile(typedFile());
  const UserSide after;
  EXPECT_EQ(after.pointer, before.pointer);
  EXPECT_EQ(after.focus, before.focus);
  EXPECT_EQ(after.stacking, before.stacking);
  // Mousepad keeps the agent's text selected; the user's middle-click pastes their own.
  run("xdotool mousemove --window " + userWindowID() + " 370 15 click 2");
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "notes of my ownuser-primary"; })) << readFile(typedFile());
  EXPECT_EQ(selections(), "user-clipboard|user-primary");
  desktop_->workspace().requestQuit(editor->pid);
  // Gone before the next test notes the user's window order.
  EXPECT_TRUE(eventually([] { return !window("mousepad"); }, std::chrono::seconds(10)));
}

// Mousepad runs its Open dialog's loop inside the handling of the menu item's action. The
// app answers other connections meanwhile, and a key reaching it while anything waits on the
// action's connection deadlocks it for good.
TEST_F(ElementActions, AModalDialogAMenuCommandOpensIsReadAndKeysThatReachItLeaveTheAppAlive) {
  const auto editor = openInMousepad(fileWith("dialog.txt", "kept"));
  ASSERT_TRUE(editor);
  const UserSide before;
  auto typing = userTypes("typed meanwhile");
  EXPECT_EQ(firstLine(tool("select_menu_item", {{"app", "mousepad"}, {"path", "File > Open..."}})),
            "Chose File > Open....");
  const std::string dialog = tool("get_app_state", {{"app", "mousepad"}});
  EXPECT_NE(dialog.find("] window \"Open File\" @"), std::string::npos) << dialog;
  EXPECT_NE(dialog.find("button \"Cancel\""), std::string::npos) << dialog;
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "mousepad"}, {"key", "Escape"}})), "Pressed Escape.");
  EXPECT_TRUE(eventually([] {
    auto front = window("mousepad");
    return front && front->title.find("dialog.txt") != std::string::npos;
  })) << "the dialog stayed open";
  const std::string after = tool("get_app_state", {{"app", "mousepad"}});
  EXPECT_NE(after.find("text area value=\"kept\""), std::string::npos) << "the app answers: " << after;
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "typed meanwhile"; })) << readFile(typedFile());
  const UserSide now;
  EXPECT_EQ(now.pointer, before.pointer);
  EXPECT_EQ(now.focus, before.focus);
  desktop_->workspace().requestQuit(editor->pid);
  EXPECT_TRUE(eventually([] { return !window("mousepad"); }, std::chrono::seconds(10)));
}

TEST_F(ElementActions, ATextViewIsScrolledByTheAgentsWheelAndSaysHowFar) {
  const UserSide before;
  auto typing = userTypes("scrolling along");
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  std::smatch area;
  ASSERT_TRUE(std::regex_search(state, area, std::regex(R"(\[(\d+)\] text area value=)"))) << state;
  const int64_t view = std::stoll(area[1]);
  auto scroll = [&](const std::string& direction, double pages) {
    return firstLine(tool("scroll", {{"app", "gtk3-widget-factory"},
                                     {"element_index", view},
                                     {"direction", direction},
                                     {"pages", pages}}));
  };
  const std::string down = scroll("down", 1);
  EXPECT_TRUE(std::regex_match(down, std::regex("Scrolled down: position 0% \u2192 [1-9][0-9]?%\\."))) << down;
  EXPECT_EQ(scroll("Up", 4), "Scrolled Up: position " + down.substr(down.rfind(' ') + 1, down.size() - down.rfind(' ') - 2) + " \u2192 0%.");
  EXPECT_EQ(scroll("up", 1), "Nothing moved: the view is at the start already, or ignores scrolling in the background.");
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "scrolling along"; })) << readFile(typedFile());
  EXPECT_EQ(UserSide(), before);
}

TEST_F(ElementActions, AQtWindowsSliderSpinBoxCheckBoxAndComboBoxAreSet) {
  ChildProcess qtApp("/usr/bin/python3", {fixtures + "qt_window.py"});
  ASSERT_TRUE(eventually([] { return titled("Qt Notes").has_value(); }, std::chrono::seconds(20)));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  run("xdotool windowactivate --sync " + userWindowID());
  const std::string app = std::to_string(titled("Qt Notes")->pid);
  std::string state = tool("get_app_state", {{"app", app}});
  if (state.find("Greet") == std::string::npos) GTEST_SKIP() << "Qt did not register with the accessibility bus";
  const UserSide before;
  auto typing = userTypes("qt values meanwhile");
  auto setQt = [&](const std::string& line, const std::string& value) {
    const int64_t index = indexOf(state, line);
    EXPECT_GT(index, 0) << line << " in " << state;
    return firstLine(tool("set_value", {{"app", app}, {"element_index", index}, {"value", value}}));
  };
  // Qt names a spin box an incrementor, and a combo box by its current option.
  EXPECT_EQ(setQt("slider \"Volume\"", "75"), "Set to 75.");
  EXPECT_EQ(setQt("incrementor \"Copies\"", "12"), "Set to 12.");
  EXPECT_EQ(setQt("check box \"Remember\"", "true"), "Turned on.");
  // Qt's combo box takes no pick through AT-SPI and cannot be focused for keys (measured):
  // the agent's wheel over it steps its options. An unknown option is refused.
  EXPECT_EQ(setQt("popup button \"Red\"", "blue"), "Chose \"Blue\"; it now shows \"Blue\".");
  EXPECT_EQ(setQt("popup button", "green"), "Chose \"Green\"; it now shows \"Green\".");
  EXPECT_TRUE(setQt("popup button", "purple").starts_with("No option \"purple\"")) << "an unknown option";
  // A word of the line edit replaced by a paste, and the spin box stepped by its action (by
  // Qt's own amount: 5 here, measured).
  const int64_t field = indexOf(state, "text field value=\"hello\"");
  EXPECT_EQ(firstLine(tool("select_text", {{"app", app}, {"element_index", field}, {"text", "ell"}})), "Selected \"ell\".");
  EXPECT_EQ(firstLine(tool("paste", {{"app", app}, {"text", "ipp"}})),
            "Inserted text at the caret through accessibility without using the system clipboard.");
  EXPECT_EQ(firstLine(tool("perform_secondary_action",
                           {{"app", app}, {"element_index", indexOf(state, "incrementor")}, {"action", "Increment"}})),
            "Performed Increment on [" + std::to_string(indexOf(state, "incrementor")) + "].");
  state = tool("get_app_state", {{"app", app}});
  EXPECT_TRUE(std::regex_search(state, std::regex(R"re(incrementor "Copies" value="(1[3-9]|[2-9]\d)")re"))) << state;
  for (const std::string line : {"slider \"Volume\" value=\"75\"",
                                 "check box \"Remember\" value=\"1\"", "popup button \"Green\" value=\"Green\"",
                                 "text field value=\"hippo\""})
    EXPECT_NE(state.find(line), std::string::npos) << line << " in " << state;
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "qt values meanwhile"; })) << readFile(typedFile());
  expectUserSideKept(before, UserSide());
  EXPECT_TRUE(eventually([] { return selections() == "user-clipboard|user-primary"; })) << selections();
}
