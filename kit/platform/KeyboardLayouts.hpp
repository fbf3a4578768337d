#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Modifier bits of a key stroke.
namespace KeyModifier {
inline constexpr uint32_t shift = 1 << 0;
inline constexpr uint32_t control = 1 << 1;
inline constexpr uint32_t option = 1 << 2;  // the third-level key (AltGr) on Linux
inline constexpr uint32_t command = 1 << 3;
// Held keys of a chord on Linux: Alt (Mod1), Super, and Fn, which X11 apps never see.
inline constexpr uint32_t alt = 1 << 4;
inline constexpr uint32_t super = 1 << 5;
inline constexpr uint32_t function = 1 << 6;
}  // namespace KeyModifier

struct KeyStroke {
  uint32_t keyCode = 0;
  uint32_t modifiers = 0;
  bool operator==(const KeyStroke&) const = default;
};

// The keyboard layout in use: which key types a character, and what a key types.
class KeyboardLayouts {
 public:
  virtual ~KeyboardLayouts() = default;
  // The layout's name, as the system shows it ("English (US)").
  virtual std::string currentLayout() = 0;
  virtual std::optional<KeyStroke> keyFor(char32_t character) = 0;
  // The key of a named key ("Return", "BackSpace", "Prior", "F5", "KP_Enter", "Shift_L",
  // "XF86AudioMute": X keysym names, the vocabulary every platform maps), or none.
  virtual std::optional<KeyStroke> keyNamed(const std::string& name) = 0;
  // The characters the key types with these modifiers (UTF-8), or empty.
  virtual std::string characters(const KeyStroke& stroke) = 0;
};
