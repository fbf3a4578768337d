#include <algorithm>
#include <chrono>
#include <thread>

#include "kit/actions/TextRepair.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/tools/Engine.hpp"

namespace {

constexpr const char* plainTextType = "text/plain;charset=utf-8";
constexpr int selectionChecks = 15;
constexpr auto selectionCheckInterval = std::chrono::milliseconds(20);
constexpr const char* notInWindow =
    "The accessible text selection is not in the requested window. Focus its text field first; no background focus "
    "events were sent.";

const std::vector<std::string> webTextRoles{"AXTextField", "AXTextArea", "AXComboBox", "AXSearchField",
                                            "AXIncrementor"};

AXElement timed(const AXElement& element) { return AX::withTimeout(element, AX::standardTimeout); }

bool isInWindow(const AXElement& element, WindowNumber window) {
  auto own = AX::attribute<AXElement>(element, "AXWindow");
  return own && AX::windowID(timed(*own)) == window;
}

std::string plainText(const std::vector<AgentSession::ClipboardItem>& items) {
  for (const auto& item : items) {
    auto text = item.find(plainTextType);
    if (text != item.end()) return std::string(text->second.begin(), text->second.end());
  }
  return {};
}

AgentSession::ClipboardItem textItem(const std::string& text) {
  return {{plainTextType, std::vector<unsigned char>(text.begin(), text.end())}};
}

}  // namespace

std::optional<AXElement> Engine::focusedElement(const Target& target) const {
  AXElement app = AX::withTimeout(AX::application(target.app.pid), AX::standardTimeout);
  if (auto focused = AX::attribute<AXElement>(app, "AXFocusedUIElement")) return timed(*focused);
  if (!target.snapshot) return std::nullopt;
  auto isText = [](const ElementRecord& record) {
    return std::find(webTextRoles.begin(), webTextRoles.end(), record.role) != webTextRoles.end();
  };
  for (const auto& [index, record] : target.snapshot->byIndex) {
    if (isText(record) && AX::attribute<bool>(timed(record.element), "AXFocused") == true) return timed(record.element);
  }
  // An app in the background may report no focus at all (GTK names it only in its active
  // window); keys then go where the agent last clicked: the smallest text field there.
  const ElementRecord* under = nullptr;
  for (const auto& [index, record] : target.snapshot->byIndex) {
    if (!isText(record) || !session->pointer || !record.frame || !record.frame->contains(*session->pointer)) continue;
    const double area = record.frame->size.width * record.frame->size.height;
    if (under == nullptr || area < under->frame->size.width * under->frame->size.height) under = &record;
  }
  if (under != nullptr) return timed(under->element);
  return std::nullopt;
}

std::optional<AXElement> Engine::privateTextElement(const Target& target) const {
  auto element = focusedElement(target);
  if (element && !isInWindow(*element, target.window.id)) throw ToolError(notInWindow);
  return element;
}

void Engine::clipboardOperation(Clipboard::Operation operation, const Target& target) {
  if (operation == Clipboard::Operation::paste) {
    const bool hasText = std::any_of(session->clipboard.begin(), session->clipboard.end(),
                                     [](const auto& item) { return item.contains(plainTextType); });
    if (!hasText) throw ToolError("The agent clipboard has no plain text to paste. The user's clipboard is not read.");
    if (!insertWithoutClipboard(plainText(session->clipboard), target, std::nullopt, {}))
      throw ToolError("This field does not support private paste through accessibility. Use type_text or set_value.");
    return;
  }
  auto element = privateTextElement(target);
  if (!element) {
    throw ToolError(
        "This selection cannot be copied privately through accessibility. Native copy/cut was not sent to the app.");
  }
  auto read = AX::attributes(*element, {"AXSelectedText", "AXSelectedTextRange"});
  const std::string* selected = read.contains("AXSelectedText") ? std::get_if<std::string>(&read["AXSelectedText"]) : nullptr;
  if (selected == nullptr || selected->empty()) {
    throw ToolError("There is no accessible selected text to copy or cut. The agent clipboard was left unchanged.");
  }
  const std::string text = *selected;
  if (operation == Clipboard::Operation::copy) {
    session->clipboard = {textItem(text)};
    return;
  }
  const TextRange* range = read.contains("AXSelectedTextRange") ? std::get_if<TextRange>(&read["AXSelectedTextRange"]) : nullptr;
  if (range == nullptr || range->location < 0 || range->length != int64_t(Text::utf16(text).size())) {
    throw ToolError("The accessible selection has no consistent text range; no cut was attempted.");
  }
  Captured captured{*element, *range, text};
  if (!insertWithoutClipboard("", target, captured, [&] { session->clipboard = {textItem(text)}; }))
    throw ToolError("This selection cannot be cut privately through accessibility.");
}

bool Engine::insertWithoutClipboard(const std::string& text, const Target& target,
                                    const std::optional<Captured>& captured, const std::function<void()>& beforeWrite) {
  auto element = focusedElement(target);
  if (!element) return false;
  if (!isInWindow(*element, target.window.id)) throw ToolError(notInWindow);
  if (captured && !(captured->element == *element))
    throw ToolError("The focused field changed after copying the selection; no cut was attempted.");
  if (!AX::isSettable(*element, "AXSelectedText")) return false;
  auto value = AX::attribute<std::string>(*element, "AXValue");
  auto range = AX::attribute<TextRange>(*element, "AXSelectedTextRange");
  std::optional<std::string> expected = value && range ? TextRepair::replacing(*value, *range, text) : std::nullopt;
  if (captured) {
    if (AX::attribute<TextRange>(*element, "AXSelectedTextRange") != captured->range ||
        AX::attribute<std::string>(*element, "AXSelectedText") != captured->text) {
      throw ToolError(
          "The selection changed after copying it; no cut was attempted. The agent clipboard was left unchanged.");
    }
  }
  if (beforeWrite) beforeWrite();
  AXStatus status = AX::set(*element, "AXSelectedText", text);
  if (status == AXError::cannotComplete)
    throw ToolError("The app did not confirm the text insertion. Check the field before retrying.");
  if (status != AXError::success) return false;
  if (expected && TextRepair::settledValue(*element, *expected) != expected) {
    throw ToolError(
        "The app accepted the text edit but reports a different result. Inspect the field before retrying; the edit "
        "was not repeated.");
  }
  return true;
}

void Engine::selectAllText(const Target& target) {
  auto element = privateTextElement(target);
  if (!element || !AX::isSettable(*element, "AXSelectedTextRange"))
    throw ToolError("Select All has no verified private text-selection path in this field. No native shortcut was sent.");
  auto value = AX::attribute<std::string>(*element, "AXValue");
  if (!value)
    throw ToolError("Select All has no verified private text-selection path in this field. No native shortcut was sent.");
  const TextRange all{0, int64_t(Text::utf16(*value).size())};
  AX::set(*element, "AXSelectedTextRange", all);
  // Browsers select in their page's process and answer with the old selection for a moment.
  auto confirmed = [&] { return AX::attribute<TextRange>(*element, "AXSelectedTextRange") == all; };
  for (int check = 0; check < selectionChecks && !confirmed(); ++check) std::this_thread::sleep_for(selectionCheckInterval);
  if (!confirmed() || AX::attribute<std::string>(*element, "AXValue") != value) {
    throw ToolError(
        "The app did not confirm Select All. Inspect its selection before retrying; no native shortcut was sent.");
  }
}
