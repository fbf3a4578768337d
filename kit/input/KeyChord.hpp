#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Modifier names in key chords. On Linux cmd and command press Control, the key Linux
// apps use for their shortcuts; super, meta and win name the Super key.
namespace KeyChord {

// The KeyModifier bit a name stands for ("Shift_L", "ctrl_r" and "CMD" included), or none.
std::optional<uint32_t> modifier(const std::string& name);
// The modifiers held by a "shift+alt"-style text; fails with a ToolError naming an unknown piece.
uint32_t heldModifiers(const std::string& keys);

}  // namespace KeyChord
