#pragma once
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "kit/platform/KeyboardLayouts.hpp"
#include "platform/x11/X11Display.hpp"

// The core keyboard's keymap, read through xkbcommon-x11. Reading it costs several round
// trips and a keymap compile, so a run of keystrokes shares one read; a layout switch
// is seen within a quarter second.
class XkbLayouts : public KeyboardLayouts {
 public:
  // None when the X server has no XKB.
  static std::unique_ptr<XkbLayouts> open(std::shared_ptr<X11Display> display);
  ~XkbLayouts() override;

  std::string currentLayout() override;
  std::optional<KeyStroke> keyFor(char32_t character) override;
  std::string characters(const KeyStroke& stroke) override;
  std::optional<KeyStroke> keyNamed(const std::string& name) override;
  // Keycodes lent out to type characters the keymap lacks; never offered as a key.
  void setBorrowed(std::function<bool(uint32_t)> borrowed) { borrowed_ = std::move(borrowed); }

 private:
  XkbLayouts(std::shared_ptr<X11Display> display, xkb_context* context, int32_t device);
  // Re-reads the keymap and state unless read a moment ago; false when there is none.
  bool refresh();
  bool read();
  std::optional<KeyStroke> strokeFor(xkb_keysym_t wanted);
  xkb_mod_mask_t xkbMask(uint32_t modifiers) const;
  uint32_t modifiersOf(xkb_mod_mask_t mask) const;

  std::shared_ptr<X11Display> display_;
  std::mutex lock_;  // guards the keymap and state; taken before the display's lock
  xkb_context* context_;
  int32_t device_;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  std::chrono::steady_clock::time_point readAt_;
  std::function<bool(uint32_t)> borrowed_;
};
