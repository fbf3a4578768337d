#include <algorithm>
#include <cwctype>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/input/PauseClock.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/platform/Desktop.hpp"

namespace {

constexpr double pauseAfterUser = 0.8;
constexpr double pauseInWord = 10;
constexpr double patience = 120;  // the user typing on for two minutes ends the wait with an error

bool isFront(Desktop& desktop, pid_t pid) {
  auto front = desktop.windowServer().frontProcess();
  if (!front) front = desktop.workspace().frontmostApplication();
  return front && *front == pid;
}

}  // namespace

void SharedKeyWindow::waitForUserPause(pid_t pid) {
  Desktop& desktop = Platform::desktop();
  AgentInput* input = desktop.input();
  if (input == nullptr) return;
  Clock& clock = desktop.clock();
  const double start = clock.now();
  while (isFront(desktop, pid)) {
    double idle = input->userIdleSeconds();
    if (idle >= pauseAfterUser && !input->secureInputEnabled() && (idle >= pauseInWord || !caretEndsWord(pid))) break;
    if (clock.now() - start > patience) {
      PauseClock::add(clock.now() - start);
      throw ToolError("The user has kept typing in this app for two minutes, so the agent's input waited and gave "
                      "up. Try again when the user pauses.");
    }
    double remaining = pauseAfterUser - idle;
    clock.sleep(remaining >= 0.2 ? 0.2 : std::max(remaining, 0.02));
  }
  PauseClock::add(clock.now() - start);
}

bool SharedKeyWindow::caretEndsWord(pid_t pid) {
  Accessibility& ax = Platform::desktop().accessibility();
  AXElement app = ax.application(pid);
  app.timeout = 1.5;
  auto [status, focused] = ax.copyAttribute(app, "AXFocusedUIElement");
  const auto* element = std::get_if<AXElement>(&focused);
  if (status != AXError::success || element == nullptr) return false;
  AXElement field = *element;
  field.timeout = 1.5;
  auto [rangeStatus, rangeValue] = ax.copyAttribute(field, "AXSelectedTextRange");
  const auto* range = std::get_if<TextRange>(&rangeValue);
  if (rangeStatus != AXError::success || range == nullptr || range->length != 0 || range->location < 1) return false;
  auto [valueStatus, value] = ax.copyAttribute(field, "AXValue");
  const auto* text = std::get_if<std::string>(&value);
  if (valueStatus != AXError::success || text == nullptr) return false;
  std::u16string units = Text::utf16(*text);
  if (static_cast<size_t>(range->location) > units.size()) return false;
  char16_t before = units[static_cast<size_t>(range->location) - 1];
  if (before >= 0xD800 && before <= 0xDFFF) return false;
  return std::iswalnum(static_cast<wint_t>(before)) != 0;
}
