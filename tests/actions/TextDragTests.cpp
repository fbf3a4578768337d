// Selected text dragged through accessibility: moved or copied, verified, never through a clipboard.
#include <gtest/gtest.h>

#include "tests/support/EditorBehindTerminal.hpp"

namespace {

constexpr const char* moved =
    "Moved the selected text through accessibility; verified the resulting text without using the system "
    "clipboard or drag loop.";
constexpr const char* notTransferable =
    "This text selection cannot be transferred without changing its formatting or splitting a character. No edit "
    "was made.";

// Fields lay text out 8 points a character, 16 a line, from their top-left; the editor's
// window is at (100, 100), so a screenshot pixel is the screen point less 100.
struct TextDesk : EditorBehindTerminal {
  SimDesktop::NodeID area = field(scene->windowNode(editorWindow), "AXTextArea", {150, 150}, "alpha beta gamma");
  pid_t mail = scene->addApp({.name = "Mail"});
  WindowNumber mailWindow = scene->addWindow(mail, {.title = "Draft", .frame = {{100, 650}, {600, 200}}});
  SimDesktop::NodeID subject = field(scene->windowNode(mailWindow), "AXTextField", {120, 660}, "Re:");

  TextDesk() {
    scene.call("get_app_state", {{"app", "Editor"}});
    scene.call("get_app_state", {{"app", "Mail"}});
  }
  SimDesktop::NodeID field(SimDesktop::NodeID window, const std::string& role, Point at, const std::string& text) {
    auto made = scene->addElement(window, role, {{"AXValue", text}, {"AXPosition", at}, {"AXSize", Size{400, 100}}});
    for (const char* name : {"AXValue", "AXSelectedTextRange", "AXSelectedText"}) scene->makeSettable(made, name);
    return made;
  }
  void select(SimDesktop::NodeID node, TextRange range) { scene->setValue(node, "AXSelectedTextRange", range); }
  // The pixel of the area's character at the offset, left or right of its middle.
  static Json at(int64_t offset, bool rightHalf = false) {
    return {{"x", 50 + offset * 8 + (rightHalf ? 7 : 1)}, {"y", 58}};
  }
  std::string drag(int64_t from, Json to, Json more = Json::object()) {
    Json arguments{{"app", "Editor"}, {"from_x", at(from)["x"]}, {"from_y", 58}, {"to_x", to["x"]}, {"to_y", to["y"]}};
    arguments.update(more);
    const std::string text = scene.call("drag", arguments);
    return text.substr(0, text.find('\n'));
  }
};

}  // namespace

TEST(TextDrag, SelectedTextMovesWithinItsFieldEitherWay) {
  TextDesk desk;
  desk.select(desk.area, {6, 4});  // "beta"
  EXPECT_EQ(desk.drag(7, TextDesk::at(15, true)), moved);
  EXPECT_EQ(desk.scene->text(desk.area), "alpha  gammabeta");

  // To an earlier place: deleted at its old place, shifted by its own length.
  desk.select(desk.area, {7, 5});  // "gamma"
  EXPECT_EQ(desk.drag(8, TextDesk::at(0)), moved);
  EXPECT_EQ(desk.scene->text(desk.area), "gammaalpha  beta");

  desk.select(desk.area, {0, 5});
  EXPECT_EQ(desk.drag(1, TextDesk::at(3)), "The drop point is inside the selected text; no edit was needed.");
  EXPECT_EQ(desk.scene->text(desk.area), "gammaalpha  beta");
  for (const auto& posted : desk.scene->posted()) EXPECT_NE(posted.event.kind, AgentEvent::Kind::buttonDown);
}

TEST(TextDrag, AltCopiesIntoAnotherAppsFieldAndLeavesTheSource) {
  TextDesk desk;
  desk.select(desk.area, {0, 5});  // "alpha"
  // The subject field's text starts at (120, 660): pixel (20 + 8 * 3, 18) of the mail window is after "Re:".
  EXPECT_EQ(desk.drag(2, {{"x", 20 + 3 * 8 + 1}, {"y", 18}}, {{"to_app", "Mail"}, {"key", "alt"}}),
            "Copied the selected text through accessibility; verified the resulting text without using the system "
            "clipboard or drag loop.");
  EXPECT_EQ(desk.scene->text(desk.subject), "Re:alpha");
  EXPECT_EQ(desk.scene->text(desk.area), "alpha beta gamma");
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);
}

TEST(TextDrag, MixedStylesSplitCharactersPasswordsAndTheUsersAppAreRefused) {
  TextDesk desk;
  desk.select(desk.area, {0, 5});
  desk.scene->setValue(desk.area, "SimMixedStyle", true);
  EXPECT_EQ(desk.drag(1, TextDesk::at(12)), notTransferable);
  EXPECT_EQ(desk.scene->text(desk.area), "alpha beta gamma");

  // A selection that ends inside an emoji's pair of units.
  auto emoji = desk.field(desk.scene->windowNode(desk.editorWindow), "AXTextArea", {150, 300}, "a\U0001F600b c");
  desk.select(emoji, {0, 2});
  EXPECT_EQ(desk.drag(0, {{"x", 50 + 5 * 8 + 1}, {"y", 208}}, {{"from_y", 208}}), notTransferable);
  EXPECT_EQ(desk.scene->text(emoji), "a\U0001F600b c");

  // Between windows, only selected text of an editor moves; a password field is none.
  desk.scene->setValue(desk.area, "AXSubrole", std::string("AXSecureTextField"));
  EXPECT_EQ(desk.drag(1, {{"x", 21}, {"y", 18}}, {{"to_app", "Mail"}}),
            "The source is not a selected accessible text range. No cross-window system drag was started.");

  desk.scene->setValue(desk.area, "AXSubrole", std::string());
  desk.scene->setValue(desk.area, "SimMixedStyle", AXValue());
  desk.scene->userClicks(desk.editorWindow);  // the user brings the editor to the front
  EXPECT_EQ(desk.drag(1, TextDesk::at(12)), "The target app is now in the foreground; text transfer stopped.");
  EXPECT_EQ(desk.scene->text(desk.area), "alpha beta gamma");
}
