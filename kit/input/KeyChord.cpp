#include "kit/input/KeyChord.hpp"

#include <map>
#include <vector>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/platform/KeyboardLayouts.hpp"

namespace KeyChord {
namespace {

bool endsWith(const std::string& text, const char* tail) { return text.size() >= 2 && text.ends_with(tail); }

}  // namespace

std::optional<uint32_t> modifier(const std::string& name) {
  static const std::map<std::string, uint32_t> names{
      {"cmd", KeyModifier::control},    {"command", KeyModifier::control}, {"super", KeyModifier::super},
      {"meta", KeyModifier::super},     {"win", KeyModifier::super},       {"shift", KeyModifier::shift},
      {"alt", KeyModifier::alt},        {"option", KeyModifier::alt},      {"opt", KeyModifier::alt},
      {"ctrl", KeyModifier::control},   {"control", KeyModifier::control}, {"fn", KeyModifier::function}};
  std::string key = Text::lowered(name);
  if (endsWith(key, "_l")) key.resize(key.size() - 2);
  if (endsWith(key, "_r")) key.resize(key.size() - 2);
  auto found = names.find(key);
  if (found == names.end()) return std::nullopt;
  return found->second;
}

uint32_t heldModifiers(const std::string& keys) {
  const std::string chord = keys + "+a";
  uint32_t held = 0;
  size_t start = 0;
  for (size_t plus = chord.find('+'); plus != std::string::npos; start = plus + 1, plus = chord.find('+', start)) {
    std::string piece = Text::trimmed(std::string_view(chord).substr(start, plus - start));
    auto bit = modifier(piece);
    if (!bit) {
      throw ToolError("Unknown modifier \"" + piece + "\" in \"" + chord +
                      "\". Use cmd, shift, alt/option, ctrl or fn.");
    }
    held |= *bit;
  }
  return held;
}

}  // namespace KeyChord
