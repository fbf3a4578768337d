#include "kit/common/PlatformTexts.hpp"
#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::hover() {
  return {.name = "hover",
          .description = std::string(PlatformTexts::hoverDescription()),
          .properties = {{"app", S::app()},
                         {"window_id", S::windowID()},
                         {"element_index", S::elementIndex()},
                         {"x", S::x()},
                         {"y", S::y()}},
          .required = {"app"},
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            auto spot = a.spot();
            return engine.hover(engine.inputTarget(place.app, place.windowID), spot.elementIndex, spot.x, spot.y);
          }};
}
