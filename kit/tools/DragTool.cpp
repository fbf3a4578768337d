#include "kit/common/ToolError.hpp"
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

void readArguments(const Arguments& a) {
  if (a.has("to_app") && !a.optionalString("to_app")) {
    throw ToolError("to_app must name a destination app; no drag was started.");
  }
  a.place();
  for (const char* name : {"from_x", "from_y", "to_x", "to_y"}) {
    if (!a.doubleValue(name)) throw ToolError(std::string("Missing number \"") + name + "\".");
  }
  a.points("path");
  parseMouseButton(a.optionalString("mouse_button"));
  a.optionalString("key");
  a.doubleValue("duration");
  a.optionalString("to_app");
  a.validWindowID("to_window_id");
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
          .checkArguments = readArguments};
}
