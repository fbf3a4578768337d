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
          .checkArguments = [](const Arguments& a) {
            a.place();
            a.requireInt("element_index");
            a.string("text");
            a.optionalString("prefix");
            a.optionalString("suffix");
            a.optionalString("selection_type");
          }};
}
