#pragma once
#include "kit/platform/Workspace.hpp"
#include "platform/sim/SimModel.hpp"

// The simulated apps: running ones, the installed ones that launching starts.
class SimWorkspace : public Workspace {
 public:
  explicit SimWorkspace(SimModel& model) : model_(model) {}

  std::vector<AppRecord> runningApplications() override;
  std::optional<pid_t> frontmostApplication() override;
  LaunchOutcome launch(const LaunchRequest& request) override;
  std::optional<std::string> findApplication(const std::string& query) override;
  void requestQuit(pid_t pid) override;
  std::string executablePath(pid_t pid) override;

 private:
  SimModel& model_;
};
