#include "kit/tools/MouseButton.hpp"
#include "kit/tools/ToolRecords.hpp"
#include "kit/tools/ToolSchema.hpp"

namespace S = ToolSchema;

Tool ToolRecords::click() {
  return {
      .name = "click",
      .description = "Click an element (by index, preferred) or a screenshot pixel. Supports right/middle button, "
                     "double/triple click, held modifier keys and long press.",
      .properties = {{"app", S::app()},
                     {"window_id", S::windowID()},
                     {"element_index", S::elementIndex()},
                     {"x", S::x()},
                     {"y", S::y()},
                     {"mouse_button", S::mouseButton()},
                     {"click_count", S::typed("integer", "1 to 3.")},
                     {"key", S::typed("string", "Modifiers to hold during the click, e.g. cmd or shift+alt.")},
                     {"duration", S::typed("number", "Seconds to hold the button down (long press).")},
                     {"menu_item",
                      S::typed("string",
                               "Title of the item to choose in the menu this click opens (context menus, menu "
                               "buttons); submenus as \"Transformations > Make Upper Case\". Open menus are closed "
                               "after each call because they take the user's keyboard, so choose in the same call.")}},
      .required = {"app"},
      .mayNavigate = [](const Arguments&) { return true; },
      .checkArguments = [](const Arguments& a) {
        a.place();
        a.spot();
        parseMouseButton(a.optionalString("mouse_button"));
        a.optionalInt("click_count");
        a.optionalString("key");
        a.doubleValue("duration");
        a.optionalString("menu_item");
      }};
}
