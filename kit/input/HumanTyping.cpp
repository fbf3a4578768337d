#include "kit/input/HumanTyping.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "kit/common/Text.hpp"
#include "kit/input/HumanRandom.hpp"
#include "kit/input/KeyChord.hpp"
#include "kit/platform/KeyboardLayouts.hpp"

namespace HumanTyping {
namespace {

double between(const Random& random, double a, double b) { return a + (b - a) * random(); }

double standardNormal(const Random& random) {
  const double u1 = std::max(random(), std::ldexp(1.0, -52));
  const double u2 = random();
  return std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
}

bool isLetter(const std::string& character) {
  const char32_t c = Text::scalar(character);
  // Letters of any script: ASCII letters and everything beyond Latin-1 punctuation.
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

uint32_t flagsOf(const std::vector<uint32_t>& modifiers, size_t count) {
  uint32_t flags = 0;
  for (size_t i = 0; i < count && i < modifiers.size(); ++i) flags |= modifiers[i];
  return flags;
}

}  // namespace

Random systemRandom() {
  return [] { return HumanRandom::uniformOpen(0, 1); };
}

std::vector<TypedKey> typedKeys(const std::string& text, KeyboardLayouts& layout) {
  std::vector<TypedKey> keys;
  const auto characters = Text::characters(text);
  for (size_t i = 0; i < characters.size(); ++i) {
    const std::string& c = characters[i];
    if (c == "\r" || c == "\n") {
      if (c == "\r" && i + 1 < characters.size() && characters[i + 1] == "\n") ++i;
      keys.push_back({layout.keyNamed("Return").value_or(KeyStroke{}).keyCode, {}, std::nullopt});
    } else if (c == "\t") {
      keys.push_back({layout.keyNamed("Tab").value_or(KeyStroke{}).keyCode, {}, std::nullopt});
    } else if (auto stroke = layout.keyFor(Text::scalar(c))) {
      keys.push_back({stroke->keyCode, KeyChord::modifiersIn(stroke->modifiers), c});
    } else {
      keys.push_back({0, {}, c});
    }
  }
  return keys;
}

double interval(const TypedKey& key, const TypedKey& previous, double pace, const Random& random) {
  double gap = 0.049 * pace * std::exp(0.42 * standardNormal(random));
  if (previous.text == " ") gap += 0.012;
  if (key.text && !key.text->empty() && *key.text != " " && !isLetter(*key.text)) gap += 0.02;
  if (!key.text) gap += between(random, 0.06, 0.18);
  const bool endsSentence = previous.text && !previous.text->empty() &&
                            std::string(".!?:").find(previous.text->back()) != std::string::npos;
  if (endsSentence && (!key.text || key.text == " ")) gap += between(random, 0.08, 0.25);
  if (random() < 0.02) gap += between(random, 0.12, 0.45);
  return std::max(gap, 0.018);
}

double hold(const TypedKey& key, const Random& random) {
  const double base = key.text == " " ? 0.088 : 0.078;
  return std::clamp(base * std::exp(0.2 * standardNormal(random)), 0.05, 0.13);
}

std::vector<KeyEvent> events(const std::vector<TypedKey>& keys, const Random& random) {
  std::vector<KeyEvent> schedule;
  const double pace = between(random, 0.9, 1.1);
  const TypedKey* previous = nullptr;
  double tPrev = 0;
  std::vector<double> releases;  // final release times of the last two keys
  for (const TypedKey& key : keys) {
    const double lead = key.modifiers.empty() ? 0 : between(random, 0.035, 0.075);
    double t = lead;
    if (previous != nullptr) {
      const double gap = interval(key, *previous, pace, random);
      double floor;
      if (key.modifiers.empty() && previous->modifiers.empty() && key.keyCode != previous->keyCode) {
        // Rolling over: the new key may go down while the previous one is held, never while two are.
        floor = (releases.size() == 2 ? releases.front() : 0) + 0.004;
      } else {
        floor = lead + releases.back() + between(random, 0.008, 0.025);
      }
      t = std::max(tPrev + gap, floor);
    }
    double at = t - lead;
    for (size_t j = 0; j < key.modifiers.size(); ++j) {
      if (j > 0) at += between(random, 0.01, 0.02);
      schedule.push_back({at, 0, true, std::nullopt, flagsOf(key.modifiers, j + 1), key.modifiers[j]});
    }
    const double h = hold(key, random);
    const uint32_t flags = flagsOf(key.modifiers, key.modifiers.size());
    schedule.push_back({t, key.keyCode, true, key.text, flags});
    schedule.push_back({t + h, key.keyCode, false, key.text, flags});
    double release = t + h;
    for (size_t j = key.modifiers.size(); j-- > 0;) {
      release += between(random, 0.008, 0.035);
      schedule.push_back({release, 0, false, std::nullopt, flagsOf(key.modifiers, j), key.modifiers[j]});
    }
    releases.push_back(release);
    if (releases.size() > 2) releases.erase(releases.begin());
    tPrev = t;
    previous = &key;
  }
  std::stable_sort(schedule.begin(), schedule.end(), [](const KeyEvent& a, const KeyEvent& b) { return a.time < b.time; });
  return schedule;
}

}  // namespace HumanTyping
