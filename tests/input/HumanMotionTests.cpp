#include <gtest/gtest.h>

#include <cmath>

#include "kit/input/HumanMotion.hpp"

using HumanMotion::distance;

TEST(HumanMotion, ATravelStartsAtTheStartLandsExactlyOnTheTargetAndSamplesLikeAHand) {
  for (int run = 0; run < 50; ++run) {
    Point from{100, 100}, to{700, 420};
    Movement movement = HumanMotion::travel(from, to, 20);
    ASSERT_GE(movement.samples.size(), 10u);
    EXPECT_EQ(movement.samples.back(), (MotionSample{to, movement.path.duration}));
    EXPECT_EQ(movement.path.point(movement.path.duration + 1), to);
    EXPECT_LT(distance(movement.samples.front().point, from), 15) << "the first event is near the start";
    for (size_t i = 1; i + 1 < movement.samples.size(); ++i) {
      double gap = movement.samples[i].time - movement.samples[i - 1].time;
      EXPECT_GE(gap, 0.006 - 1e-9);
      EXPECT_LE(gap, 0.010 + 1e-9);
    }
    EXPECT_GE(movement.path.duration, 0.09);
    EXPECT_LE(movement.path.duration, 1.4 + 0.8 * 1.4);
  }
}

TEST(HumanMotion, ShortAndNullMovesAreDirect) {
  Movement resting = HumanMotion::travel({50, 50}, {50.4, 50.2}, 10);
  EXPECT_EQ(resting.path.duration, 0);
  ASSERT_EQ(resting.samples.size(), 1u);
  EXPECT_EQ(resting.samples[0].point, (Point{50.4, 50.2}));

  for (int run = 0; run < 20; ++run) {
    EXPECT_EQ(HumanMotion::aimPoint({0, 0}, {40, 40}, distance({0, 0}, {40, 40})), (Point{40, 40}));
    Point aim = HumanMotion::aimPoint({0, 0}, {1000, 0}, 1000);
    EXPECT_LE(std::abs(aim.x - 1000), 28);
    EXPECT_LE(std::abs(aim.y), 12);
  }
}

TEST(HumanMotion, FittsDurationGrowsWithDistanceWithinItsBoundsAndTreatsTinyTargetsAsFourPoints) {
  for (int run = 0; run < 50; ++run) {
    EXPECT_GE(HumanMotion::fittsDuration(1, 100), 0.09);
    EXPECT_LE(HumanMotion::fittsDuration(1, 100), 0.135);
    EXPECT_LE(HumanMotion::fittsDuration(1e7, 1), 1.4);
    double tiny = HumanMotion::fittsDuration(400, 0);
    double expected = 0.11 + 0.11 * std::log2(400 / 4.0 + 1);
    EXPECT_GE(tiny, expected * 0.85 - 1e-9);
    EXPECT_LE(tiny, expected * 1.2 + 1e-9);
  }
}

TEST(HumanMotion, AFirstTravelEntersFromInsideTheWindow) {
  Rect window{{100, 100}, {800, 600}};
  for (int run = 0; run < 100; ++run) {
    Point entry = HumanMotion::entryPoint({500, 400}, window);
    EXPECT_GE(entry.x, 112);
    EXPECT_LE(entry.x, 888);
    EXPECT_GE(entry.y, 112);
    EXPECT_LE(entry.y, 688);
    EXPECT_LE(distance(entry, {500, 400}), 320 + 1e-9);
  }
}

TEST(HumanMotion, TracesFollowTheirPointsAndRestWhenThereIsNowhereToGo) {
  Movement still = HumanMotion::trace({{10, 10}, {10, 10}});
  EXPECT_EQ(still.path.duration, 0);
  ASSERT_EQ(still.samples.size(), 1u);

  Movement corner = HumanMotion::trace({{0, 0}, {300, 0}, {300, 300}});
  EXPECT_EQ(corner.samples.back().point, (Point{300, 300}));
  EXPECT_GT(corner.path.duration, 0.3);
  for (size_t i = 1; i < corner.samples.size(); ++i) EXPECT_GT(corner.samples[i].time, corner.samples[i - 1].time);
  Point middle = corner.path.point(corner.path.duration / 2);
  EXPECT_LT(std::min(std::abs(middle.y), std::abs(middle.x - 300)), 30) << "the route keeps to the corner's legs";
}
