#include <unistd.h>

#include <algorithm>

#include "kit/backstage/Backstage.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/AccessibilityTree.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/Capture.hpp"
#include "kit/perception/Spaces.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"

namespace {

constexpr double pageLoadWait = 5.0;

bool contains(const Rect& rect, Point point) {
  return point.x >= rect.origin.x && point.x < rect.origin.x + rect.size.width && point.y >= rect.origin.y &&
         point.y < rect.origin.y + rect.size.height;
}

std::vector<WindowInfo> frontToBack() {
  std::vector<WindowInfo> windows;
  for (const auto& entry : WindowList::copy(WindowListOption::all)) {
    if (auto info = Apps::windowInfo(entry)) windows.push_back(*info);
  }
  return windows;
}

bool isOnAnotherSpaceGiven(const WindowInfo& window, const std::set<SpaceID>& visible) {
  auto spaces = Spaces::of(window.id);
  return !spaces.empty() && std::none_of(spaces.begin(), spaces.end(), [&](SpaceID s) { return visible.contains(s); });
}

std::string otherWindows(const std::vector<WindowInfo>& all, const WindowInfo& reported,
                         const std::vector<WindowInfo>& transient) {
  const auto visible = Spaces::visible();
  std::string entries;
  for (const auto& window : all) {
    if (window.pid != reported.pid || window.id == reported.id || window.layer != 0 || window.frame.size.width <= 40) {
      continue;
    }
    if (std::any_of(transient.begin(), transient.end(), [&](const WindowInfo& t) { return t.id == window.id; })) continue;
    std::string entry = std::to_string(window.id) + " \"" + window.title + "\"";
    if (!window.isOnScreen) {
      if (window.title.empty() || !isOnAnotherSpaceGiven(window, visible)) continue;
      entry += " (on another Space)";
    }
    entries += (entries.empty() ? "" : ", ") + entry;
  }
  return entries;
}

std::string joined(const std::vector<std::string>& lines, const char* separator) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? separator : "") + lines[i];
  return text;
}

bool pageLoaded(const AXElement& webArea) {
  if (AX::attribute<bool>(webArea, "AXLoaded") == false) return false;
  auto progress = AX::attribute<double>(webArea, "AXLoadingProgress");
  return !progress || *progress >= 1.0;
}

}  // namespace

WindowInfo Engine::onStage(const WindowInfo& window) { return Backstage::shared().admit(window); }

bool Engine::waitForPageLoad(const WindowInfo& window) {
  auto element = axWindow(window);
  if (!element) return true;
  Clock& clock = Platform::clock();
  const double deadline = clock.now() + pageLoadWait;
  for (;;) {
    auto web = AX::webArea(*element);
    if (!web || pageLoaded(*web)) return true;
    if (clock.now() >= deadline) return false;
    clock.sleep(0.1);
  }
}

std::optional<std::vector<std::string>> Engine::menuBarTitles(pid_t pid) {
  auto bar = AX::attribute<AXElement>(AX::application(pid), "AXMenuBar");
  if (!bar) return std::nullopt;
  std::vector<std::string> titles;
  for (const auto& item : AX::children(*bar)) {
    auto title = AX::attribute<std::string>(item, "AXTitle").value_or("");
    if (!title.empty() && title != "Apple") titles.push_back(title);
  }
  return titles;
}

bool Engine::lacksPage(const std::vector<ElementRecord>& records) {
  auto has = [&](const char* role) {
    return std::any_of(records.begin(), records.end(), [&](const ElementRecord& r) { return r.role == role; });
  };
  return has("AXTabGroup") && !has("AXWebArea");
}

std::optional<AXElement> Engine::axWindow(const WindowInfo& window) {
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

Rect Engine::screenBounds(const WindowInfo& window) {
  auto desktop = Platform::desktopIfAny();
  auto displays = desktop ? desktop->windowServer().displays() : std::vector<DisplayInfo>{};
  for (const auto& display : displays) {
    if (contains(display.frame, window.frame.center())) return display.frame;
  }
  for (const auto& display : displays) {
    if (display.isMain) return display.frame;
  }
  return window.frame;
}

ToolResult Engine::getAppState(const std::string& appName, std::optional<WindowNumber> windowID, bool changesOnly) {
  const RunningApp app = Apps::resolve(appName);
  const WindowInfo window = onStage(Apps::targetWindow(app, windowID));
  const bool loaded = waitForPageLoad(window);
  prepareAccessibility(app, window);

  const auto all = frontToBack();
  const auto transient = Apps::transientWindows(all, window, Apps::standardWindowIDs(app));
  Rect area = window.frame;
  for (const auto& each : transient) area = unite(area, each.frame);
  area = intersect(area, screenBounds(window)).value_or(area);
  std::vector<WindowInfo> drawn{window};
  drawn.insert(drawn.end(), transient.begin(), transient.end());
  const Shot shot = Capture::shot(drawn, area);

  const AXElement appElement = AX::application(app.pid);
  const auto listed = AX::attribute<std::vector<AXElement>>(appElement, "AXWindows").value_or(std::vector<AXElement>{});
  const auto focused = AX::attribute<AXElement>(appElement, "AXFocusedUIElement");
  const SnapshotRef previous = session->snapshot(app.pid, window.id);
  AccessibilityTree tree(area, [&shot](Point p) { return shot.toImage(p); }, shot.scale, focused, previous,
                         session->nextElementIndex);
  auto visitRoot = [&](const AXElement& root) {
    if (!tree.wasSeen(root)) tree.visit(root, 0, "", false, false);
  };
  if (auto element = axWindow(window)) visitRoot(*element);
  for (const auto& element : listed) {
    auto number = AX::windowID(element);
    if (number && std::any_of(transient.begin(), transient.end(), [&](const WindowInfo& t) { return t.id == *number; })) {
      visitRoot(element);
    }
  }
  for (const auto& child : AX::children(appElement)) {
    if (AX::attribute<std::string>(child, "AXRole") == "AXMenu") visitRoot(child);
  }

  auto snapshot = std::make_shared<Snapshot>();
  snapshot->window = window;
  snapshot->origin = area.origin;
  snapshot->scale = shot.scale;
  snapshot->elements = tree.elements();
  for (const auto& entry : snapshot->elements) snapshot->byIndex.insert_or_assign(entry.index, entry.record);
  session->remember(snapshot);
  session->nextElementIndex = tree.nextIndex();

  std::vector<std::string> header;
  header.push_back("App: " + (app.name.empty() ? std::string("?") : app.name) + " (" +
                   (app.bundleID.empty() ? std::string("?") : app.bundleID) + ", pid " + std::to_string(app.pid) + ")");
  header.push_back("Window " + std::to_string(window.id) + ": \"" + window.title + "\". Screenshot " +
                   std::to_string(shot.width) + "x" + std::to_string(shot.height) +
                   " px; x/y in tools are pixels of this screenshot.");
  if (auto status = Backstage::shared().recoveryStatus()) header.push_back("Backstage recovery: " + *status);
  if (!window.isOnScreen) {
    header.push_back(
        "This window is on another Space (desktop) the user is not looking at; it is operated there in the "
        "background.");
  }
  if (!loaded) header.push_back("The page was still loading after 5 seconds; it is shown as it was then.");
  if (Backstage::shared().isGuest(window.id)) {
    header.push_back(
        "The user's windows cover this window, so Tarnwick keeps it on an invisible display while you work in it; "
        "it renders and opens dialogs as if it were in front.");
  }
  if (auto others = otherWindows(all, window, transient); !others.empty()) {
    header.push_back("Other windows (pass window_id): " + others);
  }
  if (auto titles = menuBarTitles(app.pid); titles && !titles->empty()) {
    header.push_back("Menu bar (use select_menu_item): " + joined(*titles, ", "));
  }
  if (Apps::isProtected(app)) header.push_back("This app hosts the agents: reading only, input is refused.");
  if (auto front = Apps::frontmost(); front && front->pid == app.pid) {
    header.push_back("Note: this is the user's frontmost app; the user may be typing in it right now.");
  }
  if (app.bundleID == "com.apple.Safari" && lacksPage(tree.records())) {
    header.push_back(
        "Note: this tab shows no page content. Safari unloads heavy pages in windows that were never on screen; "
        "press_key cmd+r reloads it (unsaved input is lost), then act within seconds.");
  }
  if (tree.offscreen() > 0) {
    header.push_back(std::to_string(tree.offscreen()) +
                     " web elements scrolled out of view are not listed; scroll to reach them.");
  }
  if (tree.truncated()) {
    header.push_back("The element list was cut off; act by x/y on the screenshot, or scroll for other parts.");
  }

  std::string body;
  std::optional<std::vector<std::string>> changed;
  if (changesOnly && previous && !previous->elements.empty()) changed = tree.changedLines();
  if (changed) {
    body = "Only elements that changed are listed; all others are as in your previous state of this window and keep "
           "their indexes.\n" +
           (changed->empty() ? std::string("(no element changed)") : joined(*changed, "\n"));
    if (auto gone = tree.goneIndexes(); !gone.empty()) body += "\nGone: " + gone;
  } else {
    auto lines = tree.lines();
    body = lines.empty() ? "(no accessibility elements; act by x/y on the screenshot)" : joined(lines, "\n");
  }
  return {joined(header, "\n") + "\n\n" + body, shot.jpeg};
}
