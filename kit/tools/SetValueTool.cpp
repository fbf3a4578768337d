#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::setValue() {
  return {.name = "set_value",
          .description = "Set an element directly: text of a field, number of a slider or stepper, true/false of a "
                         "checkbox/radio/switch, or the option title of a pop-up menu, dropdown or combo box.",
          .properties = {{"app", S::app()},
                         {"window_id", S::windowID()},
                         {"element_index", S::elementIndex()},
                         {"value", S::typed("string")}},
          .required = {"app", "element_index", "value"},
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            const int64_t index = a.requireInt("element_index");
            return engine.setValue(place.app, place.windowID, index, a.string("value"));
          }};
}
