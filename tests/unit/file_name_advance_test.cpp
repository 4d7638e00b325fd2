#include "clip/file_name_advance.h"

#include <gtest/gtest.h>

#include <set>

namespace kamolt {
namespace {

TEST(AdvanceFileName, CountsTheTwoCharactersBeforeTheExtension) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"C:\\P\\BILD07.JPG", "C:\\P\\BILD08.JPG"},
      {"C:\\P\\BILD09.JPG", "C:\\P\\BILD0A.JPG"},
      {"C:\\P\\BILD0Z.JPG", "C:\\P\\BILD10.JPG"},
      {"C:\\P\\BILD9Z.JPG", "C:\\P\\BILDA0.JPG"},
      {"C:\\P\\BILDZZ.JPG", "C:\\P\\BILD[0.JPG"},
      {"C:\\P\\BILD[Z.JPG", "C:\\P\\BILD]0.JPG"},  // the backslash is stepped over
      {"C:\\P\\bild0a.jpeg", "C:\\P\\bild0b.jpeg"},
      {"C:\\P\\bild0z.jpeg", "C:\\P\\bild0{.jpeg"},  // only Z carries; others go on by code
      {"C:\\P\\BILD0).JPG", "C:\\P\\BILD0+.JPG"},  // no * in a file name
      {"C:\\P\\BILD07.", "C:\\P\\BILD08."},  // a failed save leaves the dot
      {"D:\\a.b\\X01.PNG", "D:\\a.b\\X02.PNG"},
      {"X01.tar.gz", "X01.tas.gz"},  // only the last dot starts the extension
  };
  for (const auto& [name, next] : cases) EXPECT_EQ(AdvanceFileName(name), next) << name;
}

TEST(AdvanceFileName, NamesWithoutExtensionOrRoomForTheCounter) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"C:\\P\\BILD07", "C:\\P\\BILD08"},
      {"C:\\P\\BILD0Z", "C:\\P\\BILD10"},
      {"C:\\P.D\\BILD09", "C:\\P.D\\BILD0A"},  // a dot in a folder is no extension
      {"C:\\P\\7.JPG", "C:\\P\\8.JPG"},
      {"C:\\P\\Z.JPG", "C:\\P\\10.JPG"},  // never into the folder's separator
      {"Z", "10"},
      {"C:\\P\\.JPG", "C:\\P\\1.JPG"},
      {"C:\\P\\", "C:\\P\\1"},
      {"", "1"},
  };
  for (const auto& [name, next] : cases) EXPECT_EQ(AdvanceFileName(name), next) << name;
}

TEST(AdvanceFileName, ALongSeriesNeverRepeatsANameNorLeavesItsFolder) {
  std::set<std::string> seen;
  std::string name = "C:\\P\\B00.JPG";
  for (int i = 0; i < 60000; ++i) {
    ASSERT_TRUE(seen.insert(name).second) << name;
    ASSERT_EQ(name.rfind("C:\\P\\B", 0), 0u) << name;
    ASSERT_EQ(name.find_first_of("/\\:*?\"<>|", 5), std::string::npos) << name;
    name = AdvanceFileName(name);
  }
  EXPECT_EQ(AdvanceFileName("\xFF\xFF.JPG"), "\xFF" "00.JPG");
}

}  // namespace
}  // namespace kamolt
