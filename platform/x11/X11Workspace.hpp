#pragma once
#include <memory>
#include <mutex>
#include <set>

#include "kit/platform/Workspace.hpp"
#include "platform/x11/X11WindowServer.hpp"

// Running apps of an X session: processes that own a client window, and the ones the
// agent started; named by their desktop files, else by their window class.
class X11Workspace : public Workspace {
 public:
  explicit X11Workspace(X11WindowServer& windowServer) : windowServer_(windowServer) {}

  std::vector<AppRecord> runningApplications() override;
  std::optional<pid_t> frontmostApplication() override;
  LaunchOutcome launch(const LaunchRequest& request) override;
  std::optional<std::string> findApplication(const std::string& query) override;
  void requestQuit(pid_t pid) override;
  std::string executablePath(pid_t pid) override;

 private:
  X11WindowServer& windowServer_;
  std::mutex launchedLock_;  // guards launched_ only
  std::set<pid_t> launched_;
};
