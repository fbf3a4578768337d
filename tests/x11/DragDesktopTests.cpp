// An agent drags in real apps through `tarnwick mcp` while the user types in their window.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "tests/x11/AgentDesk.hpp"
#include "tests/x11/ElementSearch.hpp"

namespace {

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

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
