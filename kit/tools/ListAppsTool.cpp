#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"

Tool ToolRecords::listApps() {
  return {.name = "list_apps",
          .description = "List running apps and their windows. The app marked frontmost is where the user is working.",
          .properties = Json::object(),
          .required = Json::array(),
          .access = ToolAccess::observes,
          .run = [](const Arguments&, Engine& engine) { return engine.listApps(); }};
}
