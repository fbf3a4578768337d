#include "kit/protocol/ServerInstructions.hpp"

#include "kit/common/PlatformTexts.hpp"

const std::string& serverInstructions() {
  static const std::string text = [] {
    const std::string paragraphs[] = {
        std::string(PlatformTexts::instructionsOpening()),
        "Workflow: list_apps \u2192 get_app_state(app) \u2192 act (prefer element_index over x/y; set_value for "
        "fields, sliders, checkboxes and dropdowns; select_menu_item for menus). Every action returns the window's "
        "new state (screenshot and elements) once its effect shows and a loading page finished, so act on it "
        "directly instead of calling get_app_state. Element indexes are never reused, so several actions sent "
        "together in one turn can all use indexes from the state you started from.",
        "In a browser, work in a window of your own, never in the user's windows or tabs (a background tab cannot "
        "be seen or operated, and selecting it changes what the user sees): open one with the browser's New Window "
        "menu command (select_menu_item, e.g. \"File > New Window\"), then set_value its address field and "
        "perform_secondary_action Confirm. launch_app with a URL opens a tab in the user's window instead. The user "
        "may work in the same app meanwhile: while they type or click there, your actions wait for their pause, and "
        "their keys never reach your window.",
        "x/y are pixels of the latest screenshot of that window. Start apps with launch_app, never by activating "
        "them. Do not act in the app marked frontmost unless the user asked for it there.",
        std::string(PlatformTexts::instructionsHumanTiming()),
        "File dialogs (open/save) take only accessibility input: click their elements by index, set_value the name "
        "field, press_key Return or Escape; open files with launch_app and open instead of an open dialog. To save "
        "into a particular folder, pick it in the dialog's sidebar, or save and move the file with the shell.",
        "Clipboard shortcuts and standard English/German menu commands use a private text clipboard through "
        "accessibility and fail when the selection is unsupported. There is no global clipboard borrowing. "
        "App-specific Copy buttons, custom shortcuts and automatic clipboard writes are not virtualized; do not use "
        "those when the user's clipboard must remain unchanged." + std::string(PlatformTexts::instructionsKeys()),
        "Selected text in accessible editors with matching uniform formatting can be moved or alt-copied within the "
        "same window without the system clipboard. Other native drags (files, tabs, web draggables and unsupported "
        "rich text) may start a system drag loop; it is cancelled and reported.",
        "Ask before sending messages, purchases or other irreversible actions the user did not request.",
    };
    std::string joined;
    for (const auto& paragraph : paragraphs) {
      if (!joined.empty()) joined += '\n';
      joined += paragraph;
    }
    return joined;
  }();
  return text;
}
