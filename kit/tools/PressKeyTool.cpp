#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::pressKey() {
  return {.name = "press_key",
          .description = "Press a key or chord such as Return, Escape, Tab, cmd+s, ctrl+shift+Tab, Page_Down, F5. "
                         "Several chords separated by spaces are pressed in order.",
          .properties = {{"app", S::app()},
                         {"window_id", S::windowID()},
                         {"key", S::typed("string")},
                         {"duration", S::typed("number", "Seconds to hold the key.")}},
          .required = {"app", "key"},
          .mayNavigate = [](const Arguments&) { return true; },
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            const std::string key = a.string("key");
            const double hold = a.doubleValue("duration").value_or(0);
            return engine.pressKey(place.app, place.windowID, key, hold);
          }};
}
