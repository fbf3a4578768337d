#include <gtest/gtest.h>

#include "kit/actions/TextRepair.hpp"

using TextRepair::Edit;

namespace {

std::string applied(std::string text, const std::vector<Edit>& edits) {
  for (const Edit& edit : edits) text = *TextRepair::replacing(text, {edit.location, edit.length}, edit.replacement);
  return text;
}

}  // namespace

TEST(TextRepair, EditsUndoTheCorrectionsLastFirst) {
  EXPECT_EQ(TextRepair::edits("same", "same"), std::vector<Edit>{});
  EXPECT_EQ(TextRepair::edits("I'm teh best", "I'm the best"), (std::vector<Edit>{{6, 1, ""}, {5, 0, "h"}}));
  // Positions count UTF-16 units of the actual text: the emoji is two.
  EXPECT_EQ(TextRepair::edits("😀 Thier", "😀 Their"), (std::vector<Edit>{{6, 1, ""}, {5, 0, "e"}}));
  for (auto [actual, expected] : std::vector<std::pair<std::string, std::string>>{
           {"recieve and seperate", "receive and separate"}, {"a1 b1 c1", "a2 b2 c2"}, {"Grüsse", "Grüße"},
           {"hello world", "hello, world!"}}) {
    auto edits = TextRepair::edits(actual, expected);
    ASSERT_TRUE(edits) << actual;
    EXPECT_EQ(applied(actual, *edits), expected);
    for (size_t i = 1; i < edits->size(); ++i) EXPECT_GT((*edits)[i - 1].location, (*edits)[i].location);
  }
}

TEST(TextRepair, TooLargeDifferencesAreNotRepaired) {
  EXPECT_FALSE(TextRepair::edits("a1 b1 c1 d1 e1 f1 g1 h1 i1", "a2 b2 c2 d2 e2 f2 g2 h2 i2")) << "nine places";
  EXPECT_FALSE(TextRepair::edits("x", "x and a long tail")) << "a place longer than 12 characters";
  EXPECT_TRUE(TextRepair::edits("x", "x and a tail"));
}

TEST(TextRepair, ReplacingAndQuoting) {
  EXPECT_EQ(TextRepair::replacing("Grüße", {2, 2}, "ss"), "Grsse");
  EXPECT_EQ(TextRepair::replacing("😀x", {2, 1}, "y"), "😀y") << "UTF-16 positions";
  EXPECT_FALSE(TextRepair::replacing("abc", {2, 2}, ""));
  EXPECT_FALSE(TextRepair::replacing("abc", {-1, 0}, ""));
  EXPECT_EQ(TextRepair::quoted("a\nb", 300), "\"a\\nb\"");
  EXPECT_EQ(TextRepair::quoted(std::string(301, 'x'), 300), "\"" + std::string(300, 'x') + "\u2026\" (301 chars)");
}
