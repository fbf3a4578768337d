// An agent clicks real apps through `tarnwick mcp` while the user types in their own window.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <regex>
#include <thread>

#include "kit/common/Json.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/tools/Engine.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Eventually.hpp"
#include "tests/support/TempDirectory.hpp"
#include "tests/x11/AgentDesk.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {

class AgentClicks : public AgentDesk {
 protected:
  // A right click on the middle of the widget factory's first text field, with more arguments.
  static std::string rightClickTextField(const Json& more = Json::object()) {
    const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
    std::smatch field;
    if (!std::regex_search(state, field, std::regex(R"re(text field[^\n]*@(\d+),(\d+) (\d+)x(\d+))re")))
      return "no text field in " + state;
    Json arguments{{"app", "gtk3-widget-factory"},
                   {"x", std::stod(field[1]) + std::stod(field[3]) / 2},
                   {"y", std::stod(field[2]) + std::stod(field[4]) / 2},
                   {"mouse_button", "right"}};
    arguments.update(more);
    return tool("click", arguments);
  }
  // The user clicks into the factory's first text field, which brings the window to the
  // front as the user's own doing. (Activating it for them instead, within 4 s of an agent's
  // call, the focus guard would undo: no key or click of the user's asked for it.)
  static void userClicksTextField(const WindowInfo& factory, const std::string& state) {
    std::smatch field;
    ASSERT_TRUE(std::regex_search(state, field, std::regex(R"re(text field[^\n]*@(\d+),(\d+) (\d+)x(\d+))re")));
    run("xdotool mousemove " + std::to_string(int(factory.frame.origin.x + std::stod(field[1]) + std::stod(field[3]) / 2)) +
        " " + std::to_string(int(factory.frame.origin.y + std::stod(field[2]) + std::stod(field[4]) / 2)) + " click 1");
  }
  // Whether the app shows a menu or popup window of its own.
  static bool showsAMenu(pid_t pid) {
    for (const auto& each : Apps::frontToBack())
      if (each.pid == pid && each.layer > 0 && each.isOnScreen) return true;
    return false;
  }
};
using ElementSearch::checkBoxValue;
using ElementSearch::firstCheckBox;

}  // namespace

TEST_F(AgentClicks, APixelClickTogglesACheckBoxWhileTheUserTypesUndisturbed) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const UserSide before;
  auto typing = userTypes("the user keeps typing 123");
  auto box = firstCheckBox(tool("get_app_state", {{"app", "gtk3-widget-factory"}}));
  ASSERT_TRUE(box);
  auto value = checkBoxValue(factory->pid, box->title);
  ASSERT_TRUE(value);
  EXPECT_EQ(UserSide(), before) << "reading the state changes nothing";

  std::string result = tool("click", {{"app", "gtk3-widget-factory"}, {"x", box->x}, {"y", box->y}});
  EXPECT_TRUE(result.starts_with("Clicked at that point.")) << result;
  EXPECT_TRUE(eventually([&] { return checkBoxValue(factory->pid, box->title) == 1 - *value; }));
  typing.wait();

  EXPECT_EQ(UserSide(), before);
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "the user keeps typing 123"; }))
      << "the user's text: " << readFile(typedFile());

  // By index: pressed through accessibility, toggling it back.
  result = tool("click", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(box->index)}});
  EXPECT_TRUE(result.starts_with("Clicked [" + box->index + "]")) << result;
  EXPECT_TRUE(eventually([&] { return checkBoxValue(factory->pid, box->title) == *value; }));
  EXPECT_EQ(UserSide(), before);

}

// The first check box above is the header bar's menu toggle, whose popover takes the next
// click; this one is a plain check button.
TEST_F(AgentClicks, ACheckButtonClickedWithKeysHeldToggles) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  std::smatch found;
  ASSERT_TRUE(std::regex_search(
      state, found, std::regex(R"re(\[(\d+)\] check box "checkbutton" value="(\d)"(?: \(focused\))? @(\d+),(\d+) (\d+)x(\d+))re")))
      << state;
  const double x = std::stod(found[3]) + std::stod(found[5]) / 2, y = std::stod(found[4]) + std::stod(found[6]) / 2;
  auto value = [&] {
    const std::string now = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
    std::smatch line;
    std::regex_search(now, line, std::regex("\\[" + found[1].str() + "\\] check box \"checkbutton\" value=\"(\\d)\""));
    return line.size() > 1 ? line[1].str() : "";
  };
  const UserSide before;
  auto typing = userTypes("held keys meanwhile");
  std::string was = found[2];
  for (const char* keys : {"shift", "ctrl", "shift+alt"}) {
    const std::string result = tool("click", {{"app", "gtk3-widget-factory"}, {"x", x}, {"y", y}, {"key", keys}});
    EXPECT_TRUE(result.starts_with("Clicked at that point.")) << result;
    const std::string now = value();
    EXPECT_NE(now, was) << "with " << keys << " held";
    was = now;
  }
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "held keys meanwhile"; })) << readFile(typedFile());
  EXPECT_EQ(UserSide(), before);
  tool("click", {{"app", "gtk3-widget-factory"}, {"x", x}, {"y", y}});  // as it was
}

TEST_F(AgentClicks, ACoveredPointIsNeverClicked) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  auto box = firstCheckBox(tool("get_app_state", {{"app", "gtk3-widget-factory"}}));
  ASSERT_TRUE(box);
  auto value = checkBoxValue(factory->pid, box->title);
  // The user's window moves over the check box.
  const std::string user = userWindowID();
  Point point{factory->frame.origin.x + box->x, factory->frame.origin.y + box->y};
  run("xdotool windowmove --sync " + user + " " + std::to_string(int(point.x) - 100) + " " +
      std::to_string(int(point.y) - 40));
  run("xdotool windowactivate --sync " + user);
  const UserSide before;
  std::string result = tool("click", {{"app", "gtk3-widget-factory"}, {"x", box->x}, {"y", box->y}});
  EXPECT_TRUE(result.starts_with("Another window covers that point")) << result;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(checkBoxValue(factory->pid, box->title), value);
  EXPECT_EQ(UserSide(), before);
  EXPECT_EQ(readFile(typedFile()), "") << "the click never reached the user's window";
  run("xdotool windowmove --sync " + user + " 700 0");
}

TEST_F(AgentClicks, AQtButtonIsClickedWithoutTakingTheUsersFocus) {
  ChildProcess qtApp("/usr/bin/python3", {fixtures + "qt_window.py"});
  ASSERT_TRUE(eventually([] { return titled("Qt Notes").has_value(); }, std::chrono::seconds(20)));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // mapped is not yet drawn and listening
  run("xdotool windowactivate --sync " + userWindowID());
  auto qt = titled("Qt Notes");
  ASSERT_TRUE(qt);
  const UserSide before;
  auto typing = userTypes("qt stays behind");
  const std::string app = std::to_string(qt->pid);
  const std::string state = tool("get_app_state", {{"app", app}});
  // Qt does not always publish its tree: the button is below the title and menu bars.
  std::string result = tool("click", {{"app", app}, {"x", qt->frame.size.width / 2}, {"y", 100}});
  EXPECT_TRUE(result.starts_with("Clicked at that point.")) << result;
  EXPECT_TRUE(eventually([] { return titled("Qt Notes greeted").has_value(); })) << state;
  typing.wait();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  expectUserSideKept(before, UserSide());
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "qt stays behind"; })) << readFile(typedFile());
}

TEST_F(AgentClicks, WhileTheUserTypesInTheSameAppTheAgentWaitsForTheirPause) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  auto box = firstCheckBox(state);
  ASSERT_TRUE(box);
  userClicksTextField(*factory, state);
  auto value = checkBoxValue(factory->pid, box->title);
  auto typingEnded = std::async(std::launch::async, [] {
    run("xdotool type --delay 40 'typing in the same app '");
    return std::chrono::steady_clock::now();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::string result = tool("click", {{"app", "gtk3-widget-factory"}, {"x", box->x}, {"y", box->y}});
  auto answered = std::chrono::steady_clock::now();
  EXPECT_TRUE(result.starts_with("Clicked at that point.")) << result;
  const auto ended = typingEnded.get();
  EXPECT_GE(answered - ended, std::chrono::milliseconds(800)) << "the click waited for the user's pause";
  EXPECT_TRUE(eventually([&] { return checkBoxValue(factory->pid, box->title) == 1 - *value; }));
  tool("click", {{"app", "gtk3-widget-factory"}, {"x", box->x}, {"y", box->y}});  // as it was

}

// A password prompt holding the user's keyboard keeps the agent out of the app in front.
TEST_F(AgentClicks, WhileAPasswordPromptHoldsTheKeyboardTheAgentWaitsForItToLetGo) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  auto box = firstCheckBox(state);
  ASSERT_TRUE(box);
  const auto value = checkBoxValue(factory->pid, box->title);
  userClicksTextField(*factory, state);
  run("xdotool key End space");  // the caret after a word would add the wait for a word's end
  ChildProcess prompt("/usr/bin/python3", {fixtures + "password_prompt.py", "2.5"});
  ASSERT_EQ(prompt.readLine(), "grabbed");
  const auto grabbed = std::chrono::steady_clock::now();
  const std::string result = tool("click", {{"app", "gtk3-widget-factory"}, {"x", box->x}, {"y", box->y}});
  EXPECT_TRUE(result.starts_with("Clicked at that point.")) << result;
  EXPECT_GE(std::chrono::steady_clock::now() - grabbed, std::chrono::seconds(2)) << "the click waited for the prompt";
  EXPECT_TRUE(eventually([&] { return checkBoxValue(factory->pid, box->title) == 1 - *value; }));
  EXPECT_EQ(prompt.wait(), 0);
  tool("click", {{"app", "gtk3-widget-factory"}, {"x", box->x}, {"y", box->y}});  // as it was
}

// Two agents clicking in one app at once take turns: each click lands whole on its own box.
TEST_F(AgentClicks, TwoAgentsClickingInOneAppAtOnceEachToggleTheirOwnBox) {
  const UserSide before;
  auto second = newRelay("codex");
  auto useSecond = [&](const std::string& name, Json arguments) { return toolOn(*second, name, std::move(arguments)); };
  std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  useSecond("get_app_state", {{"app", "gtk3-widget-factory"}});
  const std::regex box(R"re(\[(\d+)\] check box "checkbutton" value="0" @(\d+),(\d+) (\d+)x(\d+))re");
  std::vector<std::pair<std::string, Json>> boxes;  // index, and where to click it
  for (std::sregex_iterator it(state.begin(), state.end(), box), end; it != end && boxes.size() < 2; ++it)
    boxes.push_back({(*it)[1], {{"app", "gtk3-widget-factory"},
                                {"x", std::stod((*it)[2]) + std::stod((*it)[4]) / 2},
                                {"y", std::stod((*it)[3]) + std::stod((*it)[5]) / 2}}});
  ASSERT_EQ(boxes.size(), 2u) << state;
  auto first = std::async(std::launch::async, [&] { return tool("click", boxes[0].second); });
  const std::string other = useSecond("click", boxes[1].second);
  const std::string one = first.get();
  EXPECT_TRUE(one.starts_with("Clicked at that point.")) << one;
  EXPECT_TRUE(other.starts_with("Clicked at that point.")) << other;
  state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  for (const auto& [index, where] : boxes)
    EXPECT_NE(state.find("[" + index + "] check box \"checkbutton\" value=\"1\""), std::string::npos) << state;
  for (const auto& [index, where] : boxes) tool("click", where);  // as they were
  expectUserSideKept(before, UserSide());
}

TEST_F(AgentClicks, ARightClickOpensAContextMenuWhoseItemIsChosenAndClosedInTheSameCall) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const UserSide before;
  std::string result = rightClickTextField({{"menu_item", "Select All"}});
  EXPECT_TRUE(result.starts_with("Right-clicked at that point. Chose \"Select All\" from the menu.")) << result;
  EXPECT_TRUE(eventually([&] { return !showsAMenu(factory->pid); })) << "the menu closed";
  EXPECT_TRUE(eventually([&] { return UserSide() == before; })) << UserSide();
}

TEST_F(AgentClicks, AContextMenuLeftOpenIsClosedBeforeTheCallReturnsAndItsItemsNamed) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const UserSide before;
  auto typing = userTypes("menus never take my keys");
  std::string result = rightClickTextField();
  EXPECT_NE(result.find("A menu opened and was closed again at once, because an open menu takes the user's keyboard. "
                        "Its items were: "),
            std::string::npos)
      << result;
  EXPECT_NE(result.find("Select All"), std::string::npos) << result;
  EXPECT_FALSE(showsAMenu(factory->pid)) << "a menu is still open";
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "menus never take my keys"; })) << readFile(typedFile());
  EXPECT_EQ(UserSide(), before);
}

TEST_F(AgentClicks, HoverMovesOnlyTheAgentsPointer) {
  auto box = firstCheckBox(tool("get_app_state", {{"app", "gtk3-widget-factory"}}));
  ASSERT_TRUE(box);
  const UserSide before;
  std::string result = tool("hover", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(box->index)}});
  EXPECT_TRUE(result.starts_with("Moved the cursor there.")) << result;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(UserSide(), before);
}

// A GTK entry: a double click selects the word under the pointer, a triple click the line.
TEST_F(AgentClicks, DoubleAndTripleClicksSelectAWordAndTheWholeLine) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  std::smatch field;
  ASSERT_TRUE(std::regex_search(state, field, std::regex(R"re(\[(\d+)\] text field value="entry" @(\d+),(\d+) \d+x(\d+))re")))
      << state;
  ASSERT_EQ(firstLine(tool("set_value", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(field[1])},
                                         {"value", "wordone wordtwo"}})),
            "Set the value.");
  auto entry = ElementSearch::first(AX::application(factory->pid), [](const AXElement& element) {
    return AX::attribute<std::string>(element, "AXValue") == "wordone wordtwo";
  });
  ASSERT_TRUE(entry);
  const UserSide before;
  auto typing = userTypes("clicks twice and thrice");
  auto clickFirstWord = [&](int count) {
    return tool("click", {{"app", "gtk3-widget-factory"}, {"x", std::stod(field[2]) + 24},
                          {"y", std::stod(field[3]) + std::stod(field[4]) / 2}, {"click_count", count}});
  };
  const std::string twice = clickFirstWord(2);
  EXPECT_TRUE(twice.starts_with("Double-clicked at that point.")) << twice;
  EXPECT_TRUE(eventually([&] { return AX::attribute<std::string>(*entry, "AXSelectedText") == "wordone"; }))
      << AX::attribute<std::string>(*entry, "AXSelectedText").value_or("(none)");
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // not one click of the next series
  EXPECT_TRUE(clickFirstWord(3).starts_with("Triple-clicked at that point."));
  EXPECT_TRUE(eventually([&] { return AX::attribute<std::string>(*entry, "AXSelectedText") == "wordone wordtwo"; }))
      << AX::attribute<std::string>(*entry, "AXSelectedText").value_or("(none)");
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "clicks twice and thrice"; })) << readFile(typedFile());
  EXPECT_EQ(UserSide(), before);
  tool("set_value", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(field[1])}, {"value", "entry"}});
}

// The header bar's menu button opens its menu, a popover inside the window, whose item is
// chosen in the same call: the dark theme darkens the window; choosing it again (by pixel)
// brings the light back.
TEST_F(AgentClicks, AMenuButtonsItemIsChosenInTheSameCall) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  auto brightness = [&] {
    auto image = desktop_->capture().windowImage(factory->id, int(factory->frame.size.width), int(factory->frame.size.height));
    double sum = 0;
    for (int y = 0; image && y < image->height; y += 4)
      for (int x = 0; x < image->width; x += 4) sum += image->pixel(x, y)[1];
    return image ? sum / ((image->height / 4 + 1) * (image->width / 4 + 1)) : -1;
  };
  const double light = brightness();
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  std::smatch button;
  ASSERT_TRUE(std::regex_search(state, button, std::regex(R"re(\[(\d+)\] check box "Menu"[^\n]*@(\d+),(\d+) (\d+)x(\d+))re")))
      << state;
  const UserSide before;
  auto typing = userTypes("menus by the agent");
  const Json dark{{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(button[1])}, {"menu_item", "Dark Theme"}};
  std::string result = tool("click", dark);
  EXPECT_NE(result.find("Chose \"Dark Theme\" from the menu."), std::string::npos) << result;
  EXPECT_TRUE(eventually([&] { return brightness() < light * 0.6; })) << light << " then " << brightness();
  EXPECT_TRUE(eventually([&] { return !showsAMenu(factory->pid); })) << "the menu closed";
  // Again by pixel: the popover is found from the element at the point.
  result = tool("click", {{"app", "gtk3-widget-factory"}, {"x", std::stod(button[2]) + std::stod(button[4]) / 2},
                          {"y", std::stod(button[3]) + std::stod(button[5]) / 2}, {"menu_item", "Dark Theme"}});
  EXPECT_NE(result.find("Chose \"Dark Theme\" from the menu."), std::string::npos) << result;
  EXPECT_TRUE(eventually([&] { return brightness() > light * 0.9; })) << light << " then " << brightness();
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "menus by the agent"; })) << readFile(typedFile());
  EXPECT_TRUE(eventually([&] { return UserSide() == before; })) << UserSide();
}
