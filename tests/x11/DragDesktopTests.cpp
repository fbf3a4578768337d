// An agent drags in real apps through `tarnwick mcp` while the user types in their window.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "kit/input/SystemDrag.hpp"
#include "tests/x11/AgentDesk.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {


// An element line's pixel frame in a state: x, y, width, height.
std::optional<std::array<double, 4>> frameOf(const std::string& state, const std::string& line) {
  std::smatch found;
  if (!std::regex_search(state, found, std::regex("\\] " + line + "[^\\n]*@(\\d+),(\\d+) (\\d+)x(\\d+)"))) return std::nullopt;
  return std::array<double, 4>{std::stod(found[1]), std::stod(found[2]), std::stod(found[3]), std::stod(found[4])};
}

class Drags : public AgentDesk {};

}  // namespace

TEST_F(Drags, ASliderDraggedFromItsMiddleToItsEndReadsItsMaximum) {
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  const UserSide before;
  auto typing = userTypes("dragging meanwhile");
  const std::string state = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  auto slider = frameOf(state, "slider");
  ASSERT_TRUE(slider) << state;
  auto [x, y, width, height] = *slider;
  const bool wide = width > height;
  const double fromX = x + width / 2, fromY = y + height / 2;
  auto element = ElementSearch::withRole(AX::application(factory->pid), "AXSlider");
  ASSERT_TRUE(element);
  auto maximum = AX::attribute<double>(*element, "AXMaxValue");
  ASSERT_TRUE(maximum);
  ASSERT_LT(AX::attribute<double>(*element, "AXValue").value_or(*maximum), *maximum);
  const double toX = wide ? x + width + 20 : fromX, toY = wide ? fromY : y + height + 20;
  EXPECT_EQ(firstLine(tool("drag", {{"app", "gtk3-widget-factory"}, {"from_x", fromX}, {"from_y", fromY},
                                    {"to_x", toX}, {"to_y", toY}})),
            "Dragged from (" + std::to_string(int(fromX)) + ", " + std::to_string(int(fromY)) + ") to (" +
                std::to_string(int(toX)) + ", " + std::to_string(int(toY)) + ").");
  EXPECT_EQ(AX::attribute<double>(*element, "AXValue"), maximum);
  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "dragging meanwhile"; })) << readFile(typedFile());
  EXPECT_EQ(UserSide(), before);
}

namespace {

// Screenshot pixels of a text element's character: its screen bounds less the offset
// between the element's screen frame and its frame in the state.
struct TextPixels {
  AXElement element;
  Point offset;
  static std::optional<TextPixels> of(pid_t pid, const std::string& role, const std::string& state,
                                      const std::string& line, const std::optional<std::string>& value = std::nullopt) {
    auto element = ElementSearch::first(AX::application(pid), [&](const AXElement& each) {
      return ElementSearch::hasRole(each, role) && (!value || AX::attribute<std::string>(each, "AXValue") == value);
    });
    auto listed = frameOf(state, line);
    auto frame = element ? AX::frame(*element) : std::nullopt;
    if (!listed || !frame) return std::nullopt;
    return TextPixels{*element, {frame->origin.x - (*listed)[0], frame->origin.y - (*listed)[1]}};
  }
  // The middle of the character at the offset, or a point just left of it.
  std::optional<Point> at(int64_t character, bool leftEdge = false) const {
    auto bounds = AX::parameterized(element, "AXBoundsForRange", TextRange{character, 1});
    if (!bounds || !std::holds_alternative<Rect>(*bounds)) return std::nullopt;
    const Rect& rect = std::get<Rect>(*bounds);
    return Point{rect.origin.x + (leftEdge ? 1 : rect.size.width / 2) - offset.x,
                 rect.origin.y + rect.size.height / 2 - offset.y};
  }
  std::string text() const { return AX::attribute<std::string>(element, "AXValue").value_or("?"); }
};

}  // namespace

TEST_F(Drags, SelectedTextIsMovedWithinMousepadAndCopiedIntoAnotherAppsEntry) {
  const std::string file = fileWith("drag.txt", "alpha beta gamma");
  const auto editor = openInMousepad(file);
  ASSERT_TRUE(editor);
  const UserSide before;
  auto typing = userTypes("text moves elsewhere");
  std::string state = tool("get_app_state", {{"app", "mousepad"}});
  std::smatch found;
  ASSERT_TRUE(std::regex_search(state, found, std::regex(R"(\[(\d+)\] text area)"))) << state;
  const int64_t index = std::stoll(found[1]);
  auto area = TextPixels::of(editor->pid, "AXTextArea", state, "text area");
  ASSERT_TRUE(area) << state;
  EXPECT_EQ(firstLine(tool("select_text", {{"app", "mousepad"}, {"element_index", index}, {"text", "beta"}})),
            "Selected \"beta\".");
  auto from = area->at(7), to = area->at(0, true);
  ASSERT_TRUE(from && to);
  EXPECT_EQ(firstLine(tool("drag", {{"app", "mousepad"}, {"from_x", from->x}, {"from_y", from->y}, {"to_x", to->x},
                                    {"to_y", to->y}})),
            "Moved the selected text through accessibility; verified the resulting text without using the system "
            "clipboard or drag loop.");
  EXPECT_EQ(area->text(), "betaalpha  gamma");

  // Copied with alt into the factory's entry, before its first character.
  EXPECT_EQ(firstLine(tool("select_text", {{"app", "mousepad"}, {"element_index", index}, {"text", "gamma"}})),
            "Selected \"gamma\".");
  const std::string factoryState = tool("get_app_state", {{"app", "gtk3-widget-factory"}});
  auto factory = window("gtk3-widget-factory");
  ASSERT_TRUE(factory);
  auto entry = TextPixels::of(factory->pid, "AXTextField", factoryState, "text field value=\"entry\"", "entry");
  ASSERT_TRUE(entry) << factoryState;
  from = area->at(13);
  to = entry->at(0, true);
  ASSERT_TRUE(from && to);
  EXPECT_EQ(firstLine(tool("drag", {{"app", "mousepad"}, {"from_x", from->x}, {"from_y", from->y}, {"to_x", to->x},
                                    {"to_y", to->y}, {"to_app", "gtk3-widget-factory"}, {"key", "alt"}})),
            "Copied the selected text through accessibility; verified the resulting text without using the system "
            "clipboard or drag loop.");
  EXPECT_EQ(entry->text(), "gammaentry");
  EXPECT_EQ(area->text(), "betaalpha  gamma");
  AX::set(entry->element, "AXValue", std::string("entry"));

  // A pen stroke over selected text starts GTK's drag and drop, which is cancelled.
  EXPECT_EQ(firstLine(tool("select_text", {{"app", "mousepad"}, {"element_index", index}, {"text", "alpha"}})),
            "Selected \"alpha\".");
  const auto alpha = int64_t(area->text().find("alpha"));
  from = area->at(alpha + 2);
  to = area->at(14);
  ASSERT_TRUE(from && to);
  const uint64_t dragsBefore = desktop_->windowServer().dragSource(editor->pid).begun;
  EXPECT_EQ(tool("drag", {{"app", "mousepad"}, {"from_x", from->x}, {"from_y", from->y}, {"to_x", to->x},
                          {"to_y", to->y}, {"path", {{from->x + 20, from->y + 30}}}}),
            SystemDrag::cancelledMessage);
  EXPECT_GT(desktop_->windowServer().dragSource(editor->pid).begun, dragsBefore) << "it took the drag selection";
  EXPECT_FALSE(SystemDrag::showsDragImage(editor->pid));
  EXPECT_FALSE(desktop_->windowServer().dragSource(editor->pid).holdsData);
  EXPECT_EQ(area->text(), "betaalpha  gamma");

  typing.wait();
  EXPECT_TRUE(eventually([&] { return readFile(typedFile()) == "text moves elsewhere"; })) << readFile(typedFile());
  expectUserSideKept(before, UserSide());
  desktop_->workspace().requestQuit(editor->pid);
}
