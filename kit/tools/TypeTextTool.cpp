#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::typeText() {
  return {.name = "type_text",
          .description = "Type text into the app's focused element (click the field first). Newlines press Return, "
                         "tabs press Tab.",
          .properties = {{"app", S::app()}, {"window_id", S::windowID()}, {"text", S::typed("string")}},
          .required = {"app", "text"},
          // A newline presses Return, which may submit a form.
          .mayNavigate = [](const Arguments& a) {
            auto text = a.optionalString("text");
            return text && text->find('\n') != std::string::npos;
          },
          .run = [](const Arguments& a, Engine& engine) {
            auto place = a.place();
            return engine.typeText(place.app, place.windowID, a.string("text"));
          }};
}
