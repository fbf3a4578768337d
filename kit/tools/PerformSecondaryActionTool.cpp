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
          .checkArguments = [](const Arguments& a) {
            a.place();
            a.requireInt("element_index");
            a.string("action");
          }};
}
