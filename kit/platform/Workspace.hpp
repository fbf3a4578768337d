#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

enum class ActivationPolicy { regular, accessory, prohibited };

// One running application as the workspace reports it.
struct AppRecord {
  pid_t pid = 0;
  std::string name{};        // localized name; empty when it has none
  std::string bundleID{};    // bundle identifier, or the desktop app id on Linux
  std::string executable{};  // absolute path
  std::string bundlePath{};  // the .app folder, or the .desktop file on Linux; may be empty
  ActivationPolicy policy = ActivationPolicy::regular;
  bool hidden = false;
  bool terminated = false;
  bool isElectron = false;
  double launchDate = 0;  // seconds since the epoch
};

// What to start: an executable or a desktop entry, and optionally what it opens.
struct LaunchRequest {
  std::string location;  // an executable, a .desktop file or an .app folder
  std::optional<std::string> open;  // a URL or an absolute path
};

// Running apps, the front app, and launching without activation.
class Workspace {
 public:
  virtual ~Workspace() = default;
  virtual std::vector<AppRecord> runningApplications() = 0;
  virtual std::optional<pid_t> frontmostApplication() = 0;
  // Starts the app without activating it (or hands `open` to it when it already runs).
  struct LaunchOutcome {
    std::optional<pid_t> pid;  // the app's process
    std::string error;         // why it could not be started, when there is no pid
  };
  virtual LaunchOutcome launch(const LaunchRequest& request) = 0;
  // Where the installed app that the words name lives (its id, name or path), or none.
  virtual std::optional<std::string> findApplication(const std::string& query) = 0;
  virtual void requestQuit(pid_t pid) = 0;
  // The executable path of any process, or empty.
  virtual std::string executablePath(pid_t pid) = 0;
};
