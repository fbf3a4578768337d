#include <gtest/gtest.h>

#include "kit/common/Text.hpp"

TEST(PrintableText, ControlCharactersAndEscapeSequencesAreShownNotObeyed) {
  EXPECT_EQ(Text::printable("conn-1"), "conn-1");
  EXPECT_EQ(Text::printable("a\nb\x1b[2J\x7f"), "a\\x0Ab\\x1B[2J\\x7F");
  EXPECT_EQ(Text::printable("\u00e9\u009b31m"), "\u00e9\\x9B31m") << "a C1 control introducer, kept apart from é";
  EXPECT_EQ(Text::printable("\xff"), "\uFFFD");
}

TEST(LastLines, LongOutputKeepsItsEndAndSaysWhatWasCut) {
  EXPECT_EQ(Text::lastLines("one\ntwo", 5), "one\ntwo");
  EXPECT_EQ(Text::lastLines("1\n2\n3\n4\n", 2), "(2 earlier lines not shown)\n3\n4\n");
  EXPECT_EQ(Text::lastLines("\n\n\nlast", 2), "(2 earlier lines not shown)\n\nlast") << "empty lines count";
  const std::string endless = "start\n" + std::string(10 << 20, 'x');
  EXPECT_EQ(Text::lastLines(endless, 5), "\u2026" + std::string(4000, 'x')) << "one endless line is cut too";
  const std::string many = std::string(100, '\n') + std::string(10 << 20, 'y');
  EXPECT_EQ(Text::lastLines(many, 5), "(96 earlier lines not shown)\n\u2026" + std::string(4000, 'y'));
}
