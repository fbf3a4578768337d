#include <algorithm>

#include "kit/common/ToolError.hpp"
#include "kit/input/InputLocks.hpp"
#include "kit/input/Keyboard.hpp"
#include "kit/input/Pointer.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "kit/tools/Engine.hpp"

namespace {

constexpr const char* fileDialogKeys =
    "Only Return and Escape work in a file dialog. No keys in this sequence were sent. This is a file dialog; it runs "
    "in a system service that takes no pointer or keyboard events from Tarnwick, only accessibility. Use plain left "
    "clicks on elements (sidebar places, buttons), set_value for the name or search field, and press_key Return or "
    "Escape. To open a file, prefer launch_app with open set to its path.";

std::string stopped(size_t done, size_t count, const std::string& why) {
  return "Key sequence stopped: " + std::to_string(done) + " of " + std::to_string(count) +
         " chords completed before chord " + std::to_string(done + 1) +
         " failed. The failing chord may have partially applied; inspect state before retrying. " + why;
}

// The dialog's default or cancel button: the one it names, else one found by its title.
std::optional<AXElement> dialogButton(const AXElement& window, bool confirm) {
  if (auto named = AX::attribute<AXElement>(window, confirm ? "AXDefaultButton" : "AXCancelButton")) return named;
  static const std::vector<std::string> confirms{"save",      "open",       "choose", "export",     "sichern",
                                                 "speichern", "öffnen", "auswählen", "exportieren"};
  static const std::vector<std::string> cancels{"cancel", "abbrechen"};
  const auto& titles = confirm ? confirms : cancels;
  std::vector<AXElement> queue{window};
  for (size_t next = 0; next < queue.size() && next < 2000; ++next) {
    const AXElement& element = queue[next];
    if (AX::attribute<std::string>(element, "AXRole") == "AXButton") {
      std::string title = AX::attribute<std::string>(element, "AXTitle").value_or("");
      std::transform(title.begin(), title.end(), title.begin(), [](unsigned char c) { return std::tolower(c); });
      if (std::find(titles.begin(), titles.end(), title) != titles.end() &&
          AX::attribute<bool>(element, "AXEnabled").value_or(true))
        return element;
    }
    for (const auto& child : AX::children(element)) queue.push_back(AX::withTimeout(child, AX::standardTimeout));
  }
  return std::nullopt;
}

}  // namespace

void Engine::aimKeys(const Target& target) {
  sentInput_ = true;
  const Surroundings around = surroundings(target);
  auto usable = [&](Point point) { return target.window.frame.contains(point) && !isCovered(point, target, around); };
  std::optional<Point> point;
  if (session->pointer && usable(*session->pointer)) point = session->pointer;
  else if (usable(target.window.frame.center())) point = target.window.frame.center();
  // Keys go to the window whatever the pointer does; resting the agent's pointer on it
  // lets the platform aim them by the pointer, which no window manager notices.
  if (point) {
    Pointer::move(session->id, *point, target.window);
    session->pointer = point;
  }
  if (AgentInput* input = Platform::desktop().input()) input->focusKeys(session->id, target.app.pid);
}

ToolResult Engine::pressKey(const std::string& app, std::optional<WindowNumber> windowID, const std::string& key,
                            double hold) {
  KeyboardLayouts& keys = Keyboard::layout();
  const std::vector<KeyChord> chords = Clipboard::validatedChords(key, keys);
  const Target target = inputTarget(app, windowID);
  if (Apps::isRemotePanel(target.window)) return panelKeys(chords, key, target);
  InputLocks::withLock(target.app.pid, [&] {
    // The app's focused element is known once the agent's keyboard is on its window.
    SharedKeyWindow::shared().take(session->id, target.window);
    aimKeys(target);
    for (size_t i = 0; i < chords.size(); ++i) {
      const KeyChord& chord = chords[i];
      try {
        if (auto operation = Clipboard::candidate(chord, keys); operation && chord.flags() == KeyModifier::control) {
          clipboardOperation(*operation, target);
        } else if (Clipboard::isSelectAll(chord, keys)) {
          selectAllText(target);
        } else {
          SharedKeyWindow::shared().take(session->id, target.window);
          Keyboard::press(session->id, chord, target.window, hold);
        }
      } catch (const ToolError& error) {
        throw ToolError(stopped(i, chords.size(), error.what()));
      }
      Platform::clock().sleep(0.04);
    }
  });
  return {"Pressed " + key + ".", {}};
}

ToolResult Engine::panelKeys(const std::vector<KeyChord>& chords, const std::string& key, const Target& target) {
  KeyboardLayouts& keys = Keyboard::layout();
  const auto returnKey = keys.keyNamed("Return"), enterKey = keys.keyNamed("KP_Enter"),
             escapeKey = keys.keyNamed("Escape");
  auto is = [](const KeyChord& chord, const std::optional<KeyStroke>& stroke) {
    return stroke && chord.keyCode == stroke->keyCode;
  };
  for (const KeyChord& chord : chords) {
    if (!chord.modifiers.empty() || !(is(chord, returnKey) || is(chord, enterKey) || is(chord, escapeKey)))
      throw ToolError(fileDialogKeys);
  }
  auto window = Apps::axWindow(target.window);
  if (!window) throw ToolError("The file dialog window was not found. Call get_app_state again.");
  for (size_t i = 0; i < chords.size(); ++i) {
    const bool confirm = !is(chords[i], escapeKey);
    auto button = dialogButton(AX::withTimeout(*window, AX::standardTimeout), confirm);
    if (!button) {
      throw ToolError(stopped(i, chords.size(),
                              std::string("The file dialog has no ") + (confirm ? "default" : "cancel") +
                                  " button right now."));
    }
    AXStatus status = AX::perform(*button, "AXPress");
    if (!AX::acted(status))
      throw ToolError(stopped(i, chords.size(), "Could not press the button: " + AX::message(status) + "."));
  }
  return {"Pressed " + key + ".", {}};
}
