#include "kit/perception/AppStateReport.hpp"

#include <algorithm>

#include "kit/perception/AX.hpp"
#include "kit/perception/AccessibilityPreparation.hpp"
#include "kit/perception/AccessibilityTree.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/Capture.hpp"
#include "kit/perception/Pages.hpp"
#include "kit/perception/Spaces.hpp"
#include "kit/platform/Desktop.hpp"

namespace AppStateReport {
namespace {

bool isListedIn(const std::vector<WindowInfo>& windows, WindowNumber id) {
  return std::any_of(windows.begin(), windows.end(), [&](const WindowInfo& w) { return w.id == id; });
}

std::string otherWindows(const std::vector<WindowInfo>& all, const WindowInfo& reported,
                         const std::vector<WindowInfo>& transient) {
  const auto visible = Spaces::visible();
  std::string entries;
  for (const auto& window : all) {
    if (window.pid != reported.pid || window.id == reported.id || window.layer != 0 || window.frame.size.width <= 40) {
      continue;
    }
    if (isListedIn(transient, window.id)) continue;
    std::string entry = std::to_string(window.id) + " \"" + window.title + "\"";
    if (!window.isOnScreen) {
      if (window.title.empty() || !Spaces::isOnHiddenSpace(window.id, visible)) continue;
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

bool lacksPage(const std::vector<ElementRecord>& records) {
  auto has = [&](const char* role) {
    return std::any_of(records.begin(), records.end(), [&](const ElementRecord& r) { return r.role == role; });
  };
  return has("AXTabGroup") && !has("AXWebArea");
}

// The display the window is on, else the main display.
Rect screenBounds(const WindowInfo& window) {
  auto desktop = Platform::desktopIfAny();
  auto displays = desktop ? desktop->windowServer().displays() : std::vector<DisplayInfo>{};
  for (const auto& display : displays) {
    if (display.frame.contains(window.frame.center())) return display.frame;
  }
  for (const auto& display : displays) {
    if (display.isMain) return display.frame;
  }
  return window.frame;
}

std::vector<std::string> header(const RunningApp& app, const WindowInfo& window, const Shot& shot, bool loaded,
                                bool pageShown, const StageNotes& stage, const std::vector<WindowInfo>& all,
                                const std::vector<WindowInfo>& transient, const AccessibilityTree& tree) {
  std::vector<std::string> lines;
  lines.push_back("App: " + (app.name.empty() ? std::string("?") : app.name) + " (" +
                  (app.bundleID.empty() ? std::string("?") : app.bundleID) + ", pid " + std::to_string(app.pid) + ")");
  lines.push_back("Window " + std::to_string(window.id) + ": \"" + window.title + "\". Screenshot " +
                  std::to_string(shot.width) + "x" + std::to_string(shot.height) +
                  " px; x/y in tools are pixels of this screenshot.");
  if (stage.recoveryStatus) lines.push_back("Backstage recovery: " + *stage.recoveryStatus);
  if (!window.isOnScreen) {
    lines.push_back(
        "This window is on another Space (desktop) the user is not looking at; it is operated there in the "
        "background.");
  }
  if (!loaded) lines.push_back("The page was still loading after 5 seconds; it is shown as it was then.");
  if (!pageShown) {
    lines.push_back(
        "Note: this app shows its web content to accessibility only when started for it, so no page element is "
        "listed. Act by x/y on the screenshot, or quit it and start it with launch_app, which switches web content "
        "on.");
  }
  if (stage.isGuest) {
    lines.push_back(
        "The user's windows cover this window, so Tarnwick keeps it on an invisible display while you work in it; "
        "it renders and opens dialogs as if it were in front.");
  }
  if (auto others = otherWindows(all, window, transient); !others.empty()) {
    lines.push_back("Other windows (pass window_id): " + others);
  }
  if (auto titles = Apps::menuBarTitles(app.pid); titles && !titles->empty()) {
    lines.push_back("Menu bar (use select_menu_item): " + joined(*titles, ", "));
  }
  if (Apps::isProtected(app)) lines.push_back("This app hosts the agents: reading only, input is refused.");
  if (auto front = Apps::frontmost(); front && front->pid == app.pid) {
    lines.push_back("Note: this is the user's frontmost app; the user may be typing in it right now.");
  }
  if (app.bundleID == "com.apple.Safari" && lacksPage(tree.records())) {
    lines.push_back(
        "Note: this tab shows no page content. Safari unloads heavy pages in windows that were never on screen; "
        "press_key cmd+r reloads it (unsaved input is lost), then act within seconds.");
  }
  if (tree.offscreen() > 0) {
    lines.push_back(std::to_string(tree.offscreen()) +
                    " web elements scrolled out of view are not listed; scroll to reach them.");
  }
  if (tree.truncated()) {
    lines.push_back("The element list was cut off; act by x/y on the screenshot, or scroll for other parts.");
  }
  return lines;
}

// Why nothing is listed: an app that does not answer is not an app without controls.
std::string emptyListing(pid_t pid) {
  if (AX::roleStatus(AX::withTimeout(AX::application(pid), AX::deadlineTimeout)) == AXError::cannotComplete) {
    return "(no accessibility elements: " + AX::message(AXError::cannotComplete) + "; act by x/y on the screenshot)";
  }
  return "(no accessibility elements; act by x/y on the screenshot)";
}

std::string body(const AccessibilityTree& tree, bool changesOnly, const SnapshotRef& previous, pid_t pid) {
  std::optional<std::vector<std::string>> changed;
  if (changesOnly && previous && !previous->elements.empty()) changed = tree.changedLines();
  if (changed) {
    std::string text =
        "Only elements that changed are listed; all others are as in your previous state of this window and keep "
        "their indexes.\n" +
        (changed->empty() ? std::string("(no element changed)") : joined(*changed, "\n"));
    if (auto gone = tree.goneIndexes(); !gone.empty()) text += "\nGone: " + gone;
    return text;
  }
  auto lines = tree.lines();
  return lines.empty() ? emptyListing(pid) : joined(lines, "\n");
}

}  // namespace

StateReport read(const RunningApp& app, const WindowInfo& window, bool changesOnly, const SnapshotRef& previous,
                 int64_t nextElementIndex, const StageNotes& stage) {
  const bool loaded = Pages::waitForLoad(window);
  const bool pageShown = AccessibilityPreparation::prepare(app, window);

  const auto all = Apps::frontToBack();
  const auto transient = Apps::transientWindows(all, window, Apps::standardWindowIDs(app));
  Rect area = window.frame;
  for (const auto& each : transient) area = unite(area, each.frame);
  area = intersect(area, screenBounds(window)).value_or(area);
  std::vector<WindowInfo> drawn{window};
  drawn.insert(drawn.end(), transient.begin(), transient.end());
  // Taken while the tree is read.
  Capture::PendingShot pending = Capture::start(drawn, area);

  const AXElement appElement = AX::application(app.pid);
  const auto listed = AX::attribute<std::vector<AXElement>>(appElement, "AXWindows").value_or(std::vector<AXElement>{});
  const auto focused = AX::attribute<AXElement>(appElement, "AXFocusedUIElement");
  AccessibilityTree tree(area, [&pending](Point p) { return pending.toImage(p); }, pending.scale, focused, previous,
                         nextElementIndex);
  struct ReadAhead {
    ~ReadAhead() { AX::endReadAhead(); }
  } readingAhead;
  auto visitRoot = [&](const AXElement& root) {
    if (tree.wasSeen(root)) return;
    AX::readAhead(root);
    tree.visit(root, 0, "", false, false);
  };
  if (auto element = Apps::windowOrSheetElement(window)) visitRoot(*element);
  for (const auto& element : listed) {
    auto number = AX::windowID(element);
    if (number && isListedIn(transient, *number)) visitRoot(element);
  }
  for (const auto& child : AX::children(appElement)) {
    if (AX::attribute<std::string>(child, "AXRole") == "AXMenu") visitRoot(child);
  }

  const Shot shot = pending.wait();
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->window = window;
  snapshot->origin = area.origin;
  snapshot->scale = shot.scale;
  snapshot->elements = tree.elements();
  for (const auto& entry : snapshot->elements) snapshot->byIndex.insert_or_assign(entry.index, entry.record);

  const auto lines = header(app, window, shot, loaded, pageShown, stage, all, transient, tree);
  return {joined(lines, "\n") + "\n\n" + body(tree, changesOnly, previous, app.pid), shot.jpeg, snapshot,
          tree.nextIndex()};
}

}  // namespace AppStateReport
