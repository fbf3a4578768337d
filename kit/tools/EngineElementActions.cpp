// Operations on one element that work through accessibility alone: setting values,
// selecting text, performing listed actions, menu-bar commands and the private paste.
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <set>

#include "kit/actions/Menus.hpp"
#include "kit/actions/ValueSetter.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/input/KeyChord.hpp"
#include "kit/input/Keyboard.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/perception/ElementLine.hpp"
#include "kit/perception/OpenMenus.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/Engine.hpp"

namespace {

// An action name as agents write it: without "AX", a custom action by its name.
std::string comparable(const std::string& name) {
  std::string text = Text::lowered(name);
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  return text;
}

}  // namespace

void Engine::pointAtElement(const ElementRecord& record, const Target& target) {
  const std::optional<Rect> frame = knownFrame(record);
  if (!frame) return;  // the cursor stays where it is
  travel(frame->center(), target, std::max(1.0, std::min(frame->size.width, frame->size.height)), true,
         surroundings(target));
}

ToolResult Engine::setValue(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                            const std::string& value) {
  const Target target = inputTarget(app, windowID);
  const ElementRecord record = element(elementIndex, target);
  pointAtElement(record, target);
  static const std::set<std::string> webTextRoles{"AXTextField", "AXTextArea", "AXComboBox", "AXSearchField",
                                                  "AXIncrementor"};
  if (webTextRoles.contains(record.role) && AX::isWebContent(record.element))
    return {setWebText(value, record, target), {}};
  if (record.role == "AXPopUpButton") return {setChoice(value, record, target), {}};
  return {ValueSetter::set(value, record, target.app.pid), {}};
}

std::string Engine::setWebText(const std::string& value, const ElementRecord& record, const Target& target) {
  const AXElement field = AX::withTimeout(record.element, AX::standardTimeout);
  auto reads = [&] {
    for (int read = 0; read < 25; ++read) {
      if (read > 0) Platform::clock().sleep(0.02);
      auto now = AX::value(field, "AXValue");
      if (auto text = now ? std::get_if<std::string>(&*now) : nullptr; text && *text == value) return true;
      if (auto number = now ? std::get_if<double>(&*now) : nullptr) {
        std::string written = value;
        std::replace(written.begin(), written.end(), ',', '.');
        if (Text::decimal(*number) == written) return true;
      }
    }
    return false;
  };
  auto selectAll = [&](const std::string& text) {
    AX::set(field, "AXSelectedTextRange", TextRange{0, int64_t(Text::utf16(text).size())});
  };
  AX::set(field, "AXFocused", true);
  const std::string old = AX::attribute<std::string>(field, "AXValue").value_or("");
  selectAll(old);
  if (AX::isSettable(field, "AXValue") && AX::set(field, "AXValue", value) == AXError::success && reads())
    return "Set the value.";
  // The page did not take it: typed, as a person would.
  InputLocks::withLock(target.app.pid, [&] {
    SharedKeyWindow::shared().take(session->id, target.window);
    aimKeys(target);
    selectAll(old);
    if (!old.empty()) Keyboard::press(session->id, KeyChord::parse("backspace", Keyboard::layout()), target.window, 0);
    Keyboard::type(session->id, value, target.window);
  });
  if (reads()) return "Typed the value into the field.";
  const std::string now = AX::attribute<std::string>(field, "AXValue").value_or("");
  return checkTyped(field, "Typed the value into the field", value, now, int64_t(Text::utf16(value).size()), target);
}

// Most pop-ups take the pick of an option through accessibility. Firefox's <select>
// answers it but keeps the old option: there the agent's arrow keys step to it on the
// focused pop-up, as a person's would, which also tells the page of the change. Qt's combo
// box can be neither picked in nor focused, but steps an option per click of the wheel
// over it; keys would reach another control.
std::string Engine::setChoice(const std::string& value, const ElementRecord& record, const Target& target) {
  const AXElement popUp = AX::withTimeout(record.element, AX::standardTimeout);
  Menus::Choice choice = Menus::chooseOption(value, popUp, target.app.pid);
  if (choice.shows()) return choice.reply();
  const std::vector<AXElement>& options = choice.options;
  auto position = [&](const std::string& title) -> std::optional<int> {
    for (size_t i = 0; i < options.size(); ++i)
      if (Menus::normalised(OpenMenus::itemText(options[i])) == Menus::normalised(title)) return int(i);
    return std::nullopt;
  };
  const auto wanted = position(choice.title);
  if (!wanted) return choice.reply();
  const std::function<void(bool, int)> step = focusForKeys(popUp) ? keyStepper(target) : wheelStepper(record, target);
  if (!step) return choice.reply();
  InputLocks::withLock(target.app.pid, [&] {
    SharedKeyWindow::shared().take(session->id, target.window);
    // Disabled options are skipped by each step: a second round mends the count.
    for (int round = 0; round < 3 && !choice.shows(); ++round) {
      const auto at = choice.now ? position(*choice.now) : std::nullopt;
      if (!at) break;
      step(*at < *wanted, std::abs(*wanted - *at));
      const auto before = choice.now;
      choice.now = Menus::shownAfter(popUp, choice.title);
      if (choice.now == before && round > 0) break;  // the steps do not reach it (the first may come early)
    }
  });
  return choice.reply();
}

// The focus moves after the request is answered (Firefox's pop-up, on a busy machine, after
// the first keys had gone): keys wait until the element says it has it, up to a second, as a
// pop-up in a background window may never say so.
bool Engine::focusForKeys(const AXElement& element) {
  if (AX::set(element, "AXFocused", true) != AXError::success) return false;
  for (int poll = 0; poll < 50 && AX::attribute<bool>(element, "AXFocused") != true; ++poll)
    Platform::clock().sleep(0.02);
  return true;
}

std::function<void(bool, int)> Engine::keyStepper(const Target& target) {
  return [this, target](bool down, int count) {
    aimKeys(target);
    const KeyChord key = KeyChord::parse(down ? "down" : "up", Keyboard::layout());
    for (int press = 0; press < count; ++press) Keyboard::press(session->id, key, target.window, 0);
  };
}

// None when the pop-up's middle is not where the agent's wheel would reach it.
std::function<void(bool, int)> Engine::wheelStepper(const ElementRecord& record, const Target& target) {
  const std::optional<Point> centre = visibleCentre(record, target);
  if (!centre) return {};
  const Point point = *centre;
  const Surroundings around = surroundings(target);
  if (isCovered(point, target, around)) return {};
  const WindowInfo receiver = windowAt(point, target, around);
  return [this, point, receiver](bool down, int count) {
    for (int click = 0; click < count && Pointer::reaches(receiver, point); ++click) {
      Pointer::scroll(session->id, point, receiver, {0, down ? -AgentEvent::wheelClick : AgentEvent::wheelClick});
      Platform::clock().sleep(0.02);
    }
  };
}

ToolResult Engine::selectText(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                              const std::string& text, const std::string& prefix, const std::string& suffix,
                              const std::string& mode) {
  const Target target = inputTarget(app, windowID);
  const ElementRecord record = element(elementIndex, target);
  const AXElement field = AX::withTimeout(record.element, AX::standardTimeout);
  auto value = AX::attribute<std::string>(field, "AXValue");
  if (!value) throw ToolError("Element " + std::to_string(elementIndex) + " has no readable text.");
  // Offsets count UTF-16 units, as text ranges do.
  const std::u16string whole = Text::utf16(*value), before = Text::utf16(prefix), wanted = Text::utf16(text);
  const size_t found = whole.find(before + wanted + Text::utf16(suffix));
  if (found == std::u16string::npos)
    throw ToolError("\"" + text + "\" was not found in element " + std::to_string(elementIndex) + ".");
  const int64_t start = int64_t(found + before.size()), length = int64_t(wanted.size());
  const TextRange range = mode == "cursor_before"  ? TextRange{start, 0}
                          : mode == "cursor_after" ? TextRange{start + length, 0}
                                                   : TextRange{start, length};
  pointAtElement(record, target);
  AX::set(field, "AXFocused", true);
  AXStatus status = AX::set(field, "AXSelectedTextRange", range);
  if (status != AXError::success) throw ToolError("Could not select: " + AX::message(status) + ".");
  if (mode == "cursor_before" || mode == "cursor_after")
    return {"Placed the caret " + std::string(mode == "cursor_before" ? "before" : "after") + " \"" + text + "\".", {}};
  return {"Selected \"" + text + "\".", {}};
}

ToolResult Engine::performAction(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                                 const std::string& action) {
  const Target target = inputTarget(app, windowID);
  const ElementRecord record = element(elementIndex, target);
  const AXElement element = AX::withTimeout(record.element, AX::standardTimeout);
  const auto names = AX::actions(element);
  const std::string key = comparable(action);
  auto matching = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
    return comparable(ElementLine::actionName(name)) == key || Text::lowered(name) == Text::lowered(action);
  });
  const std::string index = std::to_string(elementIndex);
  if (matching == names.end()) {
    std::string available;
    for (const auto& name : names) available += (available.empty() ? "" : ", ") + ElementLine::actionName(name);
    throw ToolError("Element " + index + " has no action \"" + action + "\". Available: " + available + ".");
  }
  const std::string name = ElementLine::actionName(*matching);
  pointAtElement(record, target);
  AXStatus status = AX::perform(element, *matching);
  if (AX::acted(status))
    return {"Performed " + name + " on [" + index + "].", {}};
  if (vanishes(element, target.window)) {
    return {"The desktop reported that " + name + " on [" + index + "] failed (" + AX::message(status) +
                "), but the element no longer exists, so the action probably ran (for example by closing a dialog). "
                "It was not retried. Call get_app_state to check the result before acting again.",
            {}};
  }
  throw ToolError("Performed " + name + " on [" + index + "] failed: " + AX::message(status) + ".");
}

bool Engine::vanishes(const AXElement& element, const WindowInfo& window) {
  Clock& clock = Platform::clock();
  const double until = clock.now() + 2.0;
  while (true) {
    if (AX::roleStatus(element) == AXError::invalidElement) return true;
    auto now = Apps::window(window.id);
    if (!now || !now->isOnScreen) return true;
    if (clock.now() >= until) return false;
    clock.sleep(0.05);
  }
}

ToolResult Engine::selectMenuItem(const std::string& app, std::optional<WindowNumber> windowID,
                                  const std::string& path) {
  const RunningApp found = Apps::resolve(app);
  if (found.pid == getpid())
    throw ToolError("Tarnwick cannot operate its own windows. Ask the user to use the Tarnwick window directly.");
  const Target target = inputTarget(app, windowID);
  ToolResult result;
  InputLocks::withLock(found.pid, [&] {
    // Commands act on the app's key window, and toolkits enable the edit commands only
    // while their window has the keyboard: the agent's keyboard, not the user's.
    SharedKeyWindow::shared().take(session->id, target.window);
    aimKeys(target);
    const auto pieces = Menus::pathPieces(path);
    if (auto operation = Clipboard::operation(pieces)) {
      if (!Clipboard::supportsText(pieces)) {
        throw ToolError(
            "This clipboard menu command is not a standard text operation and cannot be performed privately.");
      }
      clipboardOperation(*operation, target);
      result = {"Handled the clipboard command through accessibility using the agent's private text clipboard.", {}};
      return;
    }
    // Select All goes the private way too: apps enable theirs only for the user's keyboard.
    if (Clipboard::isSelectAll(pieces)) {
      selectAllText(target);
      result = {"Selected all text of the focused field through accessibility.", {}};
      return;
    }
    result = {Menus::select(path, found.pid), {}};
  });
  return result;
}

ToolResult Engine::paste(const std::string& app, std::optional<WindowNumber> windowID, const std::string& text,
                         const std::string& format) {
  constexpr const char* noPath =
      "This field or format has no private paste path. The system clipboard was not changed. Use type_text or "
      "set_value for text; HTML and file paste require app support.";
  if (Text::lowered(format) != "text") throw ToolError(noPath);
  const Target target = inputTarget(app, windowID);
  bool inserted = false;
  InputLocks::withLock(target.app.pid, [&] {
    // The app names its focused field only while its window has a keyboard.
    SharedKeyWindow::shared().take(session->id, target.window);
    aimKeys(target);
    inserted = insertWithoutClipboard(text, target, std::nullopt, {});
  });
  if (!inserted) throw ToolError(noPath);
  return {"Inserted text at the caret through accessibility without using the system clipboard.", {}};
}
