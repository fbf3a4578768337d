#pragma once
// Chromium or Firefox started by launch_app on a local page, for an agent to operate through
// `tarnwick mcp` while the user types in their window.
#include <gtest/gtest.h>

#include <thread>

#include "tests/x11/AgentDesk.hpp"

// A browser the agent operates, named by the test's parameter (its fixture script).
class BrowserDesk : public AgentDesk, public ::testing::WithParamInterface<std::string> {
 protected:
  void TearDown() override {
    if (auto browser = window(GetParam())) desktop_->workspace().requestQuit(browser->pid);
    eventually([] { return !window(GetParam()); }, std::chrono::seconds(10));
  }
  // The browser's window once its title starts so; the focus given back to the user's
  // window (a browser that has loaded its first page takes it).
  std::optional<WindowInfo> browserTitled(const std::string& title) {
    std::optional<WindowInfo> found;
    eventually([&] {
      for (const auto& each : Apps::frontToBack())
        if (window(GetParam()) && each.pid == window(GetParam())->pid && each.title.starts_with(title)) found = each;
      return found.has_value();
    }, std::chrono::seconds(30));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    run("xdotool windowactivate --sync " + userWindowID());
    return found;
  }
  std::string titleOf(pid_t pid, const std::string& prefix) {
    std::string title;
    eventually([&] {
      for (const auto& each : Apps::frontToBack())
        if (each.pid == pid && each.title.starts_with(prefix)) title = each.title;
      return !title.empty();
    });
    return title;
  }
};

inline std::string browserName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param == "chromium" ? "Chromium" : "Firefox";
}
