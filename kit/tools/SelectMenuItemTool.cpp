#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::selectMenuItem() {
  return {.name = "select_menu_item",
          .description = "Choose an item from the app's menu bar by path, e.g. \"File > Export\u2026\" or \"Format > "
                         "Font > Bold\". Works while the app is in the background. Pass window_id so the command acts "
                         "on that window.",
          .properties = {{"app", S::app()}, {"window_id", S::windowID()}, {"path", S::typed("string")}},
          .required = {"app", "path"},
          .mayNavigate = [](const Arguments&) { return true; },
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            return engine.selectMenuItem(place.app, place.windowID, a.string("path"));
          }};
}
