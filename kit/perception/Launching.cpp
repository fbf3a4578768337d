#include "kit/perception/Launching.hpp"

#include <algorithm>

#include "kit/common/Paths.hpp"
#include "kit/common/PlatformTexts.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace Launching {
namespace {

constexpr double launchWait = 15.0;
constexpr double settleAfterChange = 2.5;
constexpr double pollInterval = 0.05;

constexpr const char* securityPrompt =
    "macOS shows a security prompt (an app downloaded from the internet, opened for the first time); it belongs to "
    "the user: ask them to confirm it.";

constexpr PlatformTexts::Text notFoundAdvice{" was found. Pass a bundle id, an app name or a path to a .app.",
                                             " was found. Pass an app id, an app name, or a path to an executable or "
                                             "a .desktop file."};

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

std::optional<RunningApp> runningWithPID(pid_t pid) {
  for (const auto& app : Platform::desktop().workspace().runningApplications()) {
    if (app.pid == pid && !app.terminated) return app;
  }
  return std::nullopt;
}

}  // namespace

std::string location(const std::string& query) {
  if (auto found = Platform::desktop().workspace().findApplication(Text::trimmed(query))) return *found;
  throw ToolError("No app named \"" + query + "\"" + std::string(notFoundAdvice()));
}

std::optional<std::string> openTarget(const std::optional<std::string>& open) {
  if (!open) return std::nullopt;
  if (open->find("://") != std::string::npos) return open;
  const std::string path = Paths::expandedHome(*open);
  // A relative path would be resolved against the resident app's folder, never what the agent meant.
  if (!path.starts_with("/")) throw ToolError("Invalid URL or path \"" + *open + "\".");
  return path;
}

pid_t start(const std::string& location, const std::optional<std::string>& open) {
  auto outcome = Platform::desktop().workspace().launch({location, open});
  if (outcome.pid) return *outcome.pid;
  if (securityPromptShows()) throw ToolError(std::string(securityPrompt) + " The app starts once it is confirmed.");
  throw ToolError("Could not start " + location + ": " + outcome.error + ".");
}

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

std::string report(pid_t pid, const std::string& location) {
  auto app = runningWithPID(pid);
  if (!app) throw ToolError("The app started from " + location + " quit right away.");
  auto visible = Apps::windows(*app, true);
  auto count = std::count_if(visible.begin(), visible.end(), [](const WindowInfo& w) { return w.layer == 0; });
  std::string text = (app->name.empty() ? std::string("The app") : app->name) + " is running (pid " +
                     std::to_string(app->pid) + ") with " + std::to_string(count) +
                     " visible window(s). Call get_app_state next.";
  if (securityPromptShows()) text += std::string(" ") + securityPrompt;
  return text;
}

}  // namespace Launching
