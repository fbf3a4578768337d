#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::performSecondaryAction() {
  return {.name = "perform_secondary_action",
          .description = "Run an accessibility action listed for an element, e.g. ShowMenu (context menu), "
                         "Increment, Decrement, Raise, Cancel, Confirm, Pick.",
          .properties = {{"app", S::app()},
                         {"window_id", S::windowID()},
                         {"element_index", S::elementIndex()},
                         {"action", S::typed("string")}},
          .required = {"app", "element_index", "action"},
          .mayNavigate = [](const Arguments&) { return true; },
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            const int64_t index = a.requireInt("element_index");
            return engine.performAction(place.app, place.windowID, index, a.string("action"));
          }};
}
