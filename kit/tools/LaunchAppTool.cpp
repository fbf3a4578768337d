#include "kit/common/PlatformTexts.hpp"
#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

Tool ToolRecords::launchApp() {
  return {.name = "launch_app",
          .description =
              "Start an app (or open a file/URL with it) in the background without bringing it to the front.",
          .properties = {{"app", ToolSchema::typed("string", PlatformTexts::launchAppDescription().data())},
                         {"open", ToolSchema::typed("string", "Optional file path or URL to open with the app.")}},
          .required = {"app"},
          .access = ToolAccess::launches,
          .run = [](const Arguments& a, Engine& engine) {
            auto app = a.string("app");
            auto open = a.optionalString("open");
            return engine.launchApp(app, open);
          }};
}
