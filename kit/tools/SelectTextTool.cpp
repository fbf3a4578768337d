#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::selectText() {
  return {.name = "select_text",
          .description = "Select text inside an editable element, or put the caret before or after it.",
          .properties = {{"app", S::app()},
                         {"window_id", S::windowID()},
                         {"element_index", S::elementIndex()},
                         {"text", S::typed("string")},
                         {"prefix", S::typed("string", "Text right before the target, to pick among repeats.")},
                         {"suffix", S::typed("string", "Text right after the target.")},
                         {"selection_type", S::enumerated({"text", "cursor_before", "cursor_after"})}},
          .required = {"app", "element_index", "text"},
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            const int64_t index = a.requireInt("element_index");
            const std::string text = a.string("text");
            return engine.selectText(place.app, place.windowID, index, text, a.optionalString("prefix").value_or(""),
                                     a.optionalString("suffix").value_or(""),
                                     a.optionalString("selection_type").value_or("text"));
          }};
}
