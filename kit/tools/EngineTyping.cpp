#include <algorithm>

#include "kit/actions/TextRepair.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/input/Keyboard.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "kit/tools/Engine.hpp"

namespace {

constexpr const char* notArrived = "The text did not arrive in the focused element. Click the field first, or use set_value.";

bool isTextRole(const std::optional<std::string>& role) {
  static const std::vector<std::string> roles{"AXTextField", "AXTextArea", "AXComboBox", "AXSearchField"};
  return role && std::find(roles.begin(), roles.end(), *role) != roles.end();
}

}  // namespace

TextRepair::Typist Engine::typist(const Target& target) {
  return {[this, target](const std::string& text) { Keyboard::type(session->id, text, target.window); },
          [this, target] {
            KeyChord backspace{Keyboard::layout().keyNamed("BackSpace").value_or(KeyStroke{}).keyCode, {}};
            Keyboard::press(session->id, backspace, target.window, 0);
          }};
}

std::string Engine::checkTyped(const AXElement& focused, const std::string& done, const std::string& expected,
                               const std::string& valueNow, int64_t caret, const Target& target) {
  const std::optional<std::string> settled = TextRepair::settledText(focused);
  const std::string actual = settled.value_or(valueNow);
  if (actual == expected) return done + ".";
  std::optional<std::vector<TextRepair::Edit>> edits;
  if (settled) edits = TextRepair::edits(actual, expected);
  if (edits && !edits->empty()) {
    bool repaired = false;
    InputLocks::withLock(target.app.pid, [&] {
      SharedKeyWindow::shared().take(session->id, target.window);
      aimKeys(target);
      repaired = TextRepair::apply(*edits, focused, expected, caret, typist(target));
    });
    if (repaired) {
      const std::string places = edits->size() == 1 ? "a word" : std::to_string(edits->size()) + " places";
      return done + ". Autocorrect had changed " + places +
             "; those letters were typed again, so the field holds exactly the text. Do not press Escape in it: that "
             "would bring the correction back.";
    }
  }
  const std::string reads = AX::attribute<std::string>(focused, "AXValue").value_or(actual);
  return done + ", but the field reads " + TextRepair::quoted(reads, 300) + " instead of " +
         TextRepair::quoted(expected, 300) +
         ": autocorrect, AutoFill or the page changed it. Retyping the whole text changes it the same way; fix only "
         "the differing words with select_text and type_text.";
}

ToolResult Engine::typeText(const std::string& app, std::optional<WindowNumber> windowID, const std::string& text) {
  const Target target = inputTarget(app, windowID);
  const std::string count = std::to_string(Text::characterCount(text));
  if (Apps::isRemotePanel(target.window)) return panelType(text, target);
  if (text.empty()) return {"Typed 0 characters.", {}};
  std::optional<AXElement> focused;
  std::optional<std::string> before;
  std::optional<TextRange> range;
  InputLocks::withLock(target.app.pid, [&] {
    SharedKeyWindow::shared().take(session->id, target.window);
    aimKeys(target);
    focused = focusedElement(target);
    for (int tries = 0; !focused && tries < 10; ++tries) {  // the app hears of the keyboard's focus a moment later
      Platform::clock().sleep(0.03);
      focused = focusedElement(target);
    }
    if (focused) {
      before = AX::attribute<std::string>(*focused, "AXValue");
      range = AX::attribute<TextRange>(*focused, "AXSelectedTextRange");
    }
    Keyboard::type(session->id, text, target.window);
  });
  Platform::clock().sleep(0.15);

  const std::string typed = "Typed " + count + " characters";
  if (!focused) {
    return {typed + ", but the app reports no focused element, so they may have gone nowhere. Click the field and "
                    "check with get_app_state.",
            {}};
  }
  const std::optional<std::string> now = AX::attribute<std::string>(*focused, "AXValue");
  if (!before || !now) return {typed + ".", {}};
  if (*now == *before) {
    if (before->empty())
      return {typed + ". The focused element does not expose its text; check the screenshot of get_app_state.", {}};
    if (!AX::isSettable(*focused, "AXSelectedText") || AX::set(*focused, "AXSelectedText", text) != AXError::success)
      throw ToolError(notArrived);
    if (AX::attribute<std::string>(*focused, "AXValue") == before) throw ToolError(notArrived);
    return {"Inserted " + count + " characters at the caret.", {}};
  }
  const std::optional<std::string> expected = range ? TextRepair::replacing(*before, *range, text) : std::nullopt;
  if (!expected || *now == *expected || !isTextRole(AX::attribute<std::string>(*focused, "AXRole")))
    return {typed + ".", {}};
  const int64_t caret = range->location + int64_t(Text::utf16(text).size());
  return {checkTyped(*focused, typed, *expected, *now, caret, target), {}};
}

ToolResult Engine::panelType(const std::string& text, const Target& target) {
  AXElement app = AX::withTimeout(AX::application(target.app.pid), AX::standardTimeout);
  auto focused = AX::attribute<AXElement>(app, "AXFocusedUIElement");
  if (focused) {
    AXElement field = AX::withTimeout(*focused, AX::standardTimeout);
    if (AX::isSettable(field, "AXSelectedText") && AX::set(field, "AXSelectedText", text) == AXError::success)
      return {"Inserted " + std::to_string(Text::characterCount(text)) + " characters.", {}};
  }
  throw ToolError("No text field of the file dialog has focus. Use set_value on the field instead.");
}
