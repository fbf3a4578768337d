#include "platform/x11/X11Workspace.hpp"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>
#include <map>
#include <sstream>

#include "kit/common/Files.hpp"
#include "kit/common/Process.hpp"
#include "kit/common/Text.hpp"
#include "platform/x11/DesktopEntries.hpp"

namespace fs = std::filesystem;

namespace {

// The window manager gives no focus to a window whose app was started with user time 0.
const std::string withoutActivation = "DESKTOP_STARTUP_ID=tarnwick_TIME0";

bool isRunning(pid_t pid) {
  auto stat = Files::read("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return false;
  const size_t close = stat->rfind(')');
  return close != std::string::npos && close + 2 < stat->size() && (*stat)[close + 2] != 'Z';
}

// Seconds since the epoch at which the process started.
double launchDate(pid_t pid) {
  auto stat = Files::read("/proc/" + std::to_string(pid) + "/stat");
  auto uptime = Files::read("/proc/uptime");
  if (!stat || !uptime) return 0;
  const size_t close = stat->rfind(')');
  if (close == std::string::npos) return 0;
  // Field 22 of the line is the start time; the text after ")" begins at field 3.
  std::istringstream fields(stat->substr(close + 2));
  std::string field;
  for (int i = 0; i < 19 && fields >> field; ++i) {
  }
  double ticks = 0, sinceBoot = 0;
  if (!(fields >> ticks) || !(std::istringstream(*uptime) >> sinceBoot)) return 0;
  const double startedAfterBoot = ticks / double(sysconf(_SC_CLK_TCK));
  return double(time(nullptr)) - sinceBoot + startedAfterBoot;
}

std::string basename(const std::string& path) { return fs::path(path).filename().string(); }

struct Owner {
  bool anyWindow = false;
  bool allIconic = true;
  std::string instance, windowClass;
};

// A program that runs scripts: its own desktop entry ("Python (v3.11)") would name every
// script's window alike.
bool isInterpreter(const std::string& program) {
  static constexpr std::string_view interpreters[] = {"python", "perl", "ruby", "node", "nodejs", "java", "sh",
                                                      "bash", "dash", "wish", "tclsh", "lua", "gjs", "php"};
  std::string_view name = program;
  while (!name.empty() && (std::isdigit(static_cast<unsigned char>(name.back())) || name.back() == '.')) {
    name.remove_suffix(1);  // python3.11 is python
  }
  return std::find(std::begin(interpreters), std::end(interpreters), name) != std::end(interpreters);
}

// The desktop entry of a process: by its window's class, else by the program it runs.
std::optional<DesktopEntry> entryFor(const std::vector<DesktopEntry>& entries, const std::string& executable,
                                     const Owner& owner) {
  for (const auto& entry : entries) {
    const std::string id = Text::lowered(entry.appID());
    if (!owner.windowClass.empty() && id == Text::lowered(owner.windowClass)) return entry;
    if (!owner.instance.empty() && id == Text::lowered(owner.instance)) return entry;
  }
  const std::string program = basename(executable);
  if (program.empty() || isInterpreter(program)) return std::nullopt;
  for (const auto& entry : entries) {
    if (basename(entry.exec.front()) == program) return entry;
  }
  return std::nullopt;
}

}  // namespace

std::vector<AppRecord> X11Workspace::runningApplications() {
  std::map<pid_t, Owner> owners;
  for (const auto& window : windowServer_.stack()) {
    if (window.pid == 0 || window.overrideRedirect || !(window.viewable || window.iconic)) continue;
    Owner& owner = owners[window.pid];
    if (!owner.anyWindow) owner.instance = window.instance, owner.windowClass = window.windowClass;
    owner.anyWindow = true;
    owner.allIconic = owner.allIconic && window.iconic;
  }
  {
    std::lock_guard guard(launchedLock_);
    std::erase_if(launched_, [](pid_t pid) { return !isRunning(pid); });
    for (pid_t pid : launched_) owners.try_emplace(pid);
  }
  const auto entries = DesktopEntries::installed();
  std::vector<AppRecord> records;
  for (const auto& [pid, owner] : owners) {
    if (!isRunning(pid)) continue;
    AppRecord record;
    record.pid = pid;
    record.executable = executablePath(pid);
    if (auto entry = entryFor(entries, record.executable, owner)) {
      record.name = entry->name;
      record.bundleID = entry->appID();
      record.bundlePath = entry->path;
    } else {
      record.name = owner.windowClass.empty() ? basename(record.executable) : owner.windowClass;
      record.bundleID = owner.instance;
    }
    record.policy = owner.anyWindow ? ActivationPolicy::regular : ActivationPolicy::accessory;
    record.hidden = owner.anyWindow && owner.allIconic;
    record.isElectron = fs::exists(fs::path(record.executable).parent_path() / "resources" / "app.asar");
    record.launchDate = launchDate(pid);
    records.push_back(std::move(record));
  }
  return records;
}

std::optional<pid_t> X11Workspace::frontmostApplication() { return windowServer_.frontProcess(); }

namespace {

// Chromium builds its pages' accessibility only when asked on its command line: neither
// the bus's status properties nor an assistive client's requests switch it on (measured).
void askForWebAccessibility(std::vector<std::string>& command) {
  static const std::set<std::string> chromiums{"chromium", "chromium-browser", "google-chrome", "google-chrome-stable",
                                               "chrome", "brave-browser", "microsoft-edge"};
  if (chromiums.contains(fs::path(command.front()).filename().string())) {
    command.insert(command.begin() + 1, "--force-renderer-accessibility");
  }
}

}  // namespace

X11Workspace::LaunchOutcome X11Workspace::launch(const LaunchRequest& request) {
  std::vector<std::string> command;
  if (request.location.ends_with(".desktop")) {
    auto entry = DesktopEntry::read(request.location);
    if (!entry) return {std::nullopt, "the desktop file cannot be read"};
    command = DesktopEntries::commandLine(*entry, request.open);
  } else {
    command = {request.location};
    if (request.open) command.push_back(*request.open);
  }
  if (command.empty()) return {std::nullopt, "the desktop file names no program"};
  if (!request.open) {
    // Already running: hand back the process instead of starting a second one.
    for (const auto& app : runningApplications()) {
      if (basename(app.executable) == basename(command.front())) return {app.pid, ""};
    }
  }
  askForWebAccessibility(command);
  auto spawned = Process::spawnDetached(command.front(), {command.begin() + 1, command.end()}, {withoutActivation});
  if (!spawned.pid) return {std::nullopt, std::strerror(spawned.error)};
  std::lock_guard guard(launchedLock_);
  launched_.insert(*spawned.pid);
  return {spawned.pid, ""};
}

std::optional<std::string> X11Workspace::findApplication(const std::string& query) {
  return DesktopEntries::locate(query);
}

void X11Workspace::requestQuit(pid_t pid) { kill(pid, SIGTERM); }

std::string X11Workspace::executablePath(pid_t pid) {
  std::error_code error;
  auto target = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  return error ? "" : target.string();
}
