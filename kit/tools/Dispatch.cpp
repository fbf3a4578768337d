#include <algorithm>

#include "kit/common/Text.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/tools/PlatformTexts.hpp"
#include "kit/tools/ToolError.hpp"
#include "kit/tools/Tools.hpp"

namespace Tools {
namespace {

int clampedClickCount(std::optional<int64_t> count) {
  int64_t value = count.value_or(1);
  return value < 2 ? 1 : value > 2 ? 3 : 2;
}

ToolResult click(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto elementIndex = a.optionalInt("element_index");
  auto x = a.doubleValue("x");
  auto y = a.doubleValue("y");
  auto button = parseMouseButton(a.optionalString("mouse_button"));
  int count = clampedClickCount(a.optionalInt("click_count"));
  auto keys = a.optionalString("key");
  double hold = a.doubleValue("duration").value_or(0);
  auto menuItem = a.optionalString("menu_item");

  auto target = engine.inputTarget(app, windowID);
  if (menuItem && !engine.isOnCurrentSpace(target.window)) {
    throw ToolError(
        "Menus that a window on another Space opens stay on that Space, where accessibility cannot read them, so "
        "menu_item works only for windows on the user's current Space. Use set_value for dropdowns, select_menu_item "
        "for the menu bar, or keyboard shortcuts.");
  }
  ToolResult result = engine.performClick(target, elementIndex, x, y, button, count, keys, hold);
  if (menuItem) result.text.append(" ").append(engine.pickFromOpenMenu(*menuItem, target.app.pid));
  return result;
}

ToolResult hover(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto elementIndex = a.optionalInt("element_index");
  auto x = a.doubleValue("x");
  auto y = a.doubleValue("y");

  auto target = engine.inputTarget(app, windowID);
  Point point;
  if (elementIndex) {
    auto frame = engine.elementFrame(*elementIndex, target);
    if (!frame) throw ToolError("The element has no position on screen.");
    point = frame->center();
  } else {
    if (!x || !y) throw ToolError("Pass element_index, or x and y.");
    point = engine.screenPoint(*x, *y, target);
  }
  engine.travel(point, target, 24, false);
  return {std::string(PlatformTexts::hoverResult()), std::nullopt};
}

ToolResult drag(const Arguments& a, Engine& engine) {
  if (a.has("to_app") && !a.optionalString("to_app")) {
    throw ToolError("to_app must name a destination app; no drag was started.");
  }
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto required = [&](const char* name) {
    auto value = a.doubleValue(name);
    if (!value) throw ToolError(std::string("Missing number \"") + name + "\".");
    return *value;
  };
  double fromX = required("from_x");
  double fromY = required("from_y");
  double toX = required("to_x");
  double toY = required("to_y");
  auto path = a.points("path");
  auto button = parseMouseButton(a.optionalString("mouse_button"));
  auto keys = a.optionalString("key");
  auto duration = a.doubleValue("duration");
  auto toApp = a.optionalString("to_app");
  auto toWindowID = a.validWindowID("to_window_id");
  return engine.drag(app, windowID, {fromX, fromY}, {toX, toY}, path, button, keys, duration, toApp, toWindowID);
}

ToolResult scroll(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto elementIndex = a.optionalInt("element_index");
  auto x = a.doubleValue("x");
  auto y = a.doubleValue("y");
  auto direction = a.string("direction");
  double pages = a.doubleValue("pages").value_or(1);
  return engine.scroll(app, windowID, elementIndex, x, y, direction, pages);
}

ToolResult typeText(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto text = a.string("text");
  return engine.typeText(app, windowID, text);
}

ToolResult pressKey(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto key = a.string("key");
  double hold = a.doubleValue("duration").value_or(0);
  auto chords = engine.validateChords(key);  // before the target app is touched

  auto target = engine.inputTarget(app, windowID);
  if (engine.isRemotePanel(target.window)) return engine.panelKeys(chords, key, target);
  InputLocks::withLock(target.app.pid, [&] { engine.pressKey(chords, hold, target); });
  return {"Pressed " + key + ".", std::nullopt};
}

ToolResult setValue(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto elementIndex = a.requireInt("element_index");
  auto value = a.string("value");

  auto target = engine.inputTarget(app, windowID);
  if (auto frame = engine.elementFrame(elementIndex, target)) {
    engine.travel(frame->center(), target, std::min(frame->size.width, frame->size.height), true);
  }
  return engine.setValue(value, elementIndex, target);
}

ToolResult selectText(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto elementIndex = a.requireInt("element_index");
  auto text = a.string("text");
  auto prefix = a.optionalString("prefix");
  auto suffix = a.optionalString("suffix");
  auto mode = a.optionalString("selection_type").value_or("text");
  return engine.selectText(app, windowID, elementIndex, text, prefix, suffix, mode);
}

ToolResult performSecondaryAction(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto elementIndex = a.requireInt("element_index");
  auto action = a.string("action");
  return engine.performAction(app, windowID, elementIndex, action);
}

ToolResult selectMenuItem(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto path = a.string("path");
  return engine.selectMenuItem(app, windowID, path);
}

ToolResult paste(const Arguments& a, Engine& engine) {
  auto app = a.string("app");
  auto windowID = a.windowID();
  auto text = a.string("text");
  auto format = a.optionalString("format").value_or("text");

  auto target = engine.inputTarget(app, windowID);
  bool inserted = Text::lowered(format) == "text" &&
                  InputLocks::withLock(target.app.pid, [&] { return engine.paste(text, target); });
  if (!inserted) {
    throw ToolError(
        "This field or format has no private paste path. The system clipboard was not changed. Use type_text or "
        "set_value for text; HTML and file paste require app support.");
  }
  return {"Inserted text at the caret through accessibility without using the system clipboard.", std::nullopt};
}

ToolResult run(const std::string& name, const Arguments& a, Engine& engine) {
  if (name == "list_apps") return engine.listApps();
  if (name == "launch_app") {
    auto app = a.string("app");
    auto open = a.optionalString("open");
    return engine.launchApp(app, open);
  }
  if (name == "get_app_state") {
    auto app = a.string("app");
    auto windowID = a.windowID();
    return engine.getAppState(app, windowID, false);
  }
  if (name == "click") return click(a, engine);
  if (name == "hover") return hover(a, engine);
  if (name == "drag") return drag(a, engine);
  if (name == "scroll") return scroll(a, engine);
  if (name == "type_text") return typeText(a, engine);
  if (name == "press_key") return pressKey(a, engine);
  if (name == "set_value") return setValue(a, engine);
  if (name == "select_text") return selectText(a, engine);
  if (name == "perform_secondary_action") return performSecondaryAction(a, engine);
  if (name == "select_menu_item") return selectMenuItem(a, engine);
  if (name == "paste") return paste(a, engine);
  throw ToolError("Unknown tool " + name + ".");
}

}  // namespace

ToolResult dispatch(const std::string& name, const Arguments& arguments, Engine& engine) {
  try {
    return run(name, arguments, engine);
  } catch (const NotBuilt&) {
    throw ToolError(name + " is not available in this version of Tarnwick yet.");
  }
}

bool mayNavigate(const std::string& name, const Arguments& arguments) {
  if (name == "click" || name == "perform_secondary_action" || name == "press_key" || name == "select_menu_item") {
    return true;
  }
  if (name == "type_text") {
    auto text = arguments.optionalString("text");
    return text && text->find('\n') != std::string::npos;
  }
  return false;
}

}  // namespace Tools
