#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "kit/input/HumanTyping.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "platform/sim/SimKeyboardLayouts.hpp"

namespace {

SimKeyboardLayouts us;

HumanTyping::Random seeded(unsigned seed) {
  auto engine = std::make_shared<std::mt19937_64>(seed);
  return [engine] { return std::uniform_real_distribution<double>(0, 1)(*engine); };
}

std::vector<KeyEvent> downs(const std::vector<KeyEvent>& events) {
  std::vector<KeyEvent> pressed;
  std::copy_if(events.begin(), events.end(), std::back_inserter(pressed),
               [](const KeyEvent& e) { return e.isDown && e.modifier == 0; });
  return pressed;
}

}  // namespace

TEST(HumanTyping, TextBecomesKeysReturnsTabsAndKeylessCharacters) {
  auto keys = HumanTyping::typedKeys("a\nb\r\nc\rd\tÉ😀", us);
  ASSERT_EQ(keys.size(), 10u);
  const uint32_t returnKey = SimKeyboardLayouts::namedCode("Return");
  EXPECT_EQ(keys[1].keyCode, returnKey);
  EXPECT_FALSE(keys[1].text);
  EXPECT_EQ(keys[3].keyCode, returnKey) << "CR LF is one Return";
  EXPECT_EQ(keys[5].keyCode, returnKey);
  EXPECT_EQ(keys[7].keyCode, SimKeyboardLayouts::namedCode("Tab"));
  EXPECT_EQ(keys[8].keyCode, 0u) << "the layout has no É";
  EXPECT_EQ(keys[9].keyCode, 0u);
  EXPECT_EQ(keys[9].text, "😀");
  EXPECT_EQ(keys[6].keyCode, us.keyFor(U'd')->keyCode);
  auto capital = HumanTyping::typedKeys("Q", us);
  EXPECT_EQ(capital[0].modifiers, (std::vector<uint32_t>{KeyModifier::shift}));
  EXPECT_EQ(capital[0].text, "Q");
}

TEST(HumanTyping, TheScheduleKeepsAHandsRules) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    auto keys = HumanTyping::typedKeys("Hello. Mississippi Tool 42!", us);
    auto events = HumanTyping::events(keys, seeded(seed));
    ASSERT_TRUE(std::is_sorted(events.begin(), events.end(),
                               [](const KeyEvent& a, const KeyEvent& b) { return a.time < b.time; }));
    // Never more than two plain keys down at once; a repeated key waits for its release.
    int down = 0, most = 0;
    std::map<uint32_t, bool> held;
    for (const KeyEvent& event : events) {
      if (event.modifier) continue;
      if (event.isDown) {
        EXPECT_FALSE(held[event.keyCode]) << "seed " << seed;
        held[event.keyCode] = true;
        most = std::max(most, ++down);
      } else {
        held[event.keyCode] = false;
        --down;
      }
    }
    EXPECT_LE(most, 2);
    EXPECT_EQ(down, 0);
    // Shift leads the capital by 35-75 ms and trails its release by 8-35 ms.
    auto shiftDown = std::find_if(events.begin(), events.end(), [](const KeyEvent& e) { return e.modifier && e.isDown; });
    auto capital = std::find_if(events.begin(), events.end(), [](const KeyEvent& e) { return e.text == "H" && e.isDown; });
    auto capitalUp = std::find_if(events.begin(), events.end(), [](const KeyEvent& e) { return e.text == "H" && !e.isDown; });
    auto shiftUp = std::find_if(events.begin(), events.end(), [](const KeyEvent& e) { return e.modifier && !e.isDown; });
    EXPECT_NEAR(capital->time - shiftDown->time, 0.055, 0.0201);
    EXPECT_NEAR(shiftUp->time - capitalUp->time, 0.0215, 0.0136);
    EXPECT_EQ(capital->flags, KeyModifier::shift);
    EXPECT_EQ(shiftUp->flags, 0u);
    // Holds are 50-130 ms.
    for (size_t i = 0; i < events.size(); ++i) {
      if (!events[i].isDown || events[i].modifier) continue;
      auto up = std::find_if(events.begin() + long(i), events.end(), [&](const KeyEvent& e) {
        return !e.isDown && e.keyCode == events[i].keyCode && e.modifier == 0;
      });
      EXPECT_GE(up->time - events[i].time, 0.05 - 1e-9);
      EXPECT_LE(up->time - events[i].time, 0.13 + 1e-9);
    }
  }
}

TEST(HumanTyping, ASentenceEndIsFollowedByAPause) {
  // The gap after "." before a space carries 80-250 ms on top of the usual rhythm.
  double afterStop = 0, afterLetter = 0;
  const int runs = 200;
  for (int seed = 0; seed < runs; ++seed) {
    auto presses = downs(HumanTyping::events(HumanTyping::typedKeys("a. b", us), seeded(seed)));
    auto letters = downs(HumanTyping::events(HumanTyping::typedKeys("ab b", us), seeded(seed)));
    afterStop += presses[2].time - presses[1].time;
    afterLetter += letters[2].time - letters[1].time;
  }
  EXPECT_GT((afterStop - afterLetter) / runs, 0.1);
  EXPECT_LT((afterStop - afterLetter) / runs, 0.25);
}
