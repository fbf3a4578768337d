#include "kit/tools/ToolSchema.hpp"

namespace ToolSchema {

Json typed(const char* type, const char* description) {
  Json schema{{"type", type}};
  if (description != nullptr) schema["description"] = description;
  return schema;
}

Json enumerated(std::initializer_list<const char*> cases) {
  Json values = Json::array();
  for (const char* value : cases) values.push_back(value);
  return Json{{"type", "string"}, {"enum", values}};
}

Json app() { return typed("string", "App name, bundle id or pid, from list_apps."); }

Json windowID() {
  return typed("integer",
               "Optional window id from get_app_state or list_apps; defaults to the window of the latest app state, "
               "else the app's main window.");
}

Json elementIndex() {
  return typed("integer",
               "Element index from an app state of this app (get_app_state or the state an action returned).");
}

Json x() { return typed("number", "X in pixels of the latest screenshot of this window."); }
Json y() { return typed("number", "Y in pixels of the latest screenshot of this window."); }
Json mouseButton() { return enumerated({"left", "right", "middle"}); }

}  // namespace ToolSchema
