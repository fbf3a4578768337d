#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class KeyboardLayouts;

// One key with the modifiers held for it, in the order they go down. On Linux cmd and
// command press Control, the key Linux apps use for their shortcuts; super, meta and win
// name the Super key.
struct KeyChord {
  uint32_t keyCode = 0;
  std::vector<uint32_t> modifiers;  // KeyModifier bits, one each, without repetitions

  uint32_t flags() const;
  bool operator==(const KeyChord&) const = default;

  // Parses "ctrl+shift+Tab", "Page_Down", "?" or "cmd++"; fails with a ToolError.
  static KeyChord parse(const std::string& text, KeyboardLayouts& layout);
  // The KeyModifier bit a name stands for ("Shift_L", "ctrl_r" and "CMD" included), or none.
  static std::optional<uint32_t> modifier(const std::string& name);
  // The key that holds a modifier, in the layout; none for Fn, which X11 apps never see.
  static std::optional<uint32_t> modifierKey(uint32_t modifier, KeyboardLayouts& layout);
  // The KeyModifier bits of a mask, one each, in the order their keys go down.
  static std::vector<uint32_t> modifiersIn(uint32_t mask);
  // The modifiers held by a "shift+alt"-style text; fails with a ToolError naming an unknown piece.
  static uint32_t heldModifiers(const std::string& keys);
  // The key a named key ("Return", "page_up", "F5") stands for, by its platform name.
  static std::optional<std::string> namedKey(const std::string& name);
  // The character a symbol name ("period", "braceleft") stands for.
  static std::optional<std::string> symbol(const std::string& name);
};
