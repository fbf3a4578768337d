#include "platform/x11/XkbLayouts.hpp"

#include <X11/Xlib-xcb.h>
#include <xkbcommon/xkbcommon-x11.h>

namespace {

struct ModifierName {
  uint32_t bit;
  const char* xkbName;
};
constexpr ModifierName modifierNames[] = {{KeyModifier::shift, XKB_MOD_NAME_SHIFT},
                                          {KeyModifier::control, XKB_MOD_NAME_CTRL},
                                          {KeyModifier::option, "Mod5"},
                                          {KeyModifier::command, XKB_MOD_NAME_LOGO}};

}  // namespace

std::unique_ptr<XkbLayouts> XkbLayouts::open(std::shared_ptr<X11Display> display) {
  int32_t device = -1;
  {
    std::lock_guard guard(display->lock());
    xcb_connection_t* connection = XGetXCBConnection(display->raw());
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
      return nullptr;
    }
    device = xkb_x11_get_core_keyboard_device_id(connection);
  }
  if (device < 0) return nullptr;
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context == nullptr) return nullptr;
  std::unique_ptr<XkbLayouts> layouts(new XkbLayouts(std::move(display), context, device));
  std::lock_guard guard(layouts->lock_);
  if (!layouts->refresh()) return nullptr;
  return layouts;
}

XkbLayouts::XkbLayouts(std::shared_ptr<X11Display> display, xkb_context* context, int32_t device)
    : display_(std::move(display)), context_(context), device_(device) {}

XkbLayouts::~XkbLayouts() {
  if (state_ != nullptr) xkb_state_unref(state_);
  if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

bool XkbLayouts::refresh() {
  constexpr auto fresh = std::chrono::milliseconds(250);
  const auto now = std::chrono::steady_clock::now();
  if (keymap_ != nullptr && now - readAt_ < fresh) return true;
  readAt_ = now;
  return read();
}

bool XkbLayouts::read() {
  std::lock_guard guard(display_->lock());
  xcb_connection_t* connection = XGetXCBConnection(display_->raw());
  xkb_keymap* keymap = xkb_x11_keymap_new_from_device(context_, connection, device_, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == nullptr) return keymap_ != nullptr;
  xkb_state* state = xkb_x11_state_new_from_device(keymap, connection, device_);
  if (state == nullptr) {
    xkb_keymap_unref(keymap);
    return keymap_ != nullptr;
  }
  if (state_ != nullptr) xkb_state_unref(state_);
  if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
  keymap_ = keymap;
  state_ = state;
  return true;
}

xkb_mod_mask_t XkbLayouts::xkbMask(uint32_t modifiers) const {
  xkb_mod_mask_t mask = 0;
  for (const auto& name : modifierNames) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, name.xkbName);
    if ((modifiers & name.bit) && index != XKB_MOD_INVALID) mask |= xkb_mod_mask_t(1) << index;
  }
  return mask;
}

uint32_t XkbLayouts::modifiersOf(xkb_mod_mask_t mask) const {
  uint32_t modifiers = 0;
  for (const auto& name : modifierNames) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, name.xkbName);
    if (index != XKB_MOD_INVALID && (mask & (xkb_mod_mask_t(1) << index))) modifiers |= name.bit;
  }
  return modifiers;
}

std::string XkbLayouts::currentLayout() {
  std::lock_guard guard(lock_);
  refresh();
  for (xkb_layout_index_t layout = 0; layout < xkb_keymap_num_layouts(keymap_); ++layout) {
    if (xkb_state_layout_index_is_active(state_, layout, XKB_STATE_LAYOUT_EFFECTIVE) > 0) {
      const char* name = xkb_keymap_layout_get_name(keymap_, layout);
      return name != nullptr ? name : "";
    }
  }
  return "";
}

std::optional<KeyStroke> XkbLayouts::keyFor(char32_t character) {
  return strokeFor(xkb_utf32_to_keysym(character));
}

std::optional<KeyStroke> XkbLayouts::keyNamed(const std::string& name) {
  return strokeFor(xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS));
}

std::optional<KeyStroke> XkbLayouts::strokeFor(xkb_keysym_t wanted) {
  if (wanted == XKB_KEY_NoSymbol) return std::nullopt;
  std::lock_guard guard(lock_);
  refresh();
  const xkb_layout_index_t layout = xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE);
  std::optional<KeyStroke> best;
  for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap_); key <= xkb_keymap_max_keycode(keymap_); ++key) {
    if (borrowed_ && borrowed_(key)) continue;  // remapped for a moment to type a character
    for (xkb_level_index_t level = 0; level < xkb_keymap_num_levels_for_key(keymap_, key, layout); ++level) {
      const xkb_keysym_t* symbols = nullptr;
      const int count = xkb_keymap_key_get_syms_by_level(keymap_, key, layout, level, &symbols);
      if (count != 1 || symbols[0] != wanted) continue;
      xkb_mod_mask_t masks[8];
      const size_t found = xkb_keymap_key_get_mods_for_level(keymap_, key, layout, level, masks, 8);
      for (size_t i = 0; i < found; ++i) {
        // Masks that need Caps Lock or Num Lock cannot be pressed as a stroke.
        const uint32_t modifiers = modifiersOf(masks[i]);
        if (xkbMask(modifiers) != masks[i]) continue;
        KeyStroke stroke{key, modifiers};
        // The stroke with the fewest modifiers wins (plain "a" over a keypad variant with Shift).
        if (!best || __builtin_popcount(stroke.modifiers) < __builtin_popcount(best->modifiers)) best = stroke;
      }
    }
  }
  return best;
}

std::string XkbLayouts::characters(const KeyStroke& stroke) {
  std::lock_guard guard(lock_);
  refresh();
  const xkb_layout_index_t layout = xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE);
  xkb_state* probe = xkb_state_new(keymap_);
  if (probe == nullptr) return "";
  xkb_state_update_mask(probe, xkbMask(stroke.modifiers), 0, 0, 0, 0, layout);
  char text[64] = {0};
  xkb_state_key_get_utf8(probe, stroke.keyCode, text, sizeof text);
  xkb_state_unref(probe);
  return text;
}
