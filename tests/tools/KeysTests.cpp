#include <gtest/gtest.h>

#include "kit/common/Text.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "platform/sim/SimKeyboardLayouts.hpp"
#include "platform/sim/SimText.hpp"
#include "tests/support/EditorBehindTerminal.hpp"

namespace {

using Kind = AgentEvent::Kind;

// The user in their terminal; the agent types into an editor's field behind it.
struct Desk : EditorBehindTerminal {
  SimDesktop::NodeID field = scene->addFocusedField(scene->windowNode(editorWindow), "AXTextArea", "Hello ");
  std::string line(const std::string& tool, Json arguments) {
    arguments["app"] = "Editor";
    std::string text = scene.call(tool, arguments);
    return text.substr(0, text.find('\n'));
  }
  std::string type(const std::string& text) { return line("type_text", {{"text", text}}); }
  std::string press(const std::string& key) { return line("press_key", {{"key", key}}); }
  std::string text() { return scene->text(field); }
  void select(int64_t location, int64_t length) { scene->setValue(field, "AXSelectedTextRange", TextRange{location, length}); }
  std::vector<SimModel::Posted> keys() {
    std::vector<SimModel::Posted> list;
    for (const auto& posted : scene->posted())
      if (posted.event.kind == Kind::keyDown || posted.event.kind == Kind::keyUp) list.push_back(posted);
    return list;
  }
};

}  // namespace

TEST(TypeText, TypesExactlyIntoTheFocusedFieldAndSaysSo) {
  Desk desk;
  EXPECT_EQ(desk.type("Grüße, Welt! 42 € (ok)\nzwei"), "Typed 27 characters.");
  EXPECT_EQ(desk.text(), "Hello Grüße, Welt! 42 € (ok)\nzwei");
  for (const auto& key : desk.keys()) {
    EXPECT_EQ(key.event.pid, desk.editor);
    EXPECT_EQ(key.event.window, desk.editorWindow);
  }
  // Characters without a key travel as text; the user's side is untouched.
  bool keyless = false;
  for (const auto& key : desk.keys()) keyless |= key.event.keyCode == 0 && key.event.text == "€";
  EXPECT_TRUE(keyless);
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
  EXPECT_EQ(desk.scene->userPointer(), (Point{720, 450}));
  EXPECT_FALSE(SharedKeyWindow::shared().holds(desk.editor));
  EXPECT_EQ(desk.type(""), "Typed 0 characters.");
}

TEST(TypeText, AutocorrectIsUndoneLetterByLetter) {
  Desk desk;
  desk.scene->onAction(desk.field, SimText::typedEffect, [&] {
    const std::string now = desk.text();
    if (now.ends_with("teh ")) {
      desk.scene->setValue(desk.field, "AXValue", now.substr(0, now.size() - 4) + "the ");
    }
  });
  EXPECT_EQ(desk.type("teh cat"),
            "Typed 7 characters. Autocorrect had changed 2 places; those letters were typed again, so the field holds "
            "exactly the text. Do not press Escape in it: that would bring the correction back.");
  EXPECT_EQ(desk.text(), "Hello teh cat");

  // A change too large to repair is reported with what the field reads.
  desk.scene->onAction(desk.field, SimText::typedEffect, [&] {
    if (desk.text().ends_with("z")) desk.scene->setValue(desk.field, "AXValue", std::string("REWRITTEN BY THE PAGE"));
  });
  desk.select(0, 13);
  EXPECT_EQ(desk.type("xyz"),
            "Typed 3 characters, but the field reads \"REWRITTEN BY THE PAGE\" instead of \"xyz\": autocorrect, AutoFill "
            "or the page changed it. Retyping the whole text changes it the same way; fix only the differing words "
            "with select_text and type_text.");
}

TEST(TypeText, WhenKeysDoNotArriveTheTextIsInsertedOrTheAgentIsTold) {
  Desk desk;
  desk.scene->setValue(desk.field, "SimIgnoresKeys", true);
  desk.select(0, 0);
  EXPECT_EQ(desk.type("Hi, "), "Inserted 4 characters at the caret.");
  EXPECT_EQ(desk.text(), "Hi, Hello ");

  desk.scene->setValue(desk.field, "AXValue", std::string(""));
  EXPECT_EQ(desk.type("x"), "Typed 1 characters. The focused element does not expose its text; check the screenshot "
                            "of get_app_state.");

  desk.scene->setValue(desk.scene->appNode(desk.editor), "AXFocusedUIElement", std::monostate{});
  desk.scene->setValue(desk.field, "AXFocused", false);
  EXPECT_EQ(desk.type("x"), "Typed 1 characters, but the app reports no focused element, so they may have gone "
                            "nowhere. Click the field and check with get_app_state.");
}

TEST(TypeText, TheAgentWaitsWhileTheUserTypesInTheSameApp) {
  Desk desk;
  desk.scene->setFront(desk.editor);
  const double start = desk.scene->now();
  desk.scene->at(start + 0.3, [&] { desk.scene->userPresses(); });
  EXPECT_EQ(desk.type("abcdefghijklmnop"), "Typed 16 characters.");
  EXPECT_EQ(desk.text(), "Hello abcdefghijklmnop");
  auto keys = desk.keys();
  // A key already down when the user pressed is let up before the pause.
  bool waited = false;
  for (size_t i = 1; i < keys.size(); ++i)
    waited |= keys[i - 1].time < start + 0.6 && keys[i].time >= start + 0.3 + 0.8;
  std::string times;
  for (const auto& key : keys) times += std::to_string(key.time - start) + " ";
  EXPECT_TRUE(waited) << "keys after the user's press came after their pause: " << times;
}

TEST(PressKey, ChordsSequencesAndThePrivateClipboard) {
  Desk desk;
  EXPECT_EQ(desk.press("ctrl+a BackSpace"), "Pressed ctrl+a BackSpace.");
  EXPECT_EQ(desk.text(), "") << "Select All through accessibility, then a real BackSpace";

  desk.scene->setValue(desk.field, "AXValue", std::string("copy me"));
  desk.select(0, 4);
  EXPECT_EQ(desk.press("cmd+c Right"), "Pressed cmd+c Right.");
  EXPECT_EQ(desk.text(), "copy me");
  desk.select(7, 0);
  EXPECT_EQ(desk.press("cmd+v"), "Pressed cmd+v.");
  EXPECT_EQ(desk.text(), "copy mecopy");
  desk.select(0, 5);
  desk.press("ctrl+x");
  EXPECT_EQ(desk.text(), "mecopy");
  desk.select(6, 0);
  desk.press("ctrl+v");
  EXPECT_EQ(desk.text(), "mecopycopy ");
  for (const auto& key : desk.keys()) {
    EXPECT_FALSE(key.event.modifiers & KeyModifier::control) << "no clipboard shortcut reached the app as keys";
  }

  desk.select(0, 0);
  EXPECT_EQ(desk.press("Return ctrl+c"),
            "Key sequence stopped: 1 of 2 chords completed before chord 2 failed. The failing chord may have partially "
            "applied; inspect state before retrying. There is no accessible selected text to copy or cut. The agent "
            "clipboard was left unchanged.");
  EXPECT_EQ(desk.text(), "\nmecopycopy ");
  desk.scene.resetEngine();
  EXPECT_EQ(desk.press("cmd+v"),
            "Key sequence stopped: 0 of 1 chords completed before chord 1 failed. The failing chord may have partially "
            "applied; inspect state before retrying. The agent clipboard has no plain text to paste. The user's "
            "clipboard is not read.");
  EXPECT_EQ(desk.press("cmd+shift+v").substr(0, 20), "Shortcut cmd+shift+v");
}

TEST(PressKey, ModifiersLeadAndTrailTheKeyAndDurationRepeats) {
  Desk desk;
  desk.press("ctrl+shift+Tab");
  auto keys = desk.keys();
  ASSERT_EQ(keys.size(), 6u);
  const uint32_t control = SimKeyboardLayouts::namedCode("Control_L"), shift = SimKeyboardLayouts::namedCode("Shift_L"),
                 tab = SimKeyboardLayouts::namedCode("Tab");
  std::vector<std::pair<uint32_t, Kind>> order;
  for (const auto& key : keys) order.emplace_back(key.event.keyCode, key.event.kind);
  EXPECT_EQ(order, (std::vector<std::pair<uint32_t, Kind>>{{control, Kind::keyDown},
                                                            {shift, Kind::keyDown},
                                                            {tab, Kind::keyDown},
                                                            {tab, Kind::keyUp},
                                                            {shift, Kind::keyUp},
                                                            {control, Kind::keyUp}}));
  EXPECT_GE(keys[1].time - keys[0].time, 0.04);
  EXPECT_EQ(keys[2].event.modifiers, KeyModifier::control | KeyModifier::shift);

  const size_t before = desk.keys().size();
  desk.press("Down");
  const double start = desk.keys()[before].time;
  desk.scene->setValue(desk.field, "AXValue", std::string("x"));
  desk.line("press_key", {{"key", "Left"}, {"duration", 2}});
  auto held = desk.keys();
  int repeats = 0;
  double last = 0;
  for (size_t i = before + 2; i < held.size(); ++i)
    if (held[i].event.kind == Kind::keyDown) ++repeats, last = held[i].time;
  EXPECT_GE(repeats, 30) << "after the repeat delay, every 40 ms";
  EXPECT_GT(last - start, 1.5);
}

TEST(PressKey, AFileDialogTakesOnlyReturnAndEscapeThroughAccessibility) {
  Desk desk;
  WindowNumber dialog = desk.scene->addFileDialog(desk.editor, {{150, 150}, {500, 350}});
  int cancelled = 0;
  auto cancel = desk.scene->addElement(desk.scene->windowNode(dialog), "AXButton",
                                       {{"AXTitle", std::string("Cancel")}}, {"AXPress"});
  desk.scene->onAction(cancel, "AXPress", [&] { ++cancelled; });
  const size_t keysBefore = desk.keys().size();
  EXPECT_EQ(desk.line("press_key", {{"key", "Escape"}, {"window_id", dialog}}), "Pressed Escape.");
  EXPECT_EQ(cancelled, 1);
  EXPECT_EQ(desk.line("press_key", {{"key", "a"}, {"window_id", dialog}}).substr(0, 45),
            "Only Return and Escape work in a file dialog.");
  EXPECT_EQ(desk.line("press_key", {{"key", "Return"}, {"window_id", dialog}}),
            "Key sequence stopped: 0 of 1 chords completed before chord 1 failed. The failing chord may have partially "
            "applied; inspect state before retrying. The file dialog has no default button right now.");
  EXPECT_EQ(desk.keys().size(), keysBefore) << "no key event reaches a file dialog";
}

TEST(TypeText, TwoThousandCharactersArriveWholeAtAPersonsPace) {
  Desk desk;
  std::string text;
  for (int i = 0; text.size() < 2000; ++i) text += "Satz " + std::to_string(i) + ": Grüße, Welt! ";
  text.resize(2000);
  const double start = desk.scene->now();
  EXPECT_EQ(desk.type(text), "Typed " + std::to_string(Text::characterCount(text)) + " characters.");
  EXPECT_EQ(desk.text(), "Hello " + text);
  const double seconds = desk.scene->now() - start;
  EXPECT_GT(seconds, 60) << "about 50 ms a key, as a person types";
  EXPECT_LT(seconds, 400);
}
