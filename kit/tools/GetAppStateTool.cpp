#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

Tool ToolRecords::getAppState() {
  return {.name = "get_app_state",
          .description = "Screenshot of one app window (with its open menus and popovers) plus its accessibility "
                         "elements with indexes, after a loading page finished. Call it before the first action in a "
                         "window; every action returns this state afterwards by itself.",
          .properties = {{"app", ToolSchema::app()}, {"window_id", ToolSchema::windowID()}},
          .required = {"app"},
          .access = ToolAccess::observes,
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            return engine.getAppState(place.app, place.windowID, false);
          }};
}
