#include "app/view_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/viewer_commands.h"

namespace kamolt {
namespace {

constexpr Size kScreen{1024, 768};

TEST(ViewGeometry, AdjustGivesTheLimitingSideTheWholeScreen) {
  EXPECT_EQ(UsableClientSize(kScreen), (Size{1016, 741}));
  const ViewChange small = ViewKey('A', kScreen, {100, 100}, {363, 307});
  EXPECT_EQ(small.size, (Size{740, 741}));
  EXPECT_TRUE(small.stretch);
  EXPECT_EQ(small.storedFitMode, 2);
  EXPECT_EQ(ViewKey('a', kScreen, {2000, 1000}, {}).size, (Size{1016, 500}));
}

// Each view must keep the picture's aspect ratio to within a tenth, be at least a pixel on
// each side and stay inside the usable screen; the screen-filling examples keep their exact sizes.
TEST(ViewGeometry, AdjustKeepsTheAspectOfEveryPicture) {
  const Size usable = UsableClientSize(kScreen);
  const struct {
    Size picture;
    Size expected;
  } cases[] = {
      {{100, 100}, {740, 741}},  {{2000, 1000}, {1016, 500}}, {{6000, 4000}, {1016, 677}},
      {{12000, 800}, {1016, 67}}, {{800, 12000}, {49, 741}},   {{50000, 3}, {1016, 1}},
  };
  for (const auto& c : cases) {
    for (const char key : {'A', 'G'}) {
      if (key == 'G' && c.picture == Size{100, 100}) continue;  // fits, so it keeps its natural size
      const Size view = ViewKey(key, kScreen, c.picture, {}).size;
      SCOPED_TRACE(testing::Message() << key << " " << c.picture.width << "x" << c.picture.height << " -> "
                                      << view.width << "x" << view.height);
      EXPECT_EQ(view, c.expected);
      EXPECT_TRUE(view.width >= 1 && view.height >= 1 && view.width <= usable.width && view.height <= usable.height);
      EXPECT_TRUE(view.width == usable.width || view.height == usable.height);
      // A side held at its last pixel cannot keep the proportion; every other one must.
      if (view.width > 1 && view.height > 1) {
        const double scaleX = static_cast<double>(view.width) / c.picture.width;
        const double scaleY = static_cast<double>(view.height) / c.picture.height;
        EXPECT_GE(std::min(scaleX, scaleY) / std::max(scaleX, scaleY), 0.9);
      }
    }
  }
}

TEST(ViewGeometry, ShowCompleteKeepsSmallPicturesAtNaturalSize) {
  const ViewChange fits = ViewKey('G', kScreen, {640, 480}, {});
  EXPECT_EQ(fits.size, (Size{640, 480}));
  EXPECT_FALSE(fits.stretch);
  EXPECT_EQ(fits.storedFitMode, 3);
  const ViewChange wide = ViewKey('g', kScreen, {2000, 1000}, {});
  EXPECT_EQ(wide.size, (Size{1016, 500}));
  EXPECT_TRUE(wide.stretch);
  // As wide as the usable width no longer fits.
  EXPECT_TRUE(ViewKey('G', kScreen, {1016, 100}, {}).stretch);
}

TEST(ViewGeometry, EmptyPictureNeverDivides) {
  const ViewChange adjust = ViewKey('A', kScreen, {0, 0}, {363, 307});
  EXPECT_EQ(adjust.size, (Size{0, 0}));
  EXPECT_EQ(adjust.storedFitMode, 0);
  const ViewChange complete = ViewKey('G', kScreen, {0, 0}, {363, 307});
  EXPECT_EQ(complete.size, (Size{0, 0}));
  EXPECT_EQ(complete.storedFitMode, 3);
  EXPECT_EQ(ViewKey('/', kScreen, {0, 0}, {}).size, (Size{1016, 741}));
}

TEST(ViewGeometry, ZoomWorksOnTheControlAndTruncates) {
  EXPECT_EQ(ViewKey('+', kScreen, {1, 1}, {200, 100}).size, (Size{300, 150}));
  EXPECT_EQ(ViewKey('-', kScreen, {1, 1}, {300, 150}).size, (Size{200, 100}));
  EXPECT_EQ(ViewKey('-', kScreen, {1, 1}, {100, 50}).size, (Size{66, 33}));
  EXPECT_EQ(ViewKey('+', kScreen, {1, 1}, {100, 50}).storedFitMode, -1);
}

TEST(ViewGeometry, FitModeOutsideTheKnownValuesIsNaturalSize) {
  EXPECT_EQ(FitModeFromSetting(2), FitMode::Adjust);
  EXPECT_EQ(FitModeFromSetting(7), FitMode::NaturalSize);
  EXPECT_EQ(FitModeFromSetting(-1), FitMode::NaturalSize);
  EXPECT_TRUE(IsViewKey('*'));
  EXPECT_FALSE(IsViewKey('\0'));
  EXPECT_FALSE(IsViewKey('x'));
}

TEST(ViewGeometry, ScrollBarsOnlyForWhatTheScreenCannotShow) {
  EXPECT_EQ(ScrollRanges(kScreen, {1016, 741}), (Size{0, 0}));
  EXPECT_EQ(ScrollRanges(kScreen, {1017, 742}), (Size{1017, 742}));
  EXPECT_EQ(ScrollRanges(kScreen, {300, 2000}), (Size{0, 2000}));
}

TEST(ViewGeometry, PlacementPushesBackButNotPastMinusFour) {
  EXPECT_EQ(PlaceOnAxis(102, 2030, 102, 768), -4);
  EXPECT_EQ(PlaceOnAxis(102, 700, 102, 768), 68);
  EXPECT_EQ(PlaceOnAxis(68, 300, 102, 768), 102) << "back home once it fits there";
  EXPECT_EQ(PlaceOnAxis(50, 700, 102, 768), 50) << "fits where it is but not at home";
}

TEST(ViewerCommands, KeyMap) {
  EXPECT_EQ(CommandForCharacter(3), ViewerCommand::CopyPicture);
  EXPECT_EQ(CommandForCharacter(' '), ViewerCommand::NextPicture);
  EXPECT_EQ(CommandForCharacter(8), ViewerCommand::PreviousPicture);
  EXPECT_EQ(CommandForCharacter('o'), ViewerCommand::OpenPicture);
  EXPECT_EQ(CommandForCharacter('x'), std::nullopt);
  EXPECT_EQ(CommandForKey(keys::kHome, true), ViewerCommand::FirstPicture);
  EXPECT_EQ(CommandForKey(keys::kEnd, false), ViewerCommand::LastPicture);
  EXPECT_EQ(CommandForKey(keys::kUp, true), ViewerCommand::ScrollTop);
  EXPECT_EQ(CommandForKey(keys::kUp, false), ViewerCommand::ScrollUp);
  EXPECT_EQ(CommandForKey(keys::kPageDown, true), ViewerCommand::ScrollPageDown);
  EXPECT_EQ(CommandForKey(0x70, false), std::nullopt) << "F1 is left to the platform's help request";
  EXPECT_EQ(CommandForKey(0x41, false), std::nullopt);
}

}  // namespace
}  // namespace kamolt

#include "app/print_layout.h"

namespace kamolt {
namespace {

TEST(PrintLayout, ScalesByTheTighterSide) {
  const PrintLayout layout = LayOutPrint({4800, 6800}, {1000, 500}, 50);
  EXPECT_EQ(layout.printed, (Size{4757, 2378}));
  EXPECT_EQ(layout.pictureTop, 50);
  EXPECT_EQ(layout.titleY, 42);
  EXPECT_EQ(layout.titleX, 30);
  EXPECT_EQ(LayOutPrint({4800, 6800}, {100, 3000}, 50).printed, (Size{221, 6632}));
  EXPECT_EQ(LayOutPrint({4800, 6800}, {10, 10}, 120).titleY, 1) << "the title never leaves the page";
  EXPECT_EQ(LayOutPrint({10, 10}, {10, 10}, 50).printed, (Size{0, 0})) << "no negative sizes on tiny pages";
}

}  // namespace
}  // namespace kamolt
