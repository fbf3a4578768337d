#include "kit/actions/Menus.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/tools/Engine.hpp"
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
      .run = [](const Arguments& a, Engine& engine) {
        auto place = a.place();
        auto spot = a.spot();
        MouseButton button = parseMouseButton(a.optionalString("mouse_button"));
        int64_t count = a.optionalInt("click_count").value_or(1);
        int clicks = count < 2 ? 1 : count > 2 ? 3 : 2;
        auto keys = a.optionalString("key");
        double hold = a.doubleValue("duration").value_or(0);
        auto menuItem = a.optionalString("menu_item");
        Engine::Target target = engine.inputTarget(place.app, place.windowID);
        if (menuItem && !target.window.isOnScreen && Apps::isOnAnotherSpace(target.window)) {
          throw ToolError(
              "Menus that a window on another Space opens stay on that Space, where accessibility cannot read them, "
              "so menu_item works only for windows on the user's current Space. Use set_value for dropdowns, "
              "select_menu_item for the menu bar, or keyboard shortcuts.");
        }
        ToolResult result =
            engine.performClick(target, spot.elementIndex, spot.x, spot.y, button, clicks, keys, hold);
        if (menuItem) {
          // A menu button may show its menu as a popover of its own rather than a menu.
          std::optional<AXElement> clicked;
          if (spot.elementIndex) clicked = engine.element(*spot.elementIndex, target).element;
          else if (spot.x && spot.y) clicked = AX::elementAt(target.app.pid, engine.screenPoint(*spot.x, *spot.y, target));
          result.text += " " + Menus::pickFromOpenMenu(*menuItem, target.app.pid, clicked);
        }
        return result;
      }};
}
