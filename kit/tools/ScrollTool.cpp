#include "kit/tools/Engine.hpp"
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
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            auto spot = a.spot();
            const std::string direction = a.string("direction");
            const double pages = a.doubleValue("pages").value_or(1);
            return engine.scroll(place.app, place.windowID, spot.elementIndex, spot.x, spot.y, direction, pages);
          }};
}
