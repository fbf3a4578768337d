#include "platform/sim/SimKeyboardLayouts.hpp"

#include <string_view>

namespace {

// Key codes are positions in these rows: the plain character, then the shifted one.
constexpr std::string_view plain = "`1234567890-=qwertyuiop[]\\asdfghjkl;'zxcvbnm,./ ";
constexpr std::string_view shifted = "~!@#$%^&*()_+QWERTYUIOP{}|ASDFGHJKL:\"ZXCVBNM<>? ";

}  // namespace

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
