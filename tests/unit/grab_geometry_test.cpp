#include "clip/grab_geometry.h"

#include <gtest/gtest.h>

namespace kamolt {
namespace {

TEST(GrabGeometry, ClientAreaInsideTheWindowRectangle) {
  struct Case {
    int windowWidth, windowHeight, clientWidth, clientHeight;
    bool band;
    GrabRectangle expected;
  };
  const Case cases[] = {
      {656, 519, 640, 480, false, {8, 31, 640, 480}},
      {656, 519, 640, 480, true, {8, 31, 640, 496}},
      {640, 480, 640, 480, false, {0, 0, 640, 480}},  // no frame at all
      {329, 260, 320, 240, false, {4, 16, 320, 240}},  // an odd frame is cut toward zero
      {10, 10, 0, 0, true, {5, 5, 0, 16}},
  };
  for (const Case& c : cases) {
    const GrabRectangle r = GrabRectangleFor(c.windowWidth, c.windowHeight, c.clientWidth, c.clientHeight, c.band);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.width, c.expected.width);
    EXPECT_EQ(r.height, c.expected.height);
  }
  EXPECT_TRUE(StampHasBand("Hallo ", '0'));
  EXPECT_FALSE(StampHasBand("", '0'));
  EXPECT_FALSE(StampHasBand("Hallo ", '1'));
}

TEST(GrabGeometry, FiveStampPlacements) {
  struct Case {
    char position;
    int x, y;
    bool band;
  };
  // A 320 x 240 picture and a text of 150 x 13.
  const Case cases[] = {
      {'0', 0, 227, true}, {'1', 170, 0, false}, {'2', 170, 227, false},
      {'4', 0, 0, false},  {'3', 0, 227, false}, {'x', 0, 227, false},
  };
  for (const Case& c : cases) {
    const StampPlacement p = PlaceStamp(c.position, 320, 240, 150, 13);
    EXPECT_EQ(p.x, c.x) << c.position;
    EXPECT_EQ(p.y, c.y) << c.position;
    EXPECT_EQ(p.whiteBand, c.band) << c.position;
  }
  // A text wider than the picture starts left of it rather than being moved in.
  EXPECT_EQ(PlaceStamp('1', 100, 50, 150, 13).x, -50);
}

TEST(GrabGeometry, StampLineHasDateTimeAndText) {
  EXPECT_EQ(StampLine("08.12.2026", 9, 5, "Hallo "), " 08.12.2026 09:05  Hallo ");
  EXPECT_EQ(StampLine("12/8/2026", 23, 59, ""), " 12/8/2026 23:59  ");
}

}  // namespace
}  // namespace kamolt
