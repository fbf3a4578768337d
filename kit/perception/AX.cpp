#include "kit/perception/AX.hpp"

#include <deque>
#include <mutex>
#include <unordered_map>

#include "kit/common/Text.hpp"
#include "kit/platform/Desktop.hpp"

namespace AX {
namespace {

Accessibility& platform() { return Platform::desktop().accessibility(); }

// Windows found by the remote search; entries are only added or overwritten.
std::mutex remoteWindowsLock;
std::unordered_map<WindowNumber, AXElement> remoteWindows;

std::array<uint8_t, 20> remoteToken(pid_t pid, uint64_t elementID) {
  std::array<uint8_t, 20> token{};
  auto put = [&](size_t offset, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) token[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  put(0, static_cast<uint32_t>(pid), 4);
  put(8, 0x636F636F, 4);
  put(12, elementID, 8);
  return token;
}

bool isWindowNumbered(const AXElement& element, WindowNumber wanted) { return windowID(element) == wanted; }

std::optional<AXElement> cachedRemoteWindow(WindowNumber window, double timeout) {
  std::optional<AXElement> cached;
  {
    std::lock_guard guard(remoteWindowsLock);
    if (auto found = remoteWindows.find(window); found != remoteWindows.end()) cached = found->second;
  }
  if (!cached) return std::nullopt;
  cached->timeout = timeout;
  if (isWindowNumbered(*cached, window)) return cached;
  return std::nullopt;
}

}  // namespace

AXElement withTimeout(AXElement element, double seconds) {
  element.timeout = seconds;
  return element;
}

AXElement application(pid_t pid) { return withTimeout(platform().application(pid), standardTimeout); }

std::optional<AXValue> value(const AXElement& element, const std::string& name) {
  auto [status, read] = platform().copyAttribute(element, name);
  if (status != AXError::success || std::holds_alternative<std::monostate>(read)) return std::nullopt;
  return read;
}

std::optional<AXValue> parameterized(const AXElement& element, const std::string& name, const AXValue& parameter) {
  auto [status, read] = platform().copyParameterizedAttribute(element, name, parameter);
  if (status != AXError::success || std::holds_alternative<std::monostate>(read)) return std::nullopt;
  return read;
}

std::map<std::string, AXValue> attributes(const AXElement& element, const std::vector<std::string>& names) {
  std::map<std::string, AXValue> result;
  auto values = platform().copyAttributes(element, names);
  if (!values) return result;
  for (size_t i = 0; i < names.size() && i < values->size(); ++i) {
    const auto& read = (*values)[i];
    if (read && !std::holds_alternative<std::monostate>(*read)) result[names[i]] = *read;
  }
  return result;
}

std::vector<AXElement> children(const AXElement& element) {
  return attribute<std::vector<AXElement>>(element, "AXChildren").value_or(std::vector<AXElement>{});
}

std::vector<std::string> actions(const AXElement& element) {
  return platform().actionNames(element).value_or(std::vector<std::string>{});
}

void readAhead(const AXElement& root) { platform().readAhead(root); }
void endReadAhead() { platform().endReadAhead(); }

bool isSettable(const AXElement& element, const std::string& name) {
  return platform().isSettable(element, name).value_or(false);
}

AXStatus set(const AXElement& element, const std::string& name, const AXValue& value) {
  return platform().setAttribute(element, name, value);
}

AXStatus perform(const AXElement& element, const std::string& action) { return platform().perform(element, action); }

AXStatus roleStatus(const AXElement& element) { return platform().copyAttribute(element, "AXRole").first; }

std::optional<Rect> frame(const AXElement& element) {
  auto position = attribute<Point>(element, "AXPosition");
  auto size = attribute<Size>(element, "AXSize");
  if (!position || !size) return std::nullopt;
  return Rect{*position, *size};
}

std::optional<WindowNumber> containingWindowID(const AXElement& element) {
  auto window = attribute<AXElement>(element, "AXWindow");
  return window ? windowID(*window) : std::nullopt;
}

std::optional<WindowNumber> windowID(const AXElement& element) {
  auto number = platform().windowNumber(element);
  if (!number || *number == 0) return std::nullopt;
  return number;
}

bool isWebContent(const AXElement& element) {
  AXElement current = withTimeout(element, standardTimeout);
  for (int i = 0; i < 40; ++i) {
    if (attribute<std::string>(current, "AXRole") == "AXWebArea") return true;
    auto parent = attribute<AXElement>(current, "AXParent");
    if (!parent) return false;
    current = withTimeout(*parent, standardTimeout);
  }
  return false;
}

std::optional<AXElement> elementAt(pid_t pid, Point point) {
  auto found = platform().elementAt(pid, point);
  if (!found) return std::nullopt;
  return withTimeout(*found, standardTimeout);
}

std::optional<AXElement> remoteWindow(WindowNumber window, pid_t pid, std::optional<double> deadline, double timeout) {
  if (auto cached = cachedRemoteWindow(window, timeout)) return cached;
  if (!platform().hasRemoteTokens()) return std::nullopt;
  Clock& clock = Platform::clock();
  double effective = clock.now() + 3.0;
  if (deadline && *deadline < effective) effective = *deadline;
  constexpr uint64_t block = 1000;
  for (uint64_t start = 0; clock.now() < effective; start += block) {
    for (uint64_t id = start; id < start + block; ++id) {
      if (clock.now() >= effective) return std::nullopt;
      auto element = platform().elementFromRemoteToken(remoteToken(pid, id));
      if (!element) continue;
      element->timeout = timeout;
      if (attribute<std::string>(*element, "AXRole") != "AXWindow") continue;
      auto number = windowID(*element);
      if (!number) continue;
      {
        std::lock_guard guard(remoteWindowsLock);
        remoteWindows.insert_or_assign(*number, *element);
      }
      if (*number == window) return element;
    }
  }
  return std::nullopt;
}

std::optional<AXElement> webArea(const AXElement& element) {
  if (auto searched = platform().searchWebArea(element)) return *searched;
  std::deque<AXElement> queue{element};
  for (int examined = 0; !queue.empty() && examined < 300; ++examined) {
    AXElement next = std::move(queue.front());
    queue.pop_front();
    if (attribute<std::string>(next, "AXRole") == "AXWebArea") return next;
    for (auto& child : children(next)) queue.push_back(std::move(child));
  }
  return std::nullopt;
}

bool containsWebArea(const AXElement& element) { return webArea(element).has_value(); }

void enableWebAccessibility(pid_t pid, bool electron) {
  AXElement app = application(pid);
  set(app, "AXManualAccessibility", true);
  if (!electron) set(app, "AXEnhancedUserInterface", true);
}

std::string message(AXStatus status) {
  switch (status) {
    case AXError::success: return "success";
    case AXError::illegalArgument: return "illegal argument";
    case AXError::invalidElement: return "the element no longer exists; call get_app_state again";
    case AXError::cannotComplete: return "the app did not respond (busy, or a modal menu is open)";
    case AXError::attributeUnsupported: return "the element does not have this attribute";
    case AXError::actionUnsupported: return "the element does not support this action";
    case AXError::notImplemented: return "the app does not implement this";
    case AXError::apiDisabled: return "accessibility permission is missing";
    default: return "accessibility error " + std::to_string(status);
  }
}

}  // namespace AX

namespace WebRuntime {

bool contains(const RunningApp& app) {
  // macOS bundle ids first, then the app ids the same browsers use on Linux.
  static const char* const prefixes[] = {
      "com.google.chrome", "org.chromium", "com.microsoft.edgemac", "com.brave.browser", "com.vivaldi",
      "company.thebrowser", "com.operasoftware", "google-chrome", "chromium", "microsoft-edge", "brave-browser",
      "vivaldi", "opera"};
  const std::string id = Text::lowered(app.bundleID);
  if (!id.empty()) {
    for (const char* prefix : prefixes) {
      if (id.starts_with(prefix)) return true;
    }
  }
  return isElectron(app);
}

bool isElectron(const RunningApp& app) { return app.isElectron; }

}  // namespace WebRuntime
