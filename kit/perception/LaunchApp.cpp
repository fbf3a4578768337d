#include <algorithm>

#include "kit/common/Paths.hpp"
#include "kit/common/Text.hpp"
#include "kit/input/StackGuard.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/DesktopEntries.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolError.hpp"

namespace {

constexpr double launchWait = 15.0;
constexpr double settleAfterChange = 2.5;
constexpr double pollInterval = 0.05;

constexpr const char* securityPrompt =
    "macOS shows a security prompt (an app downloaded from the internet, opened for the first time); it belongs to "
    "the user: ask them to confirm it.";

std::optional<std::string> openTarget(const std::optional<std::string>& open) {
  if (!open) return std::nullopt;
  if (open->find("://") != std::string::npos) return open;
  std::string path = *open;
  if (path == "~" || path.starts_with("~/")) path = Paths::home() + path.substr(1);
  // A relative path would be resolved against the resident app's folder, never what the agent meant.
  if (!path.starts_with("/")) throw ToolError("Invalid URL or path \"" + *open + "\".");
  return path;
}

bool securityPromptShows() {
  for (const auto& app : Platform::desktop().workspace().runningApplications()) {
    if (app.bundleID != "com.apple.coreservices.uiagent") continue;
    for (const auto& window : Apps::windows(app, true)) {
      if (window.frame.size.width > 100) return true;
    }
  }
  return false;
}

std::vector<WindowNumber> windowNumbers(pid_t pid) {
  RunningApp app;
  app.pid = pid;
  std::vector<WindowNumber> numbers;
  for (const auto& window : Apps::windows(app, false)) numbers.push_back(window.id);
  return numbers;
}

// Waits until the app's windows have settled: 2.5 s after their last change, 15 s at most.
void waitForWindows(pid_t pid) {
  Clock& clock = Platform::clock();
  const double start = clock.now();
  double end = start + launchWait;
  auto seen = windowNumbers(pid);
  while (clock.now() < end) {
    clock.sleep(pollInterval);
    auto now = windowNumbers(pid);
    if (now != seen) {
      seen = std::move(now);
      end = std::min(start + launchWait, clock.now() + settleAfterChange);
    }
  }
}

std::optional<RunningApp> runningWithPID(pid_t pid) {
  for (const auto& app : Platform::desktop().workspace().runningApplications()) {
    if (app.pid == pid && !app.terminated) return app;
  }
  return std::nullopt;
}

}  // namespace

ToolResult Engine::launchApp(const std::string& query, const std::optional<std::string>& open) {
  Desktop& desktop = Platform::desktop();
  auto known = desktop.workspace().findApplication(Text::trimmed(query));
  const std::string location = known ? *known : DesktopEntries::locate(query);
  const auto target = openTarget(open);

  StackGuard guard(RunningApp{}, Apps::frontmost(), StackGuard::normalWindows(), true);
  auto outcome = desktop.workspace().launch({location, target});
  if (!outcome.pid) {
    guard.finish(StackGuard::Clock::now());
    if (securityPromptShows()) throw ToolError(std::string(securityPrompt) + " The app starts once it is confirmed.");
    throw ToolError("Could not start " + location + ": " + outcome.error + ".");
  }
  waitForWindows(*outcome.pid);
  guard.finish(StackGuard::Clock::now());

  auto app = runningWithPID(*outcome.pid);
  if (!app) throw ToolError("The app started from " + location + " quit right away.");
  auto visible = Apps::windows(*app, true);
  auto count = std::count_if(visible.begin(), visible.end(), [](const WindowInfo& w) { return w.layer == 0; });
  std::string text = (app->name.empty() ? std::string("The app") : app->name) + " is running (pid " +
                     std::to_string(app->pid) + ") with " + std::to_string(count) +
                     " visible window(s). Call get_app_state next.";
  if (securityPromptShows()) text += std::string(" ") + securityPrompt;
  return {text, std::nullopt};
}
