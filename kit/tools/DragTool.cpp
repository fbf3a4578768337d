#include "kit/common/ToolError.hpp"
#include "kit/tools/Engine.hpp"
#include "kit/tools/MouseButton.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

namespace {

Json properties() {
  return {{"app", S::app()},
          {"window_id", S::windowID()},
          {"from_x", S::x()},
          {"from_y", S::y()},
          {"to_x", S::x()},
          {"to_y", S::y()},
          {"to_app", S::typed("string",
                              "Optional destination app for a verified accessible text move/copy. Read both windows "
                              "with get_app_state first; to_x/to_y refer to the destination screenshot. No generic "
                              "cross-window system drag.")},
          {"to_window_id", S::typed("integer",
                                    "Optional destination window ID, including a second window of the source app. "
                                    "Read that window first.")},
          {"path", {{"type", "array"},
                    {"items", {{"type", "array"}, {"items", {{"type", "number"}}}, {"minItems", 2}, {"maxItems", 2}}},
                    {"description", "Optional [x, y] screenshot pixels to pass through between from and to, in order."}}},
          {"mouse_button", S::mouseButton()},
          {"key", S::typed("string", "Modifiers to hold during the drag.")},
          {"duration", S::typed("number", "Seconds for the movement; default is the natural speed of a hand.")}};
}

double requiredNumber(const Arguments& a, const char* name) {
  auto value = a.doubleValue(name);
  if (!value) throw ToolError(std::string("Missing number \"") + name + "\".");
  return *value;
}

Engine::DragRequest readArguments(const Arguments& a) {
  if (a.has("to_app") && !a.optionalString("to_app")) {
    throw ToolError("to_app must name a destination app; no drag was started.");
  }
  auto place = a.place();
  Engine::DragRequest request;
  request.app = place.app;
  request.windowID = place.windowID;
  request.from = {requiredNumber(a, "from_x"), requiredNumber(a, "from_y")};
  request.to = {requiredNumber(a, "to_x"), requiredNumber(a, "to_y")};
  for (auto [x, y] : a.points("path")) request.through.push_back({x, y});
  request.button = parseMouseButton(a.optionalString("mouse_button"));
  request.keys = a.optionalString("key");
  request.duration = a.doubleValue("duration");
  request.toApp = a.optionalString("to_app");
  request.toWindowID = a.validWindowID("to_window_id");
  return request;
}

}  // namespace

Tool ToolRecords::drag() {
  return {.name = "drag",
          .description =
              "Press, move and release between two screenshot pixels: sliders, canvases, selections, reordering, "
              "resizing inside the window. Selected text in compatible accessible editors moves through a verified "
              "private text adapter; hold alt to copy. Unmodified left drags between tab bodies in an ungrouped, "
              "unpinned Chrome tab strip use verified native tab-reorder commands. With path, the pointer draws a "
              "smooth pen stroke through the given points (signatures, sketches, curved paths).",
          .properties = properties(),
          .required = {"app", "from_x", "from_y", "to_x", "to_y"},
          .mayNavigate = [](const Arguments&) { return true; },
          .run = [](const Arguments& a, Engine& engine) { return engine.drag(readArguments(a)); }};
}
