#include "platform/sim/SimKeyboardLayouts.hpp"

#include <string_view>

namespace {

// Key codes are positions in these rows: the plain character, then the shifted one.
constexpr std::string_view plain = "`1234567890-=qwertyuiop[]\\asdfghjkl;'zxcvbnm,./ ";
constexpr std::string_view shifted = "~!@#$%^&*()_+QWERTYUIOP{}|ASDFGHJKL:\"ZXCVBNM<>? ";

// Named keys have codes from 100 on, in this order.
constexpr std::string_view named[] = {
    "Return", "Tab", "space", "BackSpace", "Escape", "Delete", "Home", "End", "Prior", "Next", "Left", "Right",
    "Down", "Up", "KP_Enter", "Insert", "Caps_Lock", "Shift_L", "Control_L", "Alt_L", "Super_L",
    "ISO_Level3_Shift", "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"};

}  // namespace

uint32_t SimKeyboardLayouts::namedCode(std::string_view name) {
  for (size_t i = 0; i < std::size(named); ++i)
    if (named[i] == name) return static_cast<uint32_t>(firstNamed + i);
  return 0;
}

std::optional<KeyStroke> SimKeyboardLayouts::keyNamed(const std::string& name) {
  if (uint32_t code = namedCode(name)) return KeyStroke{code, 0};
  return std::nullopt;
}

std::optional<KeyStroke> SimKeyboardLayouts::keyFor(char32_t character) {
  if (character > 0x7f) return std::nullopt;
  const char c = static_cast<char>(character);
  if (auto at = plain.find(c); at != std::string_view::npos) return KeyStroke{static_cast<uint32_t>(at), 0};
  if (auto at = shifted.find(c); at != std::string_view::npos) {
    return KeyStroke{static_cast<uint32_t>(at), KeyModifier::shift};
  }
  return std::nullopt;
}

std::string SimKeyboardLayouts::characters(const KeyStroke& stroke) {
  if (stroke.keyCode >= plain.size()) return "";
  if (stroke.modifiers == 0) return std::string(1, plain[stroke.keyCode]);
  if (stroke.modifiers == KeyModifier::shift) return std::string(1, shifted[stroke.keyCode]);
  return "";
}
