#include <gtest/gtest.h>

#include "kit/tools/Arguments.hpp"
#include "kit/tools/MouseButton.hpp"
#include "kit/common/ToolError.hpp"

namespace {

std::string failure(const std::function<void()>& read) {
  try {
    read();
  } catch (const ToolError& error) {
    return error.description;
  }
  return "(no failure)";
}

}  // namespace

TEST(Arguments, StringsCoerceNumbersAndBooleansAndTreatEmptyAsAbsent) {
  Arguments a(Json{{"n", 42}, {"f", 2.5}, {"whole", 3.0}, {"t", true}, {"e", ""}, {"o", Json::object()}});
  EXPECT_EQ(a.optionalString("n"), "42");
  EXPECT_EQ(a.optionalString("f"), "2.5");
  EXPECT_EQ(a.optionalString("whole"), "3");
  EXPECT_EQ(a.optionalString("t"), "1");
  EXPECT_EQ(a.optionalString("e"), std::nullopt);
  EXPECT_EQ(a.optionalString("o"), std::nullopt);
  EXPECT_EQ(a.string("e"), "");
  EXPECT_EQ(failure([&] { a.string("o"); }), "Missing argument \"o\".");
  EXPECT_EQ(failure([&] { a.string("missing"); }), "Missing argument \"missing\".");
}

TEST(Arguments, NumbersComeFromJsonNumbersOrNumericText) {
  Arguments a(Json{{"x", 120.5}, {"xs", "120.5"}, {"hex", "0x10"}, {"neg", "-3"}, {"bad", "12px"},
                   {"spaced", " 1"}, {"b", false}, {"o", Json::array()}});
  EXPECT_EQ(a.doubleValue("x"), 120.5);
  EXPECT_EQ(a.doubleValue("xs"), 120.5);
  EXPECT_EQ(a.doubleValue("hex"), 16);
  EXPECT_EQ(a.doubleValue("neg"), -3);
  EXPECT_EQ(a.doubleValue("bad"), std::nullopt);
  EXPECT_EQ(a.doubleValue("spaced"), std::nullopt);
  EXPECT_EQ(a.doubleValue("b"), 0);
  EXPECT_EQ(a.doubleValue("o"), std::nullopt);
}

TEST(Arguments, IntegersTruncateTowardZeroAndRefuseWhatNoIntegerHolds) {
  Arguments a(Json{{"i", 7.9}, {"n", -7.9}, {"inf", "inf"}, {"huge", 1e30}, {"text", "x"}});
  EXPECT_EQ(a.requireInt("i"), 7);
  EXPECT_EQ(a.requireInt("n"), -7);
  EXPECT_EQ(failure([&] { a.requireInt("text"); }), "Missing number \"text\".");
  EXPECT_EQ(failure([&] { a.requireInt("missing"); }), "Missing number \"missing\".");
  EXPECT_NE(failure([&] { a.optionalInt("inf"); }), "(no failure)");
  EXPECT_NE(failure([&] { a.optionalInt("huge"); }), "(no failure)");
}

TEST(Arguments, WindowIDsAreRangeChecked) {
  EXPECT_EQ(Arguments(Json{{"window_id", "77"}}).windowID(), 77u);
  EXPECT_EQ(Arguments(Json{{"window_id", "x"}}).windowID(), std::nullopt);
  EXPECT_EQ(Arguments(Json::object()).windowID(), std::nullopt);
  EXPECT_NE(failure([] { Arguments(Json{{"window_id", -1}}).windowID(); }), "(no failure)");
  EXPECT_NE(failure([] { Arguments(Json{{"window_id", 4294967296.0}}).windowID(); }), "(no failure)");

  const std::string positive = "to_window_id must be a positive window ID; no drag was started.";
  for (Json bad : {Json(0), Json(-4), Json(2.5), Json("abc"), Json(4294967296.0)}) {
    EXPECT_EQ(failure([&] { Arguments(Json{{"to_window_id", bad}}).validWindowID("to_window_id"); }), positive)
        << bad.dump();
  }
  EXPECT_EQ(Arguments(Json{{"to_window_id", "12"}}).validWindowID("to_window_id"), 12u);
  EXPECT_EQ(Arguments(Json::object()).validWindowID("to_window_id"), std::nullopt);
}

TEST(Arguments, PointsAreListsOfPairs) {
  EXPECT_TRUE(Arguments(Json::object()).points("path").empty());
  EXPECT_TRUE(Arguments(Json{{"path", Json::array()}}).points("path").empty());
  auto points = Arguments(Json{{"path", {{1, "2"}, {3.5, 4}}}}).points("path");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0], std::make_pair(1.0, 2.0));
  EXPECT_EQ(points[1], std::make_pair(3.5, 4.0));
  const std::string message = "\"path\" must be a list of [x, y] pairs.";
  EXPECT_EQ(failure([] { Arguments(Json{{"path", {{1, 2}, {3}}}}).points("path"); }), message);
  EXPECT_EQ(failure([] { Arguments(Json{{"path", {{1, "a"}}}}).points("path"); }), message);
  EXPECT_EQ(failure([] { Arguments(Json{{"path", "1,2"}}).points("path"); }), message);
}

TEST(MouseButtonParsing, AcceptsNamesAndInitialsInAnyCase) {
  EXPECT_EQ(parseMouseButton(std::nullopt), MouseButton::left);
  EXPECT_EQ(parseMouseButton("L"), MouseButton::left);
  EXPECT_EQ(parseMouseButton("R"), MouseButton::right);
  EXPECT_EQ(parseMouseButton("Right"), MouseButton::right);
  EXPECT_EQ(parseMouseButton("center"), MouseButton::middle);
  EXPECT_EQ(parseMouseButton("m"), MouseButton::middle);
  EXPECT_EQ(failure([] { parseMouseButton("Side"); }), "Unknown mouse_button \"Side\". Use left, right or middle.");
}
