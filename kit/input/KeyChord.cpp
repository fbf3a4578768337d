#include "kit/input/KeyChord.hpp"

#include <algorithm>
#include <map>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/platform/KeyboardLayouts.hpp"

namespace {

bool endsWith(const std::string& text, const char* tail) { return text.size() >= 2 && text.ends_with(tail); }

std::vector<std::string> piecesOf(const std::string& text) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t plus = text.find('+');; start = plus + 1, plus = text.find('+', start)) {
    pieces.push_back(Text::trimmed(std::string_view(text).substr(start, plus == std::string::npos ? plus : plus - start)));
    if (plus == std::string::npos) break;
  }
  return pieces;
}

std::string unknownKey(const std::string& piece) {
  return "Unknown key \"" + piece +
         "\". Use names like Return, Tab, Escape, space, BackSpace, Delete, Up, Down, Left, Right, Home, End, "
         "Page_Up, Page_Down, F1-F20, or a single character.";
}

}  // namespace

uint32_t KeyChord::flags() const {
  uint32_t all = 0;
  for (uint32_t bit : modifiers) all |= bit;
  return all;
}

std::optional<uint32_t> KeyChord::modifier(const std::string& name) {
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

std::optional<uint32_t> KeyChord::modifierKey(uint32_t modifier, KeyboardLayouts& layout) {
  static const std::map<uint32_t, std::string> keys{{KeyModifier::shift, "Shift_L"},
                                                    {KeyModifier::control, "Control_L"},
                                                    {KeyModifier::alt, "Alt_L"},
                                                    {KeyModifier::super, "Super_L"},
                                                    {KeyModifier::option, "ISO_Level3_Shift"}};
  auto name = keys.find(modifier);
  if (name == keys.end()) return std::nullopt;
  auto stroke = layout.keyNamed(name->second);
  if (!stroke) return std::nullopt;
  return stroke->keyCode;
}

std::vector<uint32_t> KeyChord::modifiersIn(uint32_t mask) {
  std::vector<uint32_t> bits;
  for (uint32_t bit = 1; bit <= KeyModifier::function; bit <<= 1)
    if (mask & bit) bits.push_back(bit);
  return bits;
}

uint32_t KeyChord::heldModifiers(const std::string& keys) {
  const std::string chord = keys + "+a";
  uint32_t held = 0;
  auto pieces = piecesOf(chord);
  pieces.pop_back();
  for (const auto& piece : pieces) {
    auto bit = modifier(piece);
    if (!bit) {
      throw ToolError("Unknown modifier \"" + piece + "\" in \"" + chord + "\". Use cmd, shift, alt/option, ctrl or fn.");
    }
    held |= *bit;
  }
  return held;
}

std::optional<std::string> KeyChord::namedKey(const std::string& name) {
  static const std::map<std::string, std::string> keys = [] {
    std::map<std::string, std::string> table{
        {"return", "Return"},       {"enter", "Return"},       {"tab", "Tab"},
        {"space", "space"},         {"backspace", "BackSpace"}, {"delete", "BackSpace"},
        {"escape", "Escape"},       {"esc", "Escape"},         {"forwarddelete", "Delete"},
        {"home", "Home"},           {"end", "End"},            {"pageup", "Prior"},
        {"prior", "Prior"},         {"pagedown", "Next"},      {"next", "Next"},
        {"left", "Left"},           {"right", "Right"},        {"down", "Down"},
        {"up", "Up"},               {"kp_enter", "KP_Enter"},  {"help", "Insert"},
        {"insert", "Insert"},       {"capslock", "Caps_Lock"}, {"kp_decimal", "KP_Decimal"},
        {"kp_add", "KP_Add"},       {"kp_subtract", "KP_Subtract"}, {"kp_multiply", "KP_Multiply"},
        {"kp_divide", "KP_Divide"}, {"kp_equal", "KP_Equal"},  {"volumeup", "XF86AudioRaiseVolume"},
        {"volumedown", "XF86AudioLowerVolume"}, {"mute", "XF86AudioMute"}};
    for (int f = 1; f <= 20; ++f) table["f" + std::to_string(f)] = "F" + std::to_string(f);
    for (int k = 0; k <= 9; ++k) table["kp_" + std::to_string(k)] = "KP_" + std::to_string(k);
    return table;
  }();
  const std::string lowered = Text::lowered(name);
  std::string compact = lowered;
  std::erase(compact, '_');
  if (auto found = keys.find(compact); found != keys.end()) return found->second;
  if (auto found = keys.find(lowered); found != keys.end()) return found->second;
  return std::nullopt;
}

std::optional<std::string> KeyChord::symbol(const std::string& name) {
  static const std::map<std::string, std::string> symbols{
      {"period", "."},      {"comma", ","},        {"slash", "/"},        {"backslash", "\\"},
      {"semicolon", ";"},   {"apostrophe", "'"},   {"quote", "'"},        {"grave", "`"},
      {"minus", "-"},       {"equal", "="},        {"plus", "+"},         {"bracketleft", "["},
      {"bracketright", "]"}, {"braceleft", "{"},   {"braceright", "}"},   {"less", "<"},
      {"greater", ">"},     {"question", "?"},     {"exclam", "!"},       {"at", "@"},
      {"numbersign", "#"},  {"dollar", "$"},       {"percent", "%"},      {"asciicircum", "^"},
      {"ampersand", "&"},   {"asterisk", "*"},     {"parenleft", "("},    {"parenright", ")"},
      {"underscore", "_"},  {"colon", ":"},        {"quotedbl", "\""},    {"bar", "|"},
      {"asciitilde", "~"}};
  auto found = symbols.find(Text::lowered(name));
  if (found == symbols.end()) return std::nullopt;
  return found->second;
}

KeyChord KeyChord::parse(const std::string& text, KeyboardLayouts& layout) {
  std::vector<std::string> pieces = piecesOf(text);
  // A trailing "+" is the plus key: "cmd++" and "+" both end in it.
  if (pieces.size() > 1 && pieces.back().empty()) {
    pieces.resize(pieces.size() - 2);
    pieces.push_back("+");
  }
  if (pieces.empty() || pieces.back().empty()) throw ToolError("Empty key \"" + text + "\".");

  KeyChord chord;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    auto bit = modifier(pieces[i]);
    if (!bit) {
      throw ToolError("Unknown modifier \"" + pieces[i] + "\" in \"" + text +
                      "\". Use cmd, shift, alt/option, ctrl or fn.");
    }
    if (std::find(chord.modifiers.begin(), chord.modifiers.end(), *bit) == chord.modifiers.end())
      chord.modifiers.push_back(*bit);
  }

  const std::string& key = pieces.back();
  if (auto bit = modifier(key)) {
    std::erase(chord.modifiers, *bit);
    auto code = modifierKey(*bit, layout);
    if (!code) throw ToolError(unknownKey(key));
    chord.keyCode = *code;
    return chord;
  }
  if (auto name = namedKey(key)) {
    auto stroke = layout.keyNamed(*name);
    if (!stroke) throw ToolError(unknownKey(key));
    chord.keyCode = stroke->keyCode;
    return chord;
  }
  std::string character;
  if (auto symbolic = symbol(key)) character = *symbolic;
  else if (Text::characters(key).size() == 1) character = key;
  else throw ToolError(unknownKey(key));

  auto stroke = layout.keyFor(Text::scalar(character));
  if (!stroke) {
    throw ToolError("The current keyboard layout has no key for \"" + character +
                    "\". Use type_text for literal text.");
  }
  chord.keyCode = stroke->keyCode;
  std::vector<uint32_t> layoutModifiers = modifiersIn(stroke->modifiers & ~chord.flags());
  chord.modifiers.insert(chord.modifiers.begin(), layoutModifiers.begin(), layoutModifiers.end());
  return chord;
}
