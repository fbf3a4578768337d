#include "kit/common/PlatformTexts.hpp"
#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::paste() {
  return {.name = "paste",
          .description = std::string(PlatformTexts::pasteDescription()),
          .properties = {{"app", S::app()},
                         {"window_id", S::windowID()},
                         {"text", S::typed("string", "Text, HTML, or newline-separated file paths.")},
                         {"format", S::enumerated({"text", "html", "files"})}},
          .required = {"app", "text"},
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            const std::string text = a.string("text");
            return engine.paste(place.app, place.windowID, text, a.optionalString("format").value_or("text"));
          }};
}
