#include <gtest/gtest.h>

#include "app/folder_steps.h"
#include "app/picture_files.h"

namespace kamolt {
namespace {

TEST(ExtensionKey, UpperCasesTheLastExtensionOfTheFilePart) {
  EXPECT_EQ(ExtensionKey("photo.jpg"), ".JPG.");
  EXPECT_EQ(ExtensionKey("C:\\a.b\\photo.Jpg"), ".JPG.");
  EXPECT_EQ(ExtensionKey("archive.tar.gz"), ".GZ.");
  EXPECT_EQ(ExtensionKey("C:\\alt.dir\\scan"), ".");
  EXPECT_EQ(ExtensionKey("noext"), ".");
  EXPECT_EQ(ExtensionKey("trailing."), "..");
}

TEST(ReaderFor, FollowsTheExtensionLists) {
  EXPECT_EQ(ReaderFor(ExtensionKey("x.jpeg")), PictureReader::Refused);
  EXPECT_EQ(ReaderFor(ExtensionKey("x.txt")), PictureReader::Refused);
  EXPECT_EQ(ReaderFor(ExtensionKey("x.Jpg")), PictureReader::Converter);
  for (const char* name : {"a.gif", "a.pcx", "a.tif", "a.eps", "a.pcd"}) {
    EXPECT_EQ(ReaderFor(ExtensionKey(name)), PictureReader::Converter) << name;
  }
  for (const char* name : {"a.bmp", "a.ICO", "a.wmf", "a.emf"}) {
    EXPECT_EQ(ReaderFor(ExtensionKey(name)), PictureReader::Platform) << name;
  }
  EXPECT_EQ(ReaderFor(ExtensionKey("a.png")), PictureReader::Png);
  // "." sits in every list, so a bare name goes to a converter named by the empty extension.
  EXPECT_EQ(ReaderFor(ExtensionKey("noext")), PictureReader::Converter);
  EXPECT_EQ(ReaderFor(".JP."), PictureReader::Refused);
}

TEST(PictureTitle, NameAndSizeUnlessOverridden) {
  EXPECT_EQ(PictureTitle("C:\\bilder\\a.bmp", 640, 480, ""), "C:\\bilder\\a.bmp (640x480)");
  EXPECT_EQ(PictureTitle("a.bmp", 640, 480, "Fest"), "Fest");
  EXPECT_EQ(IconViewWidth("a.ico"), 9 * 5 + 60);
  EXPECT_TRUE(IsIconKey(".ICO."));
  EXPECT_TRUE(FitsRightAfterLoading(".BMP."));
  EXPECT_FALSE(FitsRightAfterLoading(".ICO."));
  EXPECT_FALSE(FitsRightAfterLoading(".JPG."));
}

class FolderStepsTest : public ::testing::Test {
 protected:
  // accepted[i] says whether entry i would load
  int Step(FolderStep step, int from, std::vector<bool> accepted) {
    tried_.clear();
    return StepThroughFolder(step, from, static_cast<int>(accepted.size()), [&](int i) {
      tried_.push_back(i);
      EXPECT_GE(i, 0);
      EXPECT_LT(i, static_cast<int>(accepted.size()));
      return accepted.at(static_cast<std::size_t>(i));
    });
  }
  std::vector<int> tried_;
};

TEST_F(FolderStepsTest, NextAndPreviousSkipRefusedEntries) {
  EXPECT_EQ(Step(FolderStep::Next, 0, {true, false, false, true}), 3);
  EXPECT_EQ(tried_, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Step(FolderStep::Previous, 3, {true, false, false, true}), 0);
  EXPECT_EQ(tried_, (std::vector<int>{2, 1, 0}));
}

TEST_F(FolderStepsTest, RunningOffAnEndKeepsThePosition) {
  EXPECT_EQ(Step(FolderStep::Next, 1, {true, true, false}), 1);
  EXPECT_EQ(Step(FolderStep::Previous, 1, {false, true}), 1);
  EXPECT_EQ(Step(FolderStep::Next, 2, {true, true, true}), 2);
  EXPECT_TRUE(tried_.empty());
}

TEST_F(FolderStepsTest, FirstAndLastWithoutAnyLoadableFile) {
  EXPECT_EQ(Step(FolderStep::First, 2, {false, false, false}), 0);
  EXPECT_EQ(Step(FolderStep::Last, 0, {false, false, false}), 2);
  EXPECT_EQ(Step(FolderStep::First, 2, {false, true, true}), 1);
  EXPECT_EQ(Step(FolderStep::Last, 0, {true, true, false}), 1);
}

TEST_F(FolderStepsTest, StalePositionBeyondTheListStaysInside) {
  EXPECT_EQ(Step(FolderStep::Next, 9, {true, true}), 9);
  EXPECT_TRUE(tried_.empty());
  EXPECT_EQ(Step(FolderStep::Previous, 9, {true, true}), 1);
}

}  // namespace
}  // namespace kamolt
