#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::scroll() {
  return {.name = "scroll",
          .description = "Scroll at an element, a pixel, or the window center.",
          .properties = {{"app", S::app()},
                         {"window_id", S::windowID()},
                         {"element_index", S::elementIndex()},
                         {"x", S::x()},
                         {"y", S::y()},
                         {"direction", S::enumerated({"up", "down", "left", "right"})},
                         {"pages", S::typed("number", "How far, in visible pages (default 1, fractions allowed).")}},
          .required = {"app", "direction"},
          .checkArguments = [](const Arguments& a) {
            a.place();
            a.spot();
            a.string("direction");
            a.doubleValue("pages");
          }};
}
