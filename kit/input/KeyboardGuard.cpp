#include "kit/input/KeyboardGuard.hpp"

#include "kit/input/KeyChord.hpp"
#include "kit/input/Keyboard.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/OpenMenus.hpp"
#include "kit/platform/Desktop.hpp"

namespace KeyboardGuard {
namespace {

constexpr int checks = 8;
constexpr double beforeEachCheck = 0.04;
constexpr int attempts = 3;
constexpr int checksAfterAttempt = 10;
constexpr double betweenChecksAfterAttempt = 0.03;

std::string note(const std::string& titles) {
  std::string text = "A menu opened and was closed again at once, because an open menu takes the user's keyboard.";
  if (!titles.empty()) text += " Its items were: " + titles + ".";
  return text +
         " To pick an item, repeat the click with menu_item set to the item's title (dropdowns: set_value; menu bar: "
         "select_menu_item).";
}

void pressEscape(const RunningApp& app, AgentInput::Agent agent) {
  auto windows = Apps::windows(app, true);
  auto window = std::find_if(windows.begin(), windows.end(), [](const WindowInfo& w) { return w.layer == 0; });
  if (window == windows.end()) return;
  Keyboard::press(agent, KeyChord::parse("Escape", Keyboard::layout()), *window, 0);
  SharedKeyWindow::shared().release(agent, app.pid);
}

}  // namespace

std::optional<std::string> release(const RunningApp& from, AgentInput::Agent agent) {
  auto desktop = Platform::desktopIfAny();
  AgentInput* input = desktop ? desktop->input() : nullptr;
  if (input == nullptr || from.pid <= 0 || desktop->windowServer().frontProcess() == from.pid) return std::nullopt;
  Clock& clock = desktop->clock();
  auto holds = [&] { return input->heldByApp(agent, from.pid); };
  for (int check = 0; check < checks; ++check) {
    clock.sleep(beforeEachCheck);
    if (!holds()) return std::nullopt;
  }
  const auto menus = OpenMenus::elements(from.pid);
  const std::string titles = OpenMenus::titles(OpenMenus::items(menus));
  for (int attempt = 0; attempt < attempts && holds(); ++attempt) {
    if (attempt == 0) {
      for (const auto& menu : menus) AX::perform(menu, "AXCancel");
    } else {
      try {
        pressEscape(from, agent);
      } catch (const std::exception&) {
        return note(titles);  // no keyboard to press with: nothing more to try
      }
    }
    for (int check = 0; check < checksAfterAttempt && holds(); ++check) clock.sleep(betweenChecksAfterAttempt);
  }
  return note(titles);
}

}  // namespace KeyboardGuard
