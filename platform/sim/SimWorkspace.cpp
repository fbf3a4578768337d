#include "platform/sim/SimWorkspace.hpp"

#include "kit/common/Text.hpp"

std::vector<AppRecord> SimWorkspace::runningApplications() {
  std::lock_guard guard(model_.lock);
  std::vector<AppRecord> records;
  for (const auto& [pid, app] : model_.apps) {
    if (!app.record.terminated) records.push_back(app.record);
  }
  return records;
}

std::optional<pid_t> SimWorkspace::frontmostApplication() {
  std::lock_guard guard(model_.lock);
  return model_.front;
}

SimWorkspace::LaunchOutcome SimWorkspace::launch(const LaunchRequest& request) {
  std::lock_guard guard(model_.lock);
  for (const auto& [pid, app] : model_.apps) {
    if (!app.record.terminated && app.record.executable == request.location) return {pid, ""};
  }
  for (const auto& installed : model_.installed) {
    if (installed.app.executable != request.location) continue;
    pid_t pid = model_.addApp(installed.app);
    for (size_t i = 0; i < installed.windows.size(); ++i) {
      model_.window(model_.addWindow(pid, installed.windows[i]))->appearsAt = model_.now + installed.windowDelays[i];
    }
    return {pid, ""};
  }
  return {std::nullopt, "no such application is installed"};
}

std::optional<std::string> SimWorkspace::findApplication(const std::string& query) {
  std::lock_guard guard(model_.lock);
  const std::string wanted = Text::lowered(query);
  for (const auto& installed : model_.installed) {
    const auto& app = installed.app;
    if (Text::lowered(app.bundleID) == wanted || Text::lowered(app.name) == wanted || app.executable == query) {
      return app.executable;
    }
  }
  return std::nullopt;
}

void SimWorkspace::requestQuit(pid_t pid) {
  std::lock_guard guard(model_.lock);
  auto app = model_.apps.find(pid);
  if (app == model_.apps.end()) return;
  app->second.record.terminated = true;
  for (auto it = model_.windows.begin(); it != model_.windows.end();) {
    if (it->pid == pid) {
      model_.eraseNode(it->node);
      it = model_.windows.erase(it);
    } else {
      ++it;
    }
  }
}

std::string SimWorkspace::executablePath(pid_t pid) {
  std::lock_guard guard(model_.lock);
  auto app = model_.apps.find(pid);
  return app == model_.apps.end() ? "" : app->second.record.executable;
}
