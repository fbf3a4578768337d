#include "kit/perception/Apps.hpp"

#include <unistd.h>

#include <charconv>
#include <filesystem>

#include "kit/common/Text.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Spaces.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/common/ToolError.hpp"

namespace Apps {
namespace {

std::optional<pid_t> pidText(const std::string& text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int32_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }
std::string stem(const std::string& path) { return std::filesystem::path(path).stem().string(); }

// A regular app before others; among several of one name (two mousepads), the one in
// front, else the newest.
std::optional<RunningApp> bestMatch(const std::vector<RunningApp>& candidates,
                                    const std::function<bool(const RunningApp&)>& matches, std::optional<pid_t> front) {
  std::vector<const RunningApp*> found;
  for (const auto& app : candidates)
    if (matches(app)) found.push_back(&app);
  if (found.empty()) return std::nullopt;
  const bool anyRegular = std::any_of(found.begin(), found.end(),
                                      [](const RunningApp* app) { return app->policy == ActivationPolicy::regular; });
  const RunningApp* best = nullptr;
  for (const RunningApp* app : found) {
    if (anyRegular && app->policy != ActivationPolicy::regular) continue;
    if (app->pid == front) return *app;
    if (!best || app->launchDate > best->launchDate) best = app;
  }
  return *best;
}

std::string nameOr(const RunningApp& app, const char* fallback) { return app.name.empty() ? fallback : app.name; }

bool hasEntry(const std::vector<WindowInfo>& windows, WindowNumber id) {
  return std::any_of(windows.begin(), windows.end(), [id](const WindowInfo& w) { return w.id == id; });
}

// Minimized, or its app hidden, for a window whose element is at hand.
Dormancy dormancyOfElement(const AXElement& window, const RunningApp& app) {
  auto hidden = AX::attribute<bool>(AX::application(app.pid), "AXHidden");
  if (hidden.value_or(app.hidden)) return Dormancy::appHidden;
  return AX::attribute<bool>(window, "AXMinimized").value_or(false) ? Dormancy::minimized : Dormancy::none;
}

bool isDormantElement(const AXElement& window, const RunningApp& app) {
  return dormancyOfElement(window, app) != Dormancy::none;
}

}  // namespace

std::vector<RunningApp> running() {
  std::vector<RunningApp> apps;
  for (auto& app : Platform::desktop().workspace().runningApplications()) {
    if (app.policy == ActivationPolicy::regular && !app.terminated) apps.push_back(std::move(app));
  }
  return apps;
}

std::optional<RunningApp> frontmost() {
  auto desktop = Platform::desktopIfAny();
  if (!desktop) return std::nullopt;
  auto apps = desktop->workspace().runningApplications();
  auto withPID = [&](std::optional<pid_t> pid) -> std::optional<RunningApp> {
    if (!pid || *pid < 1) return std::nullopt;
    for (const auto& app : apps) {
      if (app.pid == *pid && !app.terminated) return app;
    }
    return std::nullopt;
  };
  if (auto front = withPID(desktop->windowServer().frontProcess())) return front;
  return withPID(desktop->workspace().frontmostApplication());
}

std::optional<RunningApp> withPID(pid_t pid) {
  for (auto& app : Platform::desktop().workspace().runningApplications())
    if (app.pid == pid && !app.terminated) return app;
  return std::nullopt;
}

RunningApp find(const std::string& query) {
  const std::string wanted = Text::trimmed(query);
  std::vector<RunningApp> candidates;
  for (auto& app : Platform::desktop().workspace().runningApplications()) {
    if (!app.terminated) candidates.push_back(std::move(app));
  }
  if (auto pid = pidText(wanted)) {
    for (const auto& app : candidates) {
      if (app.pid == *pid) return app;
    }
  } else {
    const std::string lowered = Text::lowered(wanted);
    const std::string withoutHyphens = Text::withoutSoftHyphens(lowered);
    const std::function<bool(const RunningApp&)> matchers[] = {
        [&](const RunningApp& app) { return !app.bundleID.empty() && Text::lowered(app.bundleID) == lowered; },
        [&](const RunningApp& app) { return Text::lowered(Text::withoutSoftHyphens(app.name)) == withoutHyphens; },
        [&](const RunningApp& app) { return !app.executable.empty() && Text::lowered(fileName(app.executable)) == lowered; },
        [&](const RunningApp& app) { return !app.bundlePath.empty() && Text::lowered(stem(app.bundlePath)) == lowered; },
    };
    const auto front = Platform::desktop().workspace().frontmostApplication();
    for (const auto& matches : matchers) {
      if (auto found = bestMatch(candidates, matches, front)) return *found;
    }
  }
  throw ToolError("App \"" + wanted + "\" is not running. Use list_apps, or launch_app to start it.");
}

RunningApp resolve(const std::string& query) {
  RunningApp app = find(query);
  if (app.pid == getpid()) {
    throw ToolError("Tarnwick cannot operate its own windows. Ask the user to use the Tarnwick window directly.");
  }
  return app;
}

bool isProtected(const RunningApp& app) { return protectedBundleIdentifiers.contains(app.bundleID); }

std::optional<WindowInfo> windowInfo(const Json& entry) {
  if (!entry.is_object()) return std::nullopt;
  auto number = entry.find(WindowKey::number);
  auto owner = entry.find(WindowKey::ownerPID);
  auto bounds = entry.find(WindowKey::bounds);
  if (number == entry.end() || !number->is_number_integer() || owner == entry.end() || !owner->is_number_integer() ||
      bounds == entry.end() || !bounds->is_object()) {
    return std::nullopt;
  }
  for (const char* key : {"X", "Y", "Width", "Height"}) {
    if (!bounds->contains(key) || !(*bounds)[key].is_number()) return std::nullopt;
  }
  WindowInfo info;
  info.id = number->get<WindowNumber>();
  info.pid = owner->get<pid_t>();
  info.title = entry.value(WindowKey::name, Json("")).is_string() ? entry.value(WindowKey::name, "") : "";
  info.frame = {{(*bounds)["X"].get<double>(), (*bounds)["Y"].get<double>()},
                {(*bounds)["Width"].get<double>(), (*bounds)["Height"].get<double>()}};
  auto layer = entry.find(WindowKey::layer);
  info.layer = layer != entry.end() && layer->is_number() ? layer->get<int>() : 0;
  auto onScreen = entry.find(WindowKey::isOnscreen);
  auto alpha = entry.find(WindowKey::alpha);
  bool visibleAlpha = alpha == entry.end() || !alpha->is_number() || alpha->get<double>() > 0;
  info.isOnScreen = onScreen != entry.end() && onScreen->is_boolean() && onScreen->get<bool>() && visibleAlpha;
  return info;
}

std::vector<WindowInfo> windows(const RunningApp& app, bool onScreenOnly) {
  uint32_t options = onScreenOnly ? WindowListOption::onScreenOnly | WindowListOption::excludeDesktopElements
                                  : WindowListOption::all;
  std::vector<WindowInfo> result;
  for (const auto& entry : WindowList::copy(options)) {
    if (auto info = windowInfo(entry); info && info->pid == app.pid) result.push_back(*info);
  }
  return result;
}

std::optional<WindowInfo> window(WindowNumber number) {
  for (const auto& entry : WindowList::copy(WindowListOption::includingWindow, number)) {
    if (auto info = windowInfo(entry); info && info->id == number) return info;
  }
  return std::nullopt;
}

WindowInfo targetWindow(const RunningApp& app, std::optional<WindowNumber> windowID) {
  if (!windowID) return mainWindow(app);
  const std::string number = std::to_string(*windowID);
  auto found = window(*windowID);
  if (!found || found->pid != app.pid) {
    throw ToolError("Window " + number + " does not belong to " + nameOr(app, "the app") +
                    ". Call list_apps for current window ids.");
  }
  if (found->isOnScreen || isOnAnotherSpace(*found) || isDormant(*found, app)) return *found;
  throw ToolError("Window " + number + " is not visible and cannot be restored through accessibility.");
}

WindowInfo mainWindow(const RunningApp& app) {
  auto all = windows(app, false);
  AXElement appElement = AX::application(app.pid);
  for (const char* attribute : {"AXMainWindow", "AXFocusedWindow"}) {
    auto element = AX::attribute<AXElement>(appElement, attribute);
    if (!element) continue;
    auto number = AX::windowID(*element);
    if (!number || !hasEntry(all, *number)) continue;
    const WindowInfo& chosen = *std::find_if(all.begin(), all.end(), [&](const WindowInfo& w) { return w.id == *number; });
    // Tooltips, menus and popovers only join the picture of the window they belong to.
    if (chosen.layer != 0) continue;
    if (chosen.isOnScreen || isOnAnotherSpace(chosen)) return chosen;
    if (axWindow(chosen) && isDormantElement(*element, app)) return chosen;
    break;
  }
  for (const auto& candidate : all) {
    if (candidate.isOnScreen && candidate.layer == 0 && candidate.frame.size.width > 40 &&
        candidate.frame.size.height > 40) {
      return candidate;
    }
  }
  for (const auto& candidate : all) {
    if (isDormant(candidate, app)) return candidate;
  }
  const std::string name = nameOr(app, "The app");
  if (all.empty()) throw ToolError(name + " has no open window.");
  throw ToolError(name + " has no window that can be restored through accessibility.");
}

bool isOnAnotherSpace(const WindowInfo& window) {
  return !window.isOnScreen && Spaces::isOnHiddenSpace(window.id, Spaces::visible());
}

Dormancy dormancy(const WindowInfo& window, const RunningApp& app) {
  if (window.layer != 0) return Dormancy::none;
  auto element = axWindow(window);
  return element ? dormancyOfElement(*element, app) : Dormancy::none;
}

bool isDormant(const WindowInfo& window, const RunningApp& app) { return dormancy(window, app) != Dormancy::none; }

bool isRemotePanel(const WindowInfo& window) {
  auto desktop = Platform::desktopIfAny();
  if (!desktop) return false;
  for (const auto& other : frontToBack()) {
    if (other.pid == window.pid || other.frame != window.frame) continue;
    if (desktop->workspace().executablePath(other.pid).ends_with("openAndSavePanelService")) return true;
  }
  return false;
}

std::set<WindowNumber> standardWindowIDs(const RunningApp& app) {
  std::set<WindowNumber> ids;
  auto listed = AX::attribute<std::vector<AXElement>>(AX::application(app.pid), "AXWindows");
  for (const auto& element : listed.value_or(std::vector<AXElement>{})) {
    if (AX::attribute<std::string>(element, "AXSubrole") != "AXStandardWindow") continue;
    if (auto number = AX::windowID(element)) ids.insert(*number);
  }
  return ids;
}

std::vector<WindowInfo> transientWindows(const std::vector<WindowInfo>& frontToBack, const WindowInfo& target,
                                         const std::set<WindowNumber>& standardWindowIDs) {
  auto targetPosition = std::find_if(frontToBack.begin(), frontToBack.end(),
                                     [&](const WindowInfo& w) { return w.id == target.id; });
  // Walking from the target towards the front.
  std::vector<WindowInfo> kept;
  std::optional<size_t> bound;  // index in kept of the nearest standard window
  bool anyLayerZero = false;
  for (auto it = std::make_reverse_iterator(targetPosition); it != frontToBack.rend(); ++it) {
    const WindowInfo& candidate = *it;
    if (candidate.pid != target.pid || candidate.frame.size.width <= 2 || candidate.frame.size.height <= 2) continue;
    if (candidate.layer == 0 && !intersects(candidate.frame, target.frame)) continue;
    if (candidate.layer == 0) {
      anyLayerZero = true;
      if (!bound && standardWindowIDs.contains(candidate.id)) bound = kept.size();
    }
    kept.push_back(candidate);
  }
  std::vector<WindowInfo> result;
  for (size_t i = 0; i < kept.size(); ++i) {
    bool beyondBound = anyLayerZero && bound && i >= *bound;
    if (kept[i].layer != 0 || !beyondBound) result.push_back(kept[i]);
  }
  // Front to back, as the window list has them.
  std::reverse(result.begin(), result.end());
  return result;
}

std::optional<AXElement> axWindow(const WindowInfo& window, std::optional<double> deadline) {
  const double timeout = deadline ? AX::deadlineTimeout : AX::standardTimeout;
  Clock& clock = Platform::clock();
  AXElement app = AX::withTimeout(AX::application(window.pid), timeout);
  auto listed = AX::attribute<std::vector<AXElement>>(app, "AXWindows");
  for (auto& element : listed.value_or(std::vector<AXElement>{})) {
    if (deadline && clock.now() >= *deadline) return std::nullopt;
    element.timeout = timeout;
    if (AX::windowID(element) == window.id) return element;
  }
  if (deadline && clock.now() >= *deadline) return std::nullopt;
  return AX::remoteWindow(window.id, window.pid, deadline, timeout);
}

std::optional<AXElement> windowOrSheetElement(const WindowInfo& window) {
  auto listed = AX::attribute<std::vector<AXElement>>(AX::application(window.pid), "AXWindows")
                    .value_or(std::vector<AXElement>{});
  for (const auto& element : listed) {
    if (AX::windowID(element) == window.id) return element;
  }
  std::vector<AXElement> sheets;
  for (const auto& element : listed) {
    for (const auto& child : AX::children(element)) {
      if (AX::attribute<std::string>(child, "AXRole") == "AXSheet") sheets.push_back(child);
    }
  }
  for (const auto& sheet : sheets) {
    if (AX::windowID(sheet) == window.id) return sheet;
  }
  for (const auto& sheet : sheets) {
    if (AX::frame(sheet) == window.frame) return sheet;
  }
  return AX::remoteWindow(window.id, window.pid, std::nullopt, AX::standardTimeout);
}

std::optional<std::vector<std::string>> menuBarTitles(pid_t pid) {
  auto bar = AX::attribute<AXElement>(AX::application(pid), "AXMenuBar");
  if (!bar) return std::nullopt;
  std::vector<std::string> titles;
  for (const auto& item : AX::children(*bar)) {
    auto title = AX::attribute<std::string>(item, "AXTitle").value_or("");
    if (!title.empty() && title != "Apple") titles.push_back(title);
  }
  return titles;
}

std::vector<WindowInfo> frontToBack() {
  std::vector<WindowInfo> windows;
  for (const auto& entry : WindowList::copy(WindowListOption::all)) {
    if (auto info = windowInfo(entry)) windows.push_back(*info);
  }
  return windows;
}

}  // namespace Apps
