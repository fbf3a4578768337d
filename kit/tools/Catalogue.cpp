#include "kit/tools/Catalogue.hpp"

#include "kit/tools/PlatformTexts.hpp"

namespace Tools {
namespace {

Json typed(const char* type, const char* description = nullptr) {
  Json schema{{"type", type}};
  if (description != nullptr) schema["description"] = description;
  return schema;
}

Json enumerated(std::initializer_list<const char*> cases) {
  Json values = Json::array();
  for (const char* value : cases) values.push_back(value);
  return Json{{"type", "string"}, {"enum", values}};
}

struct Shared {
  Json app = typed("string", "App name, bundle id or pid, from list_apps.");
  Json windowID = typed(
      "integer",
      "Optional window id from get_app_state or list_apps; defaults to the window of the latest app state, else the "
      "app's main window.");
  Json elementIndex =
      typed("integer", "Element index from an app state of this app (get_app_state or the state an action returned).");
  Json x = typed("number", "X in pixels of the latest screenshot of this window.");
  Json y = typed("number", "Y in pixels of the latest screenshot of this window.");
  Json mouseButton = enumerated({"left", "right", "middle"});
};

Json entry(const char* name, std::string_view description, Json properties, Json required) {
  if (properties.is_null()) properties = Json::object();
  return Json{{"name", name},
              {"description", description},
              {"inputSchema", {{"type", "object"}, {"properties", std::move(properties)}, {"required", std::move(required)}}},
              {"annotations", {{"readOnlyHint", observingTools().contains(name)}}}};
}

Json build() {
  const Shared s;
  Json tools = Json::array();
  tools.push_back(entry("list_apps",
                        "List running apps and their windows. The app marked frontmost is where the user is working.",
                        Json::object(), Json::array()));
  tools.push_back(entry(
      "launch_app", "Start an app (or open a file/URL with it) in the background without bringing it to the front.",
      {{"app", typed("string", PlatformTexts::launchAppDescription().data())},
       {"open", typed("string", "Optional file path or URL to open with the app.")}},
      {"app"}));
  tools.push_back(entry("get_app_state",
                        "Screenshot of one app window (with its open menus and popovers) plus its accessibility "
                        "elements with indexes, after a loading page finished. Call it before the first action in a "
                        "window; every action returns this state afterwards by itself.",
                        {{"app", s.app}, {"window_id", s.windowID}}, {"app"}));
  tools.push_back(entry(
      "click",
      "Click an element (by index, preferred) or a screenshot pixel. Supports right/middle button, double/triple "
      "click, held modifier keys and long press.",
      {{"app", s.app},
       {"window_id", s.windowID},
       {"element_index", s.elementIndex},
       {"x", s.x},
       {"y", s.y},
       {"mouse_button", s.mouseButton},
       {"click_count", typed("integer", "1 to 3.")},
       {"key", typed("string", "Modifiers to hold during the click, e.g. cmd or shift+alt.")},
       {"duration", typed("number", "Seconds to hold the button down (long press).")},
       {"menu_item",
        typed("string",
              "Title of the item to choose in the menu this click opens (context menus, menu buttons); submenus as "
              "\"Transformations > Make Upper Case\". Open menus are closed after each call because they take the "
              "user's keyboard, so choose in the same call.")}},
      {"app"}));
  tools.push_back(entry("hover", PlatformTexts::hoverDescription(),
                        {{"app", s.app}, {"window_id", s.windowID}, {"element_index", s.elementIndex}, {"x", s.x}, {"y", s.y}},
                        {"app"}));
  tools.push_back(entry(
      "drag",
      "Press, move and release between two screenshot pixels: sliders, canvases, selections, reordering, resizing "
      "inside the window. Selected text in compatible accessible editors moves through a verified private text "
      "adapter; hold alt to copy. Unmodified left drags between tab bodies in an ungrouped, unpinned Chrome tab strip "
      "use verified native tab-reorder commands. With path, the pointer draws a smooth pen stroke through the given "
      "points (signatures, sketches, curved paths).",
      {{"app", s.app},
       {"window_id", s.windowID},
       {"from_x", s.x},
       {"from_y", s.y},
       {"to_x", s.x},
       {"to_y", s.y},
       {"to_app", typed("string",
                        "Optional destination app for a verified accessible text move/copy. Read both windows with "
                        "get_app_state first; to_x/to_y refer to the destination screenshot. No generic cross-window "
                        "system drag.")},
       {"to_window_id", typed("integer",
                              "Optional destination window ID, including a second window of the source app. Read that "
                              "window first.")},
       {"path", {{"type", "array"},
                 {"items", {{"type", "array"}, {"items", {{"type", "number"}}}, {"minItems", 2}, {"maxItems", 2}}},
                 {"description", "Optional [x, y] screenshot pixels to pass through between from and to, in order."}}},
       {"mouse_button", s.mouseButton},
       {"key", typed("string", "Modifiers to hold during the drag.")},
       {"duration", typed("number", "Seconds for the movement; default is the natural speed of a hand.")}},
      {"app", "from_x", "from_y", "to_x", "to_y"}));
  tools.push_back(entry("scroll", "Scroll at an element, a pixel, or the window center.",
                        {{"app", s.app},
                         {"window_id", s.windowID},
                         {"element_index", s.elementIndex},
                         {"x", s.x},
                         {"y", s.y},
                         {"direction", enumerated({"up", "down", "left", "right"})},
                         {"pages", typed("number", "How far, in visible pages (default 1, fractions allowed).")}},
                        {"app", "direction"}));
  tools.push_back(entry("type_text",
                        "Type text into the app's focused element (click the field first). Newlines press Return, "
                        "tabs press Tab.",
                        {{"app", s.app}, {"window_id", s.windowID}, {"text", typed("string")}}, {"app", "text"}));
  tools.push_back(entry("press_key",
                        "Press a key or chord such as Return, Escape, Tab, cmd+s, ctrl+shift+Tab, Page_Down, F5. "
                        "Several chords separated by spaces are pressed in order.",
                        {{"app", s.app},
                         {"window_id", s.windowID},
                         {"key", typed("string")},
                         {"duration", typed("number", "Seconds to hold the key.")}},
                        {"app", "key"}));
  tools.push_back(entry("set_value",
                        "Set an element directly: text of a field, number of a slider or stepper, true/false of a "
                        "checkbox/radio/switch, or the option title of a pop-up menu, dropdown or combo box.",
                        {{"app", s.app}, {"window_id", s.windowID}, {"element_index", s.elementIndex}, {"value", typed("string")}},
                        {"app", "element_index", "value"}));
  tools.push_back(entry("select_text", "Select text inside an editable element, or put the caret before or after it.",
                        {{"app", s.app},
                         {"window_id", s.windowID},
                         {"element_index", s.elementIndex},
                         {"text", typed("string")},
                         {"prefix", typed("string", "Text right before the target, to pick among repeats.")},
                         {"suffix", typed("string", "Text right after the target.")},
                         {"selection_type", enumerated({"text", "cursor_before", "cursor_after"})}},
                        {"app", "element_index", "text"}));
  tools.push_back(entry("perform_secondary_action",
                        "Run an accessibility action listed for an element, e.g. ShowMenu (context menu), Increment, "
                        "Decrement, Raise, Cancel, Confirm, Pick.",
                        {{"app", s.app}, {"window_id", s.windowID}, {"element_index", s.elementIndex}, {"action", typed("string")}},
                        {"app", "element_index", "action"}));
  tools.push_back(entry("select_menu_item",
                        "Choose an item from the app's menu bar by path, e.g. \"File > Export\u2026\" or \"Format > "
                        "Font > Bold\". Works while the app is in the background. Pass window_id so the command acts "
                        "on that window.",
                        {{"app", s.app}, {"window_id", s.windowID}, {"path", typed("string")}}, {"app", "path"}));
  tools.push_back(entry("paste", PlatformTexts::pasteDescription(),
                        {{"app", s.app},
                         {"window_id", s.windowID},
                         {"text", typed("string", "Text, HTML, or newline-separated file paths.")},
                         {"format", enumerated({"text", "html", "files"})}},
                        {"app", "text"}));
  return tools;
}

}  // namespace

const std::set<std::string>& observingTools() {
  static const std::set<std::string> names{"list_apps", "get_app_state"};
  return names;
}

const std::set<std::string>& readOnlyTools() {
  static const std::set<std::string> names{"list_apps", "get_app_state", "launch_app"};
  return names;
}

const Json& definitions() {
  static const Json catalogue = build();  // thread-safe once-only initialisation
  return catalogue;
}

}  // namespace Tools
