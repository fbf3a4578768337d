#include <gtest/gtest.h>

#include "kit/common/ToolError.hpp"
#include "kit/input/Clipboard.hpp"
#include "kit/input/KeyChord.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "platform/sim/SimKeyboardLayouts.hpp"

namespace {

SimKeyboardLayouts us;

KeyChord chord(const std::string& text) { return KeyChord::parse(text, us); }
uint32_t key(char c) { return us.keyFor(char32_t(c))->keyCode; }
uint32_t named(const char* name) { return SimKeyboardLayouts::namedCode(name); }

std::string failure(const std::function<void()>& body) {
  try {
    body();
  } catch (const ToolError& error) {
    return error.what();
  }
  return "";
}

}  // namespace

TEST(KeyChords, NamesCharactersAndTheLayoutsModifiers) {
  EXPECT_EQ(chord("cmd+s"), (KeyChord{key('s'), {KeyModifier::control}})) << "cmd is Control on Linux";
  EXPECT_EQ(chord("ctrl+shift+Tab"), (KeyChord{named("Tab"), {KeyModifier::control, KeyModifier::shift}}));
  EXPECT_EQ(chord("A"), (KeyChord{key('a'), {KeyModifier::shift}}));
  EXPECT_EQ(chord("a"), (KeyChord{key('a'), {}}));
  EXPECT_EQ(chord("ctrl+?"), (KeyChord{key('/'), {KeyModifier::shift, KeyModifier::control}}))
      << "the layout's Shift goes first";
  for (const char* name : {"Page_Up", "PageUp", "page_up", "prior"}) EXPECT_EQ(chord(name).keyCode, named("Prior"));
  EXPECT_EQ(chord("delete").keyCode, named("BackSpace")) << "delete is the backward delete key";
  EXPECT_EQ(chord("ForwardDelete").keyCode, named("Delete"));
  EXPECT_EQ(chord(" Return ").keyCode, named("Return"));
  EXPECT_EQ(chord("period").keyCode, key('.'));
  EXPECT_EQ(chord("braceleft"), (KeyChord{key('['), {KeyModifier::shift}}));
}

TEST(KeyChords, PlusAndModifiersAsKeys) {
  EXPECT_EQ(chord("cmd++"), (KeyChord{key('='), {KeyModifier::shift, KeyModifier::control}}));
  EXPECT_EQ(chord("+"), (KeyChord{key('='), {KeyModifier::shift}}));
  EXPECT_EQ(chord("shift"), (KeyChord{named("Shift_L"), {}}));
  EXPECT_EQ(chord("cmd+shift"), (KeyChord{named("Shift_L"), {KeyModifier::control}}));
  EXPECT_EQ(chord("Shift_L+ctrl_r+x").modifiers, (std::vector<uint32_t>{KeyModifier::shift, KeyModifier::control}));
  EXPECT_EQ(chord("shift+shift+x").modifiers, (std::vector<uint32_t>{KeyModifier::shift}));
}

TEST(KeyChords, BadKeysAreRefusedWithTheirMessages) {
  EXPECT_EQ(failure([] { chord("foo"); }),
            "Unknown key \"foo\". Use names like Return, Tab, Escape, space, BackSpace, Delete, Up, Down, Left, Right, "
            "Home, End, Page_Up, Page_Down, F1-F20, or a single character.");
  EXPECT_EQ(failure([] { chord("hyper+a"); }),
            "Unknown modifier \"hyper\" in \"hyper+a\". Use cmd, shift, alt/option, ctrl or fn.");
  EXPECT_EQ(failure([] { chord("cmd+ +"); }), "");
  EXPECT_EQ(failure([] { chord(""); }), "Empty key \"\".");
  EXPECT_EQ(chord("cmd+"), (KeyChord{key('='), {KeyModifier::shift}})) << "a trailing plus is the plus key alone";
  EXPECT_EQ(failure([] { chord("é"); }),
            "The current keyboard layout has no key for \"é\". Use type_text for literal text.");
}

TEST(KeyChords, SequencesAreCheckedWholeAndClipboardShortcutsScreened) {
  EXPECT_EQ(Clipboard::validatedChords("ctrl+a BackSpace", us).size(), 2u);
  EXPECT_EQ(Clipboard::validatedChords("  Return   Return Tab ", us).size(), 3u);
  EXPECT_TRUE(Clipboard::validatedChords("   ", us).empty());
  EXPECT_EQ(failure([] { Clipboard::validatedChords("Return foo", us); }).substr(0, 17), "Unknown key \"foo\"");
  EXPECT_EQ(failure([] { Clipboard::validatedChords("Tab cmd+shift+v", us); }),
            "Shortcut cmd+shift+v has app-specific semantics and is not supported by the private clipboard route. No "
            "keys in this sequence were sent. Use the app's explicit menu command for non-clipboard actions.");
  EXPECT_EQ(failure([] { Clipboard::validatedChords("ctrl+alt+c", us); }).substr(0, 19), "Shortcut ctrl+alt+c");
  EXPECT_EQ(failure([] { Clipboard::validatedChords("cmd+s cmd+shift+s", us); }), "");

  EXPECT_EQ(Clipboard::candidate(chord("cmd+v"), us), Clipboard::Operation::paste);
  EXPECT_EQ(Clipboard::candidate(chord("ctrl+c"), us), Clipboard::Operation::copy);
  EXPECT_EQ(Clipboard::candidate(chord("ctrl+x"), us), Clipboard::Operation::cut);
  EXPECT_EQ(Clipboard::candidate(chord("v"), us), std::nullopt);
  EXPECT_EQ(Clipboard::candidate(chord("cmd+s"), us), std::nullopt);
  EXPECT_TRUE(Clipboard::isSelectAll(chord("cmd+a"), us));
  EXPECT_FALSE(Clipboard::isSelectAll(chord("cmd+shift+a"), us));
}
