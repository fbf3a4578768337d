#include <algorithm>

#include "kit/common/ToolError.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/input/KeyChord.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/ElementLine.hpp"
#include "kit/tools/Engine.hpp"

namespace {

constexpr const char* outsideWindow =
    "That point is outside the window; if you clicked an element, it moved: call get_app_state again.";
constexpr const char* fileDialogRule =
    "This is a file dialog; it runs in a system service that takes no pointer or keyboard events from Tarnwick, "
    "only accessibility. Use plain left clicks on elements (sidebar places, buttons), set_value for the name or "
    "search field, and press_key Return or Escape. To open a file, prefer launch_app with open set to its path.";

bool has(const std::vector<std::string>& list, const char* item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// What a plain click does through accessibility, as a function to run; none when only
// a pointer click will do.
struct AccessibilityClick {
  std::string what;  // "AXPress", "AXFocused", ...
  std::function<AXStatus()> run;
};

std::optional<AccessibilityClick> accessibilityClick(const ElementRecord& record) {
  AXElement element = AX::withTimeout(record.element, AX::standardTimeout);
  static const std::vector<std::string> fields{"AXTextField", "AXTextArea", "AXComboBox", "AXSearchField"};
  if (has(record.actions, "AXPress")) return AccessibilityClick{"AXPress", [=] { return AX::perform(element, "AXPress"); }};
  if (std::find(fields.begin(), fields.end(), record.role) != fields.end())
    return AccessibilityClick{"AXFocused", [=] { return AX::set(element, "AXFocused", true); }};
  if (has(record.actions, "AXPick")) return AccessibilityClick{"AXPick", [=] { return AX::perform(element, "AXPick"); }};
  if ((record.role == "AXRow" || record.role == "AXCell") && AX::isSettable(element, "AXSelected"))
    return AccessibilityClick{"AXSelected", [=] { return AX::set(element, "AXSelected", true); }};
  return std::nullopt;
}

std::string verb(MouseButton button, int count) {
  if (count == 2) return "Double-clicked";
  if (count == 3) return "Triple-clicked";
  switch (button) {
    case MouseButton::left: return "Clicked";
    case MouseButton::right: return "Right-clicked";
    case MouseButton::middle: return "Middle-clicked";
  }
  return "Clicked";
}

std::string named(int64_t index, const ElementRecord& record) {
  std::string label = record.label.empty() ? ElementLine::roleName(record.role, "") : record.label;
  return "[" + std::to_string(index) + "] " + label;
}

// Whether a press at the point lands on the element: the point is inside its current
// frame and nothing of another app lies over it.
bool isHitTarget(const ElementRecord& record, Point point, const WindowInfo& window) {
  auto frame = AX::frame(AX::withTimeout(record.element, AX::standardTimeout));
  return window.frame.contains(point) && frame && frame->contains(point) && Pointer::reaches(window, point);
}

void checkInsideWindow(const Engine::Target& target, Point point, const Engine::Surroundings& around) {
  Rect grown{{target.window.frame.origin.x - 1, target.window.frame.origin.y - 1},
             {target.window.frame.size.width + 2, target.window.frame.size.height + 2}};
  if (!grown.contains(point) && around.transients.empty()) throw ToolError(outsideWindow);
}

}  // namespace

ToolResult Engine::performClick(const Target& target, std::optional<int64_t> elementIndex, std::optional<double> x,
                                std::optional<double> y, MouseButton button, int count,
                                const std::optional<std::string>& keys, double hold) {
  const uint32_t modifiers = keys ? KeyChord::heldModifiers(*keys) : 0;
  const bool plain = button == MouseButton::left && count <= 1 && modifiers == 0 && hold <= 0;
  if (Apps::isRemotePanel(target.window) && !plain) throw ToolError(fileDialogRule);

  const Surroundings around = surroundings(target);
  auto covered = [&](Point point) { return isCovered(point, target, around); };
  auto pointerClick = [&](Point point, double size) {
    checkInsideWindow(target, point, around);
    travel(point, target, size, true, around);
    InputLocks::withLock(target.app.pid, [&] {
      SharedKeyWindow::shared().take(session->id, target.window);
      Pointer::click(session->id, point, windowAt(point, target, around), button, count, modifiers, hold);
    });
  };

  if (!elementIndex) {
    if (!x || !y) throw ToolError("Pass element_index, or x and y.");
    Point point = screenPoint(*x, *y, target);
    if (covered(point)) throw ToolError(Pointer::coveredMessage);
    pointerClick(point, 24);
    return {verb(button, count) + " at that point.", {}};
  }

  const int64_t index = *elementIndex;
  ElementRecord record = element(index, target);
  const Rect frame = elementFrame(record);
  const Point point = frame.center();
  const double size = std::min(frame.size.width, frame.size.height);
  const bool contextMenu = button == MouseButton::right && count <= 1 && modifiers == 0 && has(record.actions, "AXShowMenu");

  std::optional<AccessibilityClick> action;
  bool web = AX::isWebContent(record.element) && isHitTarget(record, point, target.window);
  if (!web) {
    if (plain) action = accessibilityClick(record);
    else if (contextMenu) action = AccessibilityClick{"AXShowMenu", [&] { return AX::perform(AX::withTimeout(record.element, AX::standardTimeout), "AXShowMenu"); }};
  }
  // A covered point would give the press to the covering window: press through
  // accessibility where the element allows it.
  if (!action && covered(point)) {
    if (plain) action = accessibilityClick(record);
    if (!action) throw ToolError(Pointer::coveredMessage);
  }
  if (action) {
    travel(point, target, size, true, around);
    AXStatus status = action->run();
    if (!AX::acted(status))
      throw ToolError("Could not click element " + std::to_string(index) + ": " + AX::message(status) + ".");
    std::string done = action->what == "AXShowMenu" ? "Opened the context menu of" : "Clicked";
    return {done + " " + named(index, record) + ".", {}};
  }
  pointerClick(point, size);
  return {verb(button, count) + " " + named(index, record) + ".", {}};
}

ToolResult Engine::hover(const Target& target, std::optional<int64_t> elementIndex, std::optional<double> x,
                         std::optional<double> y) {
  Point point;
  if (elementIndex) {
    point = elementFrame(element(*elementIndex, target)).center();
  } else {
    if (!x || !y) throw ToolError("Pass element_index, or x and y.");
    point = screenPoint(*x, *y, target);
  }
  travel(point, target, 24, false, surroundings(target));
  return {"Moved the cursor there. Many apps show hover effects for it; some views react only to the real mouse, "
          "so check get_app_state and use clicks or the keyboard if nothing appeared.",
          {}};
}
