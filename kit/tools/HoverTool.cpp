#include "kit/common/PlatformTexts.hpp"
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
          .checkArguments = [](const Arguments& a) {
            a.place();
            a.spot();
          }};
}
