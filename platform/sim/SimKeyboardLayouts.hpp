#pragma once
#include "kit/platform/KeyboardLayouts.hpp"

// A US keyboard: each printable ASCII character on one key, with or without Shift.
class SimKeyboardLayouts : public KeyboardLayouts {
 public:
  std::string currentLayout() override { return "English (US)"; }
  std::optional<KeyStroke> keyFor(char32_t character) override;
  std::string characters(const KeyStroke& stroke) override;
};
