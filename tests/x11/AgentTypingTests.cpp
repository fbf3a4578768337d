// An agent presses keys and types into real apps through `tarnwick mcp` while the user
// types into their own window.
#include <gtest/gtest.h>

#include <signal.h>

#include <regex>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "kit/perception/AX.hpp"
#include "tests/x11/AgentDesk.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {

class AgentTyping : public AgentDesk {};

std::optional<AXElement> firstField(pid_t pid) { return ElementSearch::withRole(AX::application(pid), "AXTextField"); }

std::string fieldText(pid_t pid) {
  auto field = firstField(pid);
  return field ? AX::attribute<std::string>(*field, "AXValue").value_or("(none)") : "(no field)";
}

// The user's core keymap, every keycode's symbols.
std::vector<KeySym> keymap() {
  Display* display = XOpenDisplay(nullptr);
  int low = 0, high = 0, perCode = 0;
  XDisplayKeycodes(display, &low, &high);
  KeySym* symbols = XGetKeyboardMapping(display, KeyCode(low), high - low + 1, &perCode);
  std::vector<KeySym> map(symbols, symbols + (high - low + 1) * perCode);
  XFree(symbols);
  XCloseDisplay(display);
  return map;
}

// Who owns the user's clipboard and primary selection.
std::pair<::Window, ::Window> selectionOwners() {
  Display* display = XOpenDisplay(nullptr);
  auto owners = std::make_pair(XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)),
                               XGetSelectionOwner(display, XA_PRIMARY));
  XCloseDisplay(display);
  return owners;
}

// The factory's first text field, clicked so that keys go to it; its index.
std::string clickFactoryField(const std::function<std::string(const std::string&, Json)>& use) {
  const std::string state = use("get_app_state", {{"app", "gtk3-widget-factory"}});
  std::smatch field;
  if (!std::regex_search(state, field, std::regex(R"re(\[(\d+)\] text field)re"))) return "";
  use("click", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(field[1])}});
  return field[1];
}

}  // namespace

TEST_F(AgentTyping, AGtkEntryGetsExactlyTheAgentsTextAndTheUserExactlyTheirs) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  std::smatch field;
  ASSERT_TRUE(std::regex_search(state, field, std::regex(R"re(\[(\d+)\] text field)re"))) << state;
  const auto keysBefore = keymap();
  tool("click", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(field[1])}});
  const UserSide before;
  auto typing = userTypes("the user types on, 42 times");

  EXPECT_EQ(firstLine(tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "ctrl+a BackSpace"}})),
            "Pressed ctrl+a BackSpace.");
  EXPECT_TRUE(eventually([&] { return fieldText(factory->pid).empty(); })) << fieldText(factory->pid);
  const std::string text = "Grüße, Welt! 42 € (ok) Ω";
  EXPECT_EQ(firstLine(tool("type_text", {{"app", "gtk3-widget-factory"}, {"text", text}})), "Typed 24 characters.");
  EXPECT_EQ(fieldText(factory->pid), text);
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "Home shift+Right BackSpace"}})),
            "Pressed Home shift+Right BackSpace.");
  EXPECT_TRUE(eventually([&] { return fieldText(factory->pid) == text.substr(1); })) << fieldText(factory->pid);

  // A held key repeats as a held key does, once per repeat.
  tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "ctrl+a BackSpace"}});
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "x"}, {"duration", 1.2}})),
            "Pressed x.");
  EXPECT_TRUE(eventually([&] {
    const size_t count = fieldText(factory->pid).size();
    return count >= 10 && count <= 20;
  })) << fieldText(factory->pid);

  // The agent's clipboard is its own: the user's selections keep their owners.
  const auto owners = selectionOwners();
  tool("click", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(field[1])}});
  const std::string copied = fieldText(factory->pid);
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "ctrl+a ctrl+c ctrl+v ctrl+v"}})),
            "Pressed ctrl+a ctrl+c ctrl+v ctrl+v.");
  EXPECT_TRUE(eventually([&] { return fieldText(factory->pid) == copied + copied; }))
      << fieldText(factory->pid);
  EXPECT_EQ(selectionOwners(), owners);

  typing.wait();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "the user types on, 42 times"; }))
      << "the user's text: " << readFile(typedFile());
  EXPECT_EQ(UserSide(), before);
  EXPECT_EQ(keymap(), keysBefore) << "the user's keymap is as it was";
}

TEST_F(AgentTyping, BadKeysAreRefusedBeforeAnythingIsPressed) {
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "Return hyper+a"}})),
            "Unknown modifier \"hyper\" in \"hyper+a\". Use cmd, shift, alt/option, ctrl or fn.");
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "Return foo"}})).substr(0, 17),
            "Unknown key \"foo\"");
}

TEST_F(AgentTyping, AQtLineEditTypesShiftedAndMissingCharactersExactly) {
  const std::string typed = folder_->file("qt-field.txt");
  ChildProcess qtApp("/usr/bin/python3", {fixtures + "qt_window.py", typed});
  ASSERT_TRUE(eventually([] { return titled("Qt Notes").has_value(); }, std::chrono::seconds(20)));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  run("xdotool windowactivate --sync " + userWindowID());
  auto qt = titled("Qt Notes");
  ASSERT_TRUE(qt);
  const std::string app = std::to_string(qt->pid);
  const auto keysBefore = keymap();
  tool("get_app_state", {{"app", app}});
  const UserSide before;
  auto typing = userTypes("qt typing meanwhile");
  tool("click", {{"app", app}, {"x", qt->frame.size.width / 2}, {"y", 160}});
  tool("press_key", {{"app", app}, {"key", "End"}});
  tool("type_text", {{"app", app}, {"text", " Grüße, Welt! 42 € (OK)"}});
  EXPECT_TRUE(eventually([&] { return readFile(typed) == "hello Grüße, Welt! 42 € (OK)"; })) << readFile(typed);
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "qt typing meanwhile"; })) << readFile(typedFile());
  const UserSide after;
  EXPECT_EQ(after.pointer, before.pointer);
  EXPECT_EQ(after.focus, before.focus);
  EXPECT_EQ(keymap(), keysBefore);
}

TEST_F(AgentTyping, TwoAgentsTypeIntoTwoAppsAtOnceAndADroppedConnectionStillRestoresTheKeymap) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const std::string typed = folder_->file("qt-field-2.txt");
  ChildProcess qtApp("/usr/bin/python3", {fixtures + "qt_window.py", typed});
  ASSERT_TRUE(eventually([] { return titled("Qt Notes").has_value(); }, std::chrono::seconds(20)));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  run("xdotool windowactivate --sync " + userWindowID());
  const std::string qt = std::to_string(titled("Qt Notes")->pid);
  auto second = newRelay("codex");
  auto useSecond = [&](const std::string& name, Json arguments) { return toolOn(*second, name, std::move(arguments)); };
  const auto keysBefore = keymap();

  ASSERT_FALSE(clickFactoryField([](const std::string& name, Json arguments) { return tool(name, std::move(arguments)); })
                   .empty());
  tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "ctrl+a BackSpace"}});
  useSecond("get_app_state", {{"app", qt}});
  useSecond("click", {{"app", qt}, {"x", 180}, {"y", 160}});
  useSecond("press_key", {{"app", qt}, {"key", "End"}});
  auto user = userTypes("both agents busy");
  auto first = std::async(std::launch::async,
                          [&] { return tool("type_text", {{"app", "gtk3-widget-factory"}, {"text", "Erster Agent: 1 € ✓"}}); });
  const std::string other = useSecond("type_text", {{"app", qt}, {"text", " Zweiter Agent: Ω ok"}});
  EXPECT_EQ(firstLine(first.get()), "Typed 19 characters.");
  user.wait();
  EXPECT_EQ(fieldText(factory->pid), "Erster Agent: 1 € ✓");
  EXPECT_TRUE(eventually([&] { return readFile(typed) == "hello Zweiter Agent: Ω ok"; })) << readFile(typed) << other;
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "both agents busy"; })) << readFile(typedFile());
  EXPECT_EQ(keymap(), keysBefore);
  // Chords that move the factory's focus elsewhere come last: the suite's factory keeps them.
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "Page_Down F5 ctrl+shift+Tab"}})),
            "Pressed Page_Down F5 ctrl+shift+Tab.");

  // The second agent's client goes away in the middle of typing keyless characters.
  second->writeLine(Json{{"jsonrpc", "2.0"}, {"id", 9001}, {"method", "tools/call"},
                         {"params", {{"name", "type_text"}, {"arguments", {{"app", qt}, {"text", " äöü € Ω ✓ ∑ ≈ ∞ …"}}}}}}
                        .dump());
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  second.reset();
  EXPECT_TRUE(eventually([&] { return keymap() == keysBefore; }, std::chrono::seconds(20)))
      << "the user's keymap is restored after the connection ends";
}

TEST_F(AgentTyping, KeycodesAKilledResidentAppLeftMappedAreClearedByTheNextProcessToOpenTheDesktop) {
  const auto keysBefore = keymap();
  auto resident = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"serve"},
                                                 environment("doomed.sock"));
  ASSERT_TRUE(waitForSocket(folder_->file("doomed.sock")));
  auto agent = newRelay("doomed", "doomed.sock");
  ASSERT_FALSE(clickFactoryField([&](const std::string& name, Json arguments) {
                 return toolOn(*agent, name, std::move(arguments));
               }).empty());
  agent->writeLine(Json{{"jsonrpc", "2.0"}, {"id", 9002}, {"method", "tools/call"},
                        {"params", {{"name", "type_text"},
                                    {"arguments", {{"app", "gtk3-widget-factory"}, {"text", "äöü € Ω ✓ ∑ ≈ ∞ …"}}}}}}
                       .dump());
  ASSERT_TRUE(eventually([&] { return keymap() != keysBefore; })) << "keyless characters are on lent codes";
  // The relay is frozen first: it would start a resident app again and resend the call.
  agent->signal(SIGSTOP);
  resident->signal(SIGKILL);
  resident->wait();
  agent.reset();
  EXPECT_NE(keymap(), keysBefore) << "nobody gave them back";

  // The next process to open the desktop: a resident app at its first call, a helper, this test.
  X11Desktop::open().reset();
  EXPECT_EQ(keymap(), keysBefore) << "the user's keymap is whole again";
  tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "ctrl+a BackSpace"}});
}

TEST_F(AgentTyping, MousepadTakesLinesAndTabsAndCmdSSavesThem) {
  const std::string file = folder_->file("note.txt");
  std::ofstream(file).close();
  const auto editor = openInMousepad(file);
  ASSERT_TRUE(editor);
  const std::string state = tool("get_app_state", {{"app", "mousepad"}});
  std::smatch area;
  ASSERT_TRUE(std::regex_search(state, area, std::regex(R"re(\[(\d+)\] text area)re"))) << state;
  tool("click", {{"app", "mousepad"}, {"element_index", std::stoll(area[1])}});
  const UserSide before;
  auto typing = userTypes("meanwhile in my notes");
  const std::string text = "Zeile eins\n\tzwei: Grüße, 42 € (ok)\nthree!";
  EXPECT_EQ(firstLine(tool("type_text", {{"app", "mousepad"}, {"text", text}})), "Typed 41 characters.");
  EXPECT_EQ(firstLine(tool("press_key", {{"app", "mousepad"}, {"key", "cmd+s"}})), "Pressed cmd+s.");
  EXPECT_TRUE(eventually([&] { return readFile(file) == text; })) << readFile(file);
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "meanwhile in my notes"; })) << readFile(typedFile());
  const UserSide after;
  EXPECT_EQ(after.pointer, before.pointer);
  EXPECT_EQ(after.focus, before.focus);
  EXPECT_EQ(after.stacking, before.stacking);
  // When the agent's keyboard had to be focused on the window itself (its pointer not
  // resting on it), openbox clears _NET_ACTIVE_WINDOW as it leaves, though the user's
  // focus never moved: the open problem of the Qt click test.
  EXPECT_TRUE(after.active == before.active || after.active.ends_with("# 0x0")) << after.active;
  desktop_->workspace().requestQuit(editor->pid);
}

namespace {

// A browser on a local page, started by launch_app, with the user typing into their window.
class BrowserTyping : public AgentDesk, public ::testing::WithParamInterface<std::string> {
 protected:
  static std::optional<WindowInfo> pageWindow() {
    for (const auto& each : Apps::frontToBack())
      if (each.title.starts_with("Local form") && each.layer == 0 && each.isOnScreen) return each;
    return std::nullopt;
  }
  // The browser, launched on the form, behind the user's window again.
  pid_t openPage() {
    tool("launch_app", {{"app", fixtures + GetParam()}, {"open", "file://" + fixtures + "form.html"}});
    EXPECT_TRUE(eventually([] { return pageWindow().has_value(); }, std::chrono::seconds(30)));
    if (!pageWindow()) return 0;
    // A new browser window takes the focus as it maps; the user takes it back.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(eventually([] {
      run("xdotool windowactivate --sync " + userWindowID());
      return std::stoul(run("xdotool getwindowfocus")) == std::stoul(userWindowID());
    }));
    return pageWindow()->pid;
  }
  void quit(pid_t browser) {
    desktop_->workspace().requestQuit(browser);
    eventually([] { return !pageWindow(); }, std::chrono::seconds(10));
  }
};

}  // namespace

TEST_P(BrowserTyping, APageFieldGetsExactlyTheAgentsTextAndTheUserExactlyTheirs) {
  const pid_t browser = openPage();
  const std::string app = std::to_string(browser);
  const std::string state = tool("get_app_state", {{"app", app}});
  const std::regex nameField(R"re(\[(\d+)\] text field "Name")re");
  std::smatch field;
  ASSERT_TRUE(std::regex_search(state, field, nameField)) << state;
  // Kept as text: each state the loop reads is gone by the next round.
  std::string fieldIndex = field[1];
  // A busy Firefox can miss the first click on a fresh page (the open problem of the
  // background click test): the field is clicked until it has the focus.
  std::smatch focused;
  const std::regex hasFocus(R"re(text field "Name"[^\n]*\(focused\))re");
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::string clicked = tool("click", {{"app", app}, {"element_index", std::stoll(fieldIndex)}});
    if (std::regex_search(clicked, focused, hasFocus)) break;
    const std::string now = tool("get_app_state", {{"app", app}});
    ASSERT_TRUE(std::regex_search(now, field, nameField)) << now;
    fieldIndex = field[1];
  }
  const UserSide before;
  auto typing = userTypes("typing beside a browser");
  EXPECT_EQ(firstLine(tool("press_key", {{"app", app}, {"key", "ctrl+a BackSpace"}})), "Pressed ctrl+a BackSpace.");
  EXPECT_EQ(firstLine(tool("type_text", {{"app", app}, {"text", "Grüße, Welt! 42 € (ok)"}})), "Typed 22 characters.");
  const std::string after = tool("get_app_state", {{"app", app}});
  EXPECT_NE(after.find("text field \"Name\" value=\"Grüße, Welt! 42 € (ok)\""), std::string::npos) << after;
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "typing beside a browser"; })) << readFile(typedFile());
  const UserSide user;
  EXPECT_EQ(user.pointer, before.pointer);
  EXPECT_EQ(user.focus, before.focus);
  quit(browser);
}

// Firefox answers the pick of a closed <select>'s option but keeps the old one: there the
// agent's arrow keys choose it. Either way the page hears of the change.
TEST_P(BrowserTyping, APagesSelectIsChosenAndThePageToldWhileTheUserTypes) {
  const pid_t browser = openPage();
  ASSERT_NE(browser, 0);
  const std::string app = std::to_string(browser);
  const std::string state = tool("get_app_state", {{"app", app}});
  std::smatch select;
  ASSERT_TRUE(std::regex_search(state, select, std::regex(R"re(\[(\d+)\] popup button value="Medium")re"))) << state;
  const UserSide before;
  auto typing = userTypes("choosing beside a browser");
  auto choose = [&](const std::string& value) {
    return firstLine(tool("set_value", {{"app", app}, {"element_index", std::stoll(select[1])}, {"value", value}}));
  };
  EXPECT_EQ(choose("Large"), "Chose \"Large\"; it now shows \"Large\".");
  EXPECT_TRUE(eventually([&] { return pageWindow() && pageWindow()->title.starts_with("Local form: Large"); }));
  EXPECT_EQ(choose("small"), "Chose \"Small\"; it now shows \"Small\".");
  EXPECT_TRUE(eventually([&] { return pageWindow() && pageWindow()->title.starts_with("Local form: Small"); }));
  EXPECT_EQ(choose("huge"), "No option \"huge\". Options: Small, Medium, Large.");
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "choosing beside a browser"; })) << readFile(typedFile());
  expectUserSideKept(before, UserSide());
  quit(browser);
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserTyping, ::testing::Values("chromium", "firefox-esr"),
                         [](const auto& info) { return info.param == "chromium" ? "Chromium" : "Firefox"; });
