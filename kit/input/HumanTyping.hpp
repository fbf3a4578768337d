#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class KeyboardLayouts;

// One key to type: its key and modifiers, and the character it types (none for Return
// and Tab). Key code 0: the layout has no key for the character.
struct TypedKey {
  uint32_t keyCode = 0;
  std::vector<uint32_t> modifiers;
  std::optional<std::string> text;
};

// One scheduled key event of a typing run, `time` seconds from its start.
struct KeyEvent {
  double time = 0;
  uint32_t keyCode = 0;
  bool isDown = true;
  std::optional<std::string> text;
  uint32_t flags = 0;
  uint32_t modifier = 0;  // a modifier's key (its KeyModifier bit) instead of keyCode
};

// The rhythm of a person typing: about 49 ms between keys (log-normal), longer after
// spaces, before symbols and after sentences, holds of 50-130 ms, two plain keys down at
// once at most, modifiers leading and trailing their key.
namespace HumanTyping {

// Uniform in [0, 1); tests give a seeded one.
using Random = std::function<double()>;
Random systemRandom();

std::vector<TypedKey> typedKeys(const std::string& text, KeyboardLayouts& layout);
std::vector<KeyEvent> events(const std::vector<TypedKey>& keys, const Random& random = systemRandom());
double interval(const TypedKey& key, const TypedKey& previous, double pace, const Random& random);
double hold(const TypedKey& key, const Random& random);

}  // namespace HumanTyping
