// set_value, select_text, perform_secondary_action, select_menu_item and paste: through
// accessibility alone, on an editor behind the user's terminal.
#include <gtest/gtest.h>

#include <regex>

#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "tests/support/EditorBehindTerminal.hpp"

namespace {

using NodeID = SimDesktop::NodeID;

struct Desk : EditorBehindTerminal {
  NodeID window = scene->windowNode(editorWindow);
  std::map<std::string, AXValue> at(double x, double y, std::map<std::string, AXValue> more = {}) {
    more["AXPosition"] = Point{x, y};
    more["AXSize"] = Size{120, 24};
    return more;
  }
  // The reply's first line: the state that follows is not what these tests read.
  std::string act(const std::string& tool, Json arguments) {
    arguments["app"] = "Editor";
    const std::string text = scene.call(tool, arguments);
    return text.substr(0, text.find('\n'));
  }
  // The element's index in a fresh state, by the start of its line ("check box \"Bold\"").
  int64_t indexOf(const std::string& line) {
    const std::string state = scene.call("get_app_state", {{"app", "Editor"}});
    std::smatch found;
    const std::regex pattern("\\[(\\d+)\\] " + std::regex_replace(line, std::regex(R"([\[\]().*+?^$|\\])"), R"(\$&)"));
    if (!std::regex_search(state, found, pattern)) return -1;
    return std::stoll(found[1]);
  }
  std::string set(const std::string& line, const std::string& value) {
    return act("set_value", {{"element_index", indexOf(line)}, {"value", value}});
  }
  void expectUserSideKept() {
    EXPECT_EQ(scene->windowServer().frontProcess(), terminal);
    EXPECT_EQ(scene->userPointer(), (Point{720, 450}));
    EXPECT_FALSE(SharedKeyWindow::shared().holds(editor));
  }
};

// A pop-up button whose press opens a menu of options; choosing one shows it and closes the menu.
struct PopUp {
  Desk& desk;
  NodeID button;
  std::optional<NodeID> menu;
  std::vector<std::string> options;
  int opened = 0;

  PopUp(Desk& on, std::vector<std::string> titles) : desk(on), options(std::move(titles)) {
    button = desk.scene->addElement(desk.window, "AXPopUpButton",
                                    desk.at(100, 300, {{"AXTitle", std::string("Size")}, {"AXValue", options[0]}}),
                                    {"AXPress"});
    desk.scene->onAction(button, "AXPress", [this] { open(); });
  }
  void open() {
    ++opened;
    menu = desk.scene->addElement(button, "AXMenu", desk.at(100, 330), {"AXCancel"});
    desk.scene->onAction(*menu, "AXCancel", [this] { closeMenu(); });
    for (const auto& title : options) {
      NodeID item = desk.scene->addElement(*menu, "AXMenuItem", {{"AXTitle", title}}, {"AXPress"});
      desk.scene->onAction(item, "AXPress", [this, title] { desk.scene->setValue(button, "AXValue", title); });
    }
  }
  void closeMenu() {
    if (menu) desk.scene->removeElement(*menu);
    menu.reset();
  }
};

// A page's <select> as Firefox has it: its options are listed while it is closed, a pick
// of one is answered but changes nothing, and with the focus on it the arrow keys step
// through the enabled options. Qt's combo box cannot be focused: each click of the
// wheel over it steps instead.
struct IgnoringSelect {
  Desk& desk;
  NodeID page = desk.scene->addElement(desk.window, "AXWebArea", desk.at(100, 140, {{"AXSize", Size{600, 400}}}));
  NodeID select = desk.scene->addElement(page, "AXPopUpButton", desk.at(120, 300, {{"AXValue", std::string("Medium")}}),
                                         {"AXPress"});
  NodeID list = desk.scene->addElement(select, "AXMenu", desk.at(120, 330), {"AXCancel"});
  std::vector<NodeID> options;
  std::vector<std::string> changes;  // the change events the page heard

  explicit IgnoringSelect(Desk& on, bool focusable = true) : desk(on) {
    if (focusable) desk.scene->makeSettable(select, "AXFocused");
    desk.scene->onAction(select, SimInput::wheelTurned, [this] { step(); });
    for (const char* title : {"Small", "Medium", "Tiny", "Large", "Giant"}) {
      std::map<std::string, AXValue> option{{"AXTitle", std::string(title)}, {"AXEnabled", std::string(title) != "Tiny"}};
      options.push_back(desk.scene->addElement(list, "AXMenuItem", option, {"AXPick"}));
    }
    desk.scene->onAction(desk.scene->appNode(desk.editor), SimInput::keyPressed, [this] { step(); });
  }
  std::string title(NodeID option) {
    return std::get<std::string>(desk.scene->accessibility().copyAttribute(desk.scene->element(option), "AXTitle").second);
  }
  bool enabled(NodeID option) {
    return std::get<bool>(desk.scene->accessibility().copyAttribute(desk.scene->element(option), "AXEnabled").second);
  }
  void step() {
    auto& keys = *desk.scene->keyboardLayouts();
    const AgentEvent event = desk.scene->posted().back().event;
    int by = event.keyCode == keys.keyNamed("Down")->keyCode ? 1 : event.keyCode == keys.keyNamed("Up")->keyCode ? -1 : 0;
    if (event.kind == AgentEvent::Kind::scroll) by = event.wheel.y < 0 ? 1 : -1;
    const std::string now = desk.scene->text(select);
    int at = 0;
    while (title(options[at]) != now) ++at;
    for (int next = at + by; by != 0 && next >= 0 && next < int(options.size()); next += by) {
      if (!enabled(options[next])) continue;
      desk.scene->setValue(select, "AXValue", title(options[next]));
      changes.push_back(title(options[next]));
      return;
    }
  }
};

}  // namespace

TEST(SetValue, TogglesTakeTheirWordsAndArePressedOnlyWhenTheyMustChange) {
  Desk desk;
  NodeID box = desk.scene->addElement(desk.window, "AXCheckBox",
                                      desk.at(100, 150, {{"AXTitle", std::string("Bold")}, {"AXValue", int64_t(0)}}),
                                      {"AXPress"});
  int presses = 0;
  desk.scene->onAction(box, "AXPress", [&] {
    ++presses;
    auto now = std::get<int64_t>(*AX::value(desk.scene->element(box), "AXValue"));
    desk.scene->setValue(box, "AXValue", int64_t(1 - now));
  });
  EXPECT_EQ(desk.set("check box \"Bold\"", "Yes"), "Turned on.");
  EXPECT_EQ(desk.set("check box \"Bold\"", "ON"), "Already on.");
  EXPECT_EQ(desk.set("check box \"Bold\"", "1"), "Already on.");
  EXPECT_EQ(desk.set("check box \"Bold\"", "false"), "Turned off.");
  EXPECT_EQ(desk.set("check box \"Bold\"", "maybe"), "Use true or false for a checkbox, radio button or switch.");
  EXPECT_EQ(presses, 2);
  desk.expectUserSideKept();
}

TEST(SetValue, NumbersAreSetOrSteppedAndNamedAsPeopleWriteThem) {
  Desk desk;
  NodeID slider = desk.scene->addElement(desk.window, "AXSlider",
                                         desk.at(100, 150, {{"AXTitle", std::string("Volume")}, {"AXValue", 1.0}}));
  desk.scene->makeSettable(slider, "AXValue");
  EXPECT_EQ(desk.set("slider \"Volume\"", "2,5"), "Set to 2.5.");
  EXPECT_EQ(desk.set("slider \"Volume\"", "3"), "Set to 3.");
  EXPECT_EQ(desk.set("slider \"Volume\"", "loud"), "Use a number for this control.");

  // A stepper whose value cannot be set goes one step at a time until it reaches or passes the target.
  NodeID stepper = desk.scene->addElement(
      desk.window, "AXIncrementor", desk.at(100, 200, {{"AXTitle", std::string("Copies")}, {"AXValue", 1.0}}),
      {"AXIncrement", "AXDecrement"});
  int steps = 0;
  auto step = [&](double by) {
    ++steps;
    desk.scene->setValue(stepper, "AXValue", std::get<double>(*AX::value(desk.scene->element(stepper), "AXValue")) + by);
  };
  desk.scene->onAction(stepper, "AXIncrement", [&] { step(2); });
  desk.scene->onAction(stepper, "AXDecrement", [&] { step(-2); });
  EXPECT_EQ(desk.set("incrementor \"Copies\"", "6"), "Stepped to 7.");
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(desk.set("incrementor \"Copies\"", "3"), "Stepped to 3.");

  NodeID gauge = desk.scene->addElement(desk.window, "AXLevelIndicator",
                                        desk.at(100, 250, {{"AXTitle", std::string("Level")}, {"AXValue", 1.0}}));
  (void)gauge;
  EXPECT_EQ(desk.set("level indicator \"Level\"", "2"),
            "This control's value cannot be set directly. Use click or drag on it.");
}

TEST(SetValue, TextFieldsSayWhatTheAppMadeOfTheValue) {
  Desk desk;
  NodeID field = desk.scene->addElement(desk.window, "AXTextField",
                                        desk.at(100, 150, {{"AXTitle", std::string("Amount")}, {"AXValue", std::string("5")}}));
  desk.scene->makeSettable(field, "AXValue");
  EXPECT_EQ(desk.set("text field \"Amount\"", "12"), "Set the value.");
  EXPECT_EQ(desk.scene->text(field), "12");

  NodeID label = desk.scene->addElement(desk.window, "AXImage", desk.at(100, 200, {{"AXTitle", std::string("Logo")}}));
  (void)label;
  EXPECT_EQ(desk.set("image \"Logo\"", "x"),
            "This image has no settable value. Click it and type, or use perform_secondary_action.");
}

TEST(SetValue, APopUpChoosesTheOptionByItsTitleOrTheClosestAndClosesItsList) {
  Desk desk;
  PopUp popUp(desk, {"Small", "Medium", "Large"});
  EXPECT_EQ(desk.set("popup button \"Size\"", "large"), "Chose \"Large\"; it now shows \"Large\".");
  EXPECT_FALSE(popUp.menu);
  EXPECT_EQ(desk.set("popup button \"Size\"", "Med"),
            "No option is exactly \"Med\", so chose the closest, \"Medium\"; it now shows \"Medium\".");
  EXPECT_EQ(desk.set("popup button \"Size\"", "huge"), "No option \"huge\". Options: Small, Medium, Large.");
  EXPECT_FALSE(popUp.menu) << "the list opened to look is closed again";
  EXPECT_EQ(desk.scene->text(popUp.button), "Medium");
  desk.expectUserSideKept();
}

TEST(SetValue, APagesSelectThatIgnoresThePickIsChosenByTheAgentsArrowKeys) {
  Desk desk;
  IgnoringSelect select(desk);
  EXPECT_EQ(desk.set("popup button value=\"Medium\"", "large"), "Chose \"Large\"; it now shows \"Large\".");
  // Two downs skip the disabled option and overshoot to Giant; one up mends it.
  EXPECT_EQ(select.changes, (std::vector<std::string>{"Large", "Giant", "Large"}));
  EXPECT_EQ(desk.set("popup button value=\"Large\"", "Small"), "Chose \"Small\"; it now shows \"Small\".");
  EXPECT_EQ(desk.set("popup button value=\"Small\"", "huge"), "No option \"huge\". Options: Small, Medium, Tiny, Large, Giant.");
  EXPECT_EQ(desk.scene->text(select.select), "Small");
  desk.expectUserSideKept();
}

TEST(SetValue, AComboBoxThatCannotBeFocusedIsSteppedByTheAgentsWheelOverIt) {
  Desk desk;
  IgnoringSelect combo(desk, false);
  EXPECT_EQ(desk.set("popup button value=\"Medium\"", "giant"), "Chose \"Giant\"; it now shows \"Giant\".");
  EXPECT_EQ(combo.changes, (std::vector<std::string>{"Large", "Giant"}));
  EXPECT_EQ(desk.set("popup button value=\"Giant\"", "small"), "Chose \"Small\"; it now shows \"Small\".");
  for (const auto& posted : desk.scene->posted()) {
    EXPECT_NE(posted.event.kind, AgentEvent::Kind::keyDown) << "keys would reach another control";
    if (posted.event.kind == AgentEvent::Kind::scroll) {
      EXPECT_EQ(std::abs(posted.event.wheel.y), AgentEvent::wheelClick) << "one option per click";
    }
  }
  desk.expectUserSideKept();
}

TEST(SelectText, ThePrefixPicksAmongRepeatsAndTheCaretGoesBeforeOrAfter) {
  Desk desk;
  NodeID field = desk.scene->addElement(desk.window, "AXTextField",
                                        desk.at(100, 150, {{"AXTitle", std::string("Note")}, {"AXValue", std::string("This is it")}}));
  desk.scene->makeSettable(field, "AXSelectedTextRange");
  desk.scene->makeSettable(field, "AXFocused");
  const int64_t index = desk.indexOf("text field \"Note\"");
  auto selection = [&] { return AX::attribute<TextRange>(desk.scene->element(field), "AXSelectedTextRange"); };
  EXPECT_EQ(desk.act("select_text", {{"element_index", index}, {"text", "is"}}), "Selected \"is\".");
  EXPECT_EQ(selection(), (TextRange{2, 2}));
  EXPECT_EQ(desk.act("select_text", {{"element_index", index}, {"text", "is"}, {"prefix", "This "}}), "Selected \"is\".");
  EXPECT_EQ(selection(), (TextRange{5, 2}));
  EXPECT_EQ(desk.act("select_text", {{"element_index", index}, {"text", "it"}, {"selection_type", "cursor_after"}}),
            "Placed the caret after \"it\".");
  EXPECT_EQ(selection(), (TextRange{10, 0}));
  EXPECT_EQ(desk.act("select_text", {{"element_index", index}, {"text", "was"}}),
            "\"was\" was not found in element " + std::to_string(index) + ".");
  desk.expectUserSideKept();
}

TEST(PerformSecondaryAction, ActionsMatchWithoutPrefixCaseOrSpacesAndUnknownOnesListTheOthers) {
  Desk desk;
  NodeID stepper = desk.scene->addElement(desk.window, "AXIncrementor",
                                          desk.at(100, 150, {{"AXTitle", std::string("Copies")}, {"AXValue", 1.0}}),
                                          {"AXIncrement", "AXDecrement", "AXShowMenu"});
  int increments = 0, menus = 0;
  desk.scene->onAction(stepper, "AXIncrement", [&] { ++increments; });
  desk.scene->onAction(stepper, "AXShowMenu", [&] { ++menus; });
  const int64_t index = desk.indexOf("incrementor \"Copies\"");
  const std::string named = "[" + std::to_string(index) + "]";
  EXPECT_EQ(desk.act("perform_secondary_action", {{"element_index", index}, {"action", "increment"}}),
            "Performed Increment on " + named + ".");
  EXPECT_EQ(desk.act("perform_secondary_action", {{"element_index", index}, {"action", "show menu"}}),
            "Performed ShowMenu on " + named + ".");
  EXPECT_EQ(desk.act("perform_secondary_action", {{"element_index", index}, {"action", "AXIncrement"}}),
            "Performed Increment on " + named + ".");
  EXPECT_EQ(desk.act("perform_secondary_action", {{"element_index", index}, {"action", "Explode"}}),
            "Element " + std::to_string(index) + " has no action \"Explode\". Available: Increment, Decrement, ShowMenu.");
  EXPECT_EQ(increments, 2);
  EXPECT_EQ(menus, 1);
}

TEST(SelectMenuItem, PathsMatchLooselyDisabledAndMissingItemsAreNamedAndClipboardCommandsStayPrivate) {
  Desk desk;
  NodeID bar = desk.scene->addElement(desk.scene->appNode(desk.editor), "AXMenuBar");
  desk.scene->setValue(desk.scene->appNode(desk.editor), "AXMenuBar", desk.scene->element(bar));
  std::map<std::string, int> pressed;
  auto menu = [&](const std::string& title, std::vector<std::pair<std::string, bool>> items) {
    NodeID top = desk.scene->addElement(bar, "AXMenuBarItem", {{"AXTitle", title}}, {"AXPress"});
    NodeID list = desk.scene->addElement(top, "AXMenu");
    for (const auto& entry : items) {
      const std::string item = entry.first;
      NodeID node =
          desk.scene->addElement(list, "AXMenuItem", {{"AXTitle", item}, {"AXEnabled", entry.second}}, {"AXPress"});
      desk.scene->onAction(node, "AXPress", [&pressed, item] { ++pressed[item]; });
    }
  };
  menu("File", {{"New", true}, {"Export...", true}, {"Print", false}});
  menu("Edit", {{"Copy", true}, {"Paste", true}});
  menu("Format", {{"Copy Style", true}});

  EXPECT_EQ(desk.act("select_menu_item", {{"path", "file>export\u2026"}}), "Chose file > export\u2026.");
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "File \u2192 Export"}}), "Chose File > Export.");
  EXPECT_EQ(pressed["Export..."], 2);
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "File > Print"}}), "\"Print\" is disabled right now.");
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "File > Open"}}),
            "No menu item \"Open\" under \"File\". Available: New, Export..., Print.");
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "Window"}}),
            "No menu item \"Window\". Available: File, Edit, Format.");
  EXPECT_EQ(desk.act("select_menu_item", {{"path", " > "}}), "Pass a path like \"File > Export\u2026\".");
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "Format > Copy Style"}}),
            "This clipboard menu command is not a standard text operation and cannot be performed privately.");
  // The app's own Paste is never pressed: the agent's empty clipboard is said to be empty.
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "Edit \u2192 Paste"}}),
            "The agent clipboard has no plain text to paste. The user's clipboard is not read.");
  // So is Select All, on the focused field.
  NodeID field = desk.scene->addFocusedField(desk.window, "AXTextArea", "abc");
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "Edit > Select All"}}),
            "Selected all text of the focused field through accessibility.");
  EXPECT_EQ(AX::attribute<TextRange>(desk.scene->element(field), "AXSelectedTextRange"), (TextRange{0, 3}));
  EXPECT_EQ(pressed["Print"] + pressed["Paste"] + pressed["Copy Style"], 0);
  desk.expectUserSideKept();
}

TEST(SelectMenuItem, AMenuThatBuildsItsItemsWhenOpenedIsOpenedAndClosedAgainWhenNothingMatches) {
  Desk desk;
  NodeID bar = desk.scene->addElement(desk.scene->appNode(desk.editor), "AXMenuBar");
  desk.scene->setValue(desk.scene->appNode(desk.editor), "AXMenuBar", desk.scene->element(bar));
  NodeID file = desk.scene->addElement(bar, "AXMenu", {{"AXTitle", std::string("File")}}, {"AXPress"});
  std::vector<NodeID> items;
  int newTabs = 0;
  desk.scene->onAction(file, "AXPress", [&] {  // a press opens the menu, or closes it again
    if (!items.empty()) {
      for (NodeID item : items) desk.scene->removeElement(item);
      items.clear();
      return;
    }
    for (const char* title : {"New Tab", "Quit"})
      items.push_back(desk.scene->addElement(file, "AXMenuItem", {{"AXTitle", std::string(title)}}, {"AXPress"}));
    desk.scene->onAction(items.front(), "AXPress", [&] { ++newTabs; });
  });
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "File > Nothing"}}),
            "No menu item \"Nothing\" under \"File\". Available: New Tab, Quit.");
  EXPECT_TRUE(items.empty()) << "the menu opened to look is closed again";
  EXPECT_EQ(desk.act("select_menu_item", {{"path", "File > New Tab"}}), "Chose File > New Tab.");
  EXPECT_EQ(newTabs, 1);
  desk.expectUserSideKept();
}

TEST(Paste, TextGoesInAtTheCaretAndOtherFormatsAreRefused) {
  Desk desk;
  NodeID field = desk.scene->addFocusedField(desk.window, "AXTextArea", "Hello world");
  desk.scene->setValue(field, "AXSelectedTextRange", TextRange{6, 5});
  EXPECT_EQ(desk.act("paste", {{"text", "there"}}),
            "Inserted text at the caret through accessibility without using the system clipboard.");
  EXPECT_EQ(desk.scene->text(field), "Hello there");
  EXPECT_EQ(desk.act("paste", {{"text", "<b>x</b>"}, {"format", "HTML"}}),
            "This field or format has no private paste path. The system clipboard was not changed. Use type_text or "
            "set_value for text; HTML and file paste require app support.");
  EXPECT_EQ(desk.scene->text(field), "Hello there");
  desk.expectUserSideKept();
}
