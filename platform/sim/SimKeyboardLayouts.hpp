#pragma once
#include <string_view>

#include "kit/platform/KeyboardLayouts.hpp"

// A US keyboard: each printable ASCII character on one key, with or without Shift.
class SimKeyboardLayouts : public KeyboardLayouts {
 public:
  std::string currentLayout() override { return "English (US)"; }
  std::optional<KeyStroke> keyFor(char32_t character) override;
  std::string characters(const KeyStroke& stroke) override;
  // Return, Tab, BackSpace, arrows, F1-F12 and the modifier keys; not the keypad.
  std::optional<KeyStroke> keyNamed(const std::string& name) override;

  static constexpr uint32_t firstNamed = 100;
  // The code of a named key, or 0.
  static uint32_t namedCode(std::string_view name);
};
