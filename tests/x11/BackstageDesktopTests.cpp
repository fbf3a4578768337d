// Windows the user's own window covers entirely are operated on the invisible display and
// come back where they were.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <signal.h>

#include <regex>
#include <thread>

#include "kit/backstage/Backstage.hpp"
#include "kit/perception/AX.hpp"
#include "platform/x11/X11InvisibleDisplay.hpp"
#include "tests/x11/AgentDesk.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {

class CoveredWindows : public AgentDesk {
 protected:
  // The user's window grows over the whole screen and has the focus.
  void SetUp() override {
    // Pointers stay on the areas CRTCs drive; without such room beside the user's
    // monitor there is no invisible display to park windows on.
    if (run("xrandr | head -1").find("maximum 1600 x") != std::string::npos)
      GTEST_SKIP() << "this X server has no room beside its monitor that pointers reach";
    AgentDesk::SetUp();
    run("xdotool windowmove --sync " + userWindowID() + " 0 0");
    run("xdotool windowsize --sync " + userWindowID() + " 1600 1000");
    run("xdotool windowactivate --sync " + userWindowID());
  }
  void TearDown() override {
    if (IsSkipped()) return;
    run("xdotool windowsize --sync " + userWindowID() + " 400 120");
    run("xdotool windowmove --sync " + userWindowID() + " 700 0");
  }
  static std::optional<Rect> frameOf(WindowNumber number) {
    auto found = Apps::window(number);
    return found ? std::optional(found->frame) : std::nullopt;
  }
  static std::string monitors() { return run("xrandr --listmonitors"); }
  // The screen's size, and the smallest that holds every output shown.
  static Size screenSize() {
    std::smatch size;
    const std::string line = run("xrandr | head -1");
    std::regex_search(line, size, std::regex(R"(current (\d+) x (\d+))"));
    return {std::stod(size[1]), std::stod(size[2])};
  }
  static Size shownSize() {
    Size shown;
    const std::string all = run("xrandr | grep ' connected'");
    const std::regex frame(R"((\d+)x(\d+)\+(\d+)\+(\d+))");
    for (auto it = std::sregex_iterator(all.begin(), all.end(), frame); it != std::sregex_iterator(); ++it) {
      shown.width = std::max(shown.width, std::stod((*it)[1]) + std::stod((*it)[3]));
      shown.height = std::max(shown.height, std::stod((*it)[2]) + std::stod((*it)[4]));
    }
    return shown;
  }
  // The widget factory as it was before this agent parked it; none when it was not parked.
  static std::optional<WindowInfo> parkedFactory(uint64_t agent) {
    auto factory = window("gtk3-widget-factory");
    if (!factory || Backstage::shared().admit(*factory, agent).frame.origin == factory->frame.origin) return std::nullopt;
    return factory;
  }
  static void userClicksAt(Point point) {
    run("xdotool mousemove " + std::to_string(int(point.x)) + " " + std::to_string(int(point.y)) + " click 1");
  }
};

std::optional<std::string> fieldText(pid_t pid) {
  auto field = ElementSearch::withRole(AX::application(pid), "AXTextField");
  return field ? AX::attribute<std::string>(*field, "AXValue") : std::nullopt;
}

}  // namespace

TEST_F(CoveredWindows, AnAgentTogglesACheckBoxAndTypesBehindTheUsersWindowWhichStaysInFront) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const Rect home = factory->frame;
  const UserSide before;
  auto typing = userTypes("typed by the user meanwhile");

  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  EXPECT_NE(state.find("keeps it on an invisible display"), std::string::npos) << state;
  EXPECT_NE(monitors().find("TARNWICK"), std::string::npos) << monitors();
  std::smatch field;
  ASSERT_TRUE(std::regex_search(state, field, std::regex(R"re(\[(\d+)\] text field)re"))) << state;
  tool("click", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(field[1])}});
  tool("press_key", {{"app", "gtk3-widget-factory"}, {"key", "ctrl+a BackSpace"}});
  EXPECT_EQ(firstLine(tool("type_text", {{"app", "gtk3-widget-factory"}, {"text", "Hinter dem Vorhang 42"}})),
            "Typed 21 characters.");
  EXPECT_EQ(fieldText(factory->pid), "Hinter dem Vorhang 42");
  auto box = ElementSearch::firstCheckBox(state);
  ASSERT_TRUE(box);
  auto value = ElementSearch::checkBoxValue(factory->pid, box->title);
  ASSERT_TRUE(value);
  std::string result = tool("click", {{"app", "gtk3-widget-factory"}, {"x", box->x}, {"y", box->y}});
  EXPECT_TRUE(result.starts_with("Clicked at that point.")) << result;
  EXPECT_TRUE(eventually([&] { return ElementSearch::checkBoxValue(factory->pid, box->title) == 1 - *value; }));

  typing.wait();
  EXPECT_EQ(UserSide(), before);
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "typed by the user meanwhile"; }))
      << "the user's text: " << readFile(typedFile());

  tool("click", {{"app", "gtk3-widget-factory"}, {"element_index", std::stoll(box->index)}});  // as it was

  // The agent's connection ends: the window is back where it was, under the user's window.
  relay_ = newRelay("desktop-test");
  EXPECT_TRUE(eventually([&] { return frameOf(factory->id) == home; })) << "still at " << frameOf(factory->id)->origin.x;
  EXPECT_EQ(UserSide(), before);
}

TEST_F(CoveredWindows, WindowsParkedByAKilledResidentAppAreBroughtHomeByTheNextStart) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const Rect home = factory->frame;
  auto resident = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"serve"},
                                                 environment("doomed.sock"));
  ASSERT_TRUE(waitForSocket(folder_->file("doomed.sock")));
  auto agent = newRelay("doomed", "doomed.sock");
  toolOn(*agent, "get_app_state", {{"app", "gtk3-widget-factory"}});
  ASSERT_TRUE(eventually([&] { return frameOf(factory->id) != home; })) << "parked";
  // The relay is frozen first: it would start a resident app again at once.
  agent->signal(SIGSTOP);
  resident->signal(SIGKILL);
  resident->wait();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_NE(frameOf(factory->id), home) << "nobody brought it back yet";

  const auto restarted = std::chrono::steady_clock::now();
  resident = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"serve"},
                                            environment("doomed.sock"));
  EXPECT_TRUE(eventually([&] { return frameOf(factory->id) == home; }, std::chrono::seconds(5)));
  EXPECT_LT(std::chrono::steady_clock::now() - restarted, std::chrono::seconds(2));
  agent.reset();
  resident->signal(SIGTERM);
  resident->wait();
  EXPECT_EQ(monitors().find("TARNWICK"), std::string::npos) << "a clean quit removes the display: " << monitors();
}

TEST_F(CoveredWindows, AnotherProgramRemovingTheMonitorSendsItsGuestsHome) {
  auto factory = parkedFactory(8);
  ASSERT_TRUE(factory);
  const Rect home = factory->frame;
  Backstage& backstage = Backstage::shared();
  run(std::string("xrandr --delmonitor ") + X11InvisibleDisplay::monitorName);
  backstage.tick();
  EXPECT_EQ(frameOf(factory->id), home);
  EXPECT_FALSE(backstage.isGuest(factory->id));
  EXPECT_EQ(backstage.recoveryStatus(), std::nullopt);
}

TEST_F(CoveredWindows, AnotherProgramTurningOffTheOutputThatShowsItSendsItsGuestsHome) {
  auto factory = parkedFactory(9);
  ASSERT_TRUE(factory);
  std::smatch output;
  const std::string listed = monitors();
  Backstage& backstage = Backstage::shared();
  if (!std::regex_search(listed, output, std::regex(R"(TARNWICK \S+\s+(\S+))"))) {
    backstage.agentLeft(9);
    GTEST_SKIP() << "no output of its own shows the display here: " << listed;
  }
  const Rect home = factory->frame;
  run("xrandr --output " + output[1].str() + " --off");
  backstage.tick();
  EXPECT_EQ(frameOf(factory->id), home);
  EXPECT_FALSE(backstage.isGuest(factory->id));
  EXPECT_EQ(monitors().find("TARNWICK"), std::string::npos) << monitors();
  EXPECT_EQ(screenSize(), shownSize()) << "the screen shrinks back";
}

TEST_F(CoveredWindows, TheUserClickingWhereAParkedWindowWouldShowBringsItHome) {
  auto factory = parkedFactory(5);
  ASSERT_TRUE(factory);
  const Rect home = factory->frame;
  Backstage& backstage = Backstage::shared();
  backstage.tick();  // starts watching the user's presses
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const Point inside{home.origin.x + 300, home.origin.y + 300};
  userClicksAt(inside);
  EXPECT_TRUE(eventually([&] { backstage.tick(); return !backstage.isGuest(factory->id); }, std::chrono::seconds(2)) ==
              false) << "a click on the user's window over it leaves it parked";

  run("xdotool windowsize --sync " + userWindowID() + " 400 120");
  run("xdotool windowmove --sync " + userWindowID() + " 1150 0");
  userClicksAt(inside);
  EXPECT_TRUE(eventually([&] { backstage.tick(); return !backstage.isGuest(factory->id); }));
  EXPECT_EQ(frameOf(factory->id), home);
}

// Asks the window manager to maximise the window or restore it, as its title bar button would.
void setMaximized(const std::string& window, bool maximized) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_TRUE(display);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = std::stoul(window);
  event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = maximized ? 1 : 0;  // add or remove
  event.xclient.data.l[1] = long(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False));
  event.xclient.data.l[2] = long(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  event.xclient.data.l[3] = 2;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XCloseDisplay(display);
}

TEST_F(CoveredWindows, AWindowTheUserMaximisesDuringAStayFillsOnlyTheirMonitor) {
  auto factory = parkedFactory(6);
  ASSERT_TRUE(factory);
  Backstage& backstage = Backstage::shared();
  run("xdotool windowsize --sync " + userWindowID() + " 400 120");
  setMaximized(userWindowID(), true);
  // openbox may draw a maximised window's one-pixel border just beyond the monitor's edges.
  auto user = titled("User notes");
  auto fillsTheMonitor = [&] {
    return (user = titled("User notes")) && user->frame.size.width > 1000 &&
           user->frame.origin.x + user->frame.size.width <= 1601;
  };
  EXPECT_TRUE(eventually(fillsTheMonitor)) << "x " << (user ? user->frame.origin.x : 0) << " width "
                                           << (user ? user->frame.size.width : 0);
  backstage.agentLeft(6);
  EXPECT_EQ(frameOf(factory->id), factory->frame);
  setMaximized(userWindowID(), false);
  EXPECT_TRUE(eventually([&] { return (user = titled("User notes")) && user->frame.size.width < 1000; }));
}

TEST_F(CoveredWindows, AHundredAdmissionsAndReturnsLoseNoWindowAndLeaveNoMonitor) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const Rect home = factory->frame;
  Backstage& backstage = Backstage::shared();
  for (int round = 0; round < 100; ++round) {
    const WindowInfo parked = backstage.admit(*factory, 7);
    ASSERT_NE(parked.frame.origin, home.origin) << "round " << round;
    ASSERT_TRUE(backstage.isGuest(factory->id));
    backstage.agentLeft(7);
    ASSERT_EQ(frameOf(factory->id), home) << "round " << round;
  }
  EXPECT_TRUE(backstage.closeAll());
  EXPECT_EQ(monitors().find("TARNWICK"), std::string::npos) << monitors();
  EXPECT_EQ(screenSize(), shownSize()) << "the screen shrinks back around what its outputs show";
}
