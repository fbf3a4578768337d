#pragma once
// An agent works in real apps through `tarnwick mcp` while the user types in their own window.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <atomic>
#include <future>
#include <map>
#include <string>
#include <thread>

#include "kit/common/Json.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/tools/Engine.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Eventually.hpp"
#include "tests/support/TempDirectory.hpp"
#include "tests/x11/DesktopSuite.hpp"

inline const std::string fixtures = std::string(TARNWICK_SOURCE_DIR) + "/tests/x11/fixtures/";

inline std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A tool's reply without the state that follows it.
inline std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// What the user has: their pointer, keyboard focus, active window and window order.
struct UserSide {
  std::string pointer = run("xdotool getmouselocation");
  std::string focus = run("xdotool getwindowfocus");
  std::string active = run("xprop -root _NET_ACTIVE_WINDOW");
  std::string stacking = run("xprop -root _NET_CLIENT_LIST_STACKING");
  bool operator==(const UserSide&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const UserSide& side) {
  return out << "pointer " << side.pointer << ", focus " << side.focus << ", active " << side.active << ", "
             << side.stacking;
}

// After a call on an app that focuses its own window when clicked (Qt, Chromium): all as
// it was, the window manager's active window included.
inline void expectUserSideKept(const UserSide& before, const UserSide& after) {
  EXPECT_FALSE(before.active.ends_with("# 0x0")) << "the window manager names the user's window active";
  EXPECT_EQ(after.pointer, before.pointer);
  EXPECT_EQ(after.focus, before.focus);
  EXPECT_EQ(after.stacking, before.stacking);
  EXPECT_EQ(after.active, before.active);
}

// gtk3-widget-factory to operate, a Qt window of the user's that holds
// the focus, and a resident app with an MCP relay as a client starts them.
class AgentDesk : public DesktopSuite {
 protected:
  static void SetUpTestSuite() {
    openDesktop();
    if (!desktop_) return;
    folder_ = std::make_unique<TempDirectory>();
    Engine starter(std::make_shared<AgentSession>(0, "setup", std::nullopt), std::weak_ptr<CursorPresenter>());
    starter.launchApp("gtk3-widget-factory", std::nullopt);
    ASSERT_TRUE(eventually([] { return window("gtk3-widget-factory").has_value(); }, std::chrono::seconds(20)));
    user_ = std::make_unique<ChildProcess>("/usr/bin/python3",
                                           std::vector<std::string>{fixtures + "user_window.py", typedFile(), "700"});
    // Found once: `xdotool search` dies when a window closes during its walk.
    ASSERT_TRUE(eventually([] { return !(userWindow_ = findUserWindow()).empty(); }, std::chrono::seconds(20)));
    resident_ = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"serve"}, environment());
    ASSERT_TRUE(waitForSocket(folder_->file("agent.sock")));
    relay_ = newRelay("desktop-test");
  }
  static std::map<std::string, std::string> environment(const std::string& socket = "agent.sock") {
    return {{"TARNWICK_SOCKET", folder_->file(socket)},
            {"XDG_STATE_HOME", folder_->file("state")},
            {"TMPDIR", folder_->path()}};
  }
  // Another agent: an MCP client's relay, initialized, of the resident app on the socket.
  static std::unique_ptr<ChildProcess> newRelay(const std::string& client, const std::string& socket = "agent.sock") {
    auto relay =
        std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"mcp"}, environment(socket));
    callOn(*relay, "initialize", {{"protocolVersion", "2025-06-18"}, {"capabilities", Json::object()},
                                  {"clientInfo", {{"name", client}, {"version", "1"}}}});
    relay->writeLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    return relay;
  }
  static void TearDownTestSuite() {
    relay_.reset();
    resident_.reset();
    user_.reset();
    quitAndAwait("gtk3-widget-factory");
    folder_.reset();
    closeDesktop();
  }
  void SetUp() override {
    run("xdotool windowactivate --sync " + userWindowID());
    std::ofstream(typedFile()).close();
    run("xdotool key --window " + userWindowID() + " ctrl+a BackSpace");
  }

  static std::string typedFile() { return folder_->file("typed.txt"); }
  static std::string userWindowID() { return userWindow_; }
  static std::string findUserWindow() { return run("xdotool search --name '^User notes$' | head -1"); }
  static std::optional<WindowInfo> titled(const std::string& title) {
    for (const auto& each : Apps::frontToBack())
      if (each.title == title && each.layer == 0 && each.isOnScreen) return each;
    return std::nullopt;
  }
  static std::optional<WindowInfo> window(const std::string& owner) {
    for (const auto& app : desktop_->workspace().runningApplications()) {
      if (!app.executable.ends_with(owner) && app.name != owner) continue;
      for (const auto& each : Apps::frontToBack())
        if (each.pid == app.pid && each.layer == 0 && each.isOnScreen && each.frame.size.width > 300) return each;
    }
    return std::nullopt;
  }

  // A file in the test's folder, holding the text.
  static std::string fileWith(const std::string& name, const std::string& text) {
    const std::string path = folder_->file(name);
    std::ofstream(path) << text;
    return path;
  }

  // mousepad on the file, launched by the agent. A launched mousepad takes the focus once it
  // has loaded the file; the launch's guard gives it back when that happens within its watch,
  // which a loaded machine can outlast: the user then takes it back themselves.
  static std::optional<WindowInfo> openInMousepad(const std::string& file) {
    tool("launch_app", {{"app", "mousepad"}, {"open", file}});
    if (!eventually([] { return window("mousepad").has_value(); }, std::chrono::seconds(20))) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const bool userHasFocus = eventually([] {
      if (std::stoul(run("xdotool getwindowfocus")) != std::stoul(userWindowID()))
        run("xdotool windowactivate --sync " + userWindowID());
      return std::stoul(run("xdotool getwindowfocus")) == std::stoul(userWindowID());
    });
    return userHasFocus ? window("mousepad") : std::nullopt;
  }

  static Json call(const std::string& method, Json params) { return callOn(*relay_, method, std::move(params)); }
  static Json callOn(ChildProcess& relay, const std::string& method, Json params) {
    static std::atomic<int> id = 0;
    Json request{{"jsonrpc", "2.0"}, {"id", ++id}, {"method", method}, {"params", std::move(params)}};
    EXPECT_TRUE(relay.writeLine(request.dump()));
    auto line = relay.readLine(std::chrono::seconds(60));
    EXPECT_TRUE(line) << "no answer to " << request.dump();
    return line ? Json::parse(*line) : Json();
  }
  static std::string tool(const std::string& name, Json arguments) { return toolOn(*relay_, name, std::move(arguments)); }
  static std::string toolOn(ChildProcess& relay, const std::string& name, Json arguments) {
    Json answer = callOn(relay, "tools/call", {{"name", name}, {"arguments", std::move(arguments)}});
    const Json& text = answer["result"]["content"][0]["text"];
    return text.is_string() ? text.get<std::string>() : answer.dump();
  }

  // The user types into their own window for as long as the agent works.
  static std::future<void> userTypes(const std::string& text) {
    return std::async(std::launch::async, [text] { run("xdotool type --delay 25 '" + text + "'"); });
  }

  static inline std::unique_ptr<TempDirectory> folder_;
  static inline std::unique_ptr<ChildProcess> user_, resident_, relay_;
  static inline std::string userWindow_;
};

