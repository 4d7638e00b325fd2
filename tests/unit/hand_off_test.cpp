#include "clip/hand_off.h"

#include <gtest/gtest.h>

#include <climits>

namespace kamolt {
namespace {

TEST(HandOff, TextIsNameCountAndMarkerBetweenApostrophes) {
  struct Case {
    std::string_view name;
    std::int32_t count;
    std::string_view marker;
    std::string_view text;
  };
  const Case cases[] = {
      {"C:\\BILDER\\BILD05.JPG", 5, "C", "C:\\BILDER\\BILD05.JPG'5'C"},
      {"C:\\B\\X01.JPG", 1, "C", "C:\\B\\X01.JPG'1'C"},
      {"C:\\B\\X01", 0, "C", "C:\\B\\X01'0'C"},
      {"", 2, "C", "'2'C"},
      {"D:\\bild01.JPG", 12, "S", "D:\\bild01.JPG'12'S"},
      {"x", INT_MIN, "S", "x'-2147483648'S"},
  };
  for (const Case& c : cases) EXPECT_EQ(HandOffText(c.name, c.count, c.marker), c.text) << c.name;
  // Bytes of the ANSI code page go through as they are.
  EXPECT_EQ(HandOffText("C:\\Bilder\\Gr\xF6\xDF" "e.BMP", 3, "C"), "C:\\Bilder\\Gr\xF6\xDF" "e.BMP'3'C");
}

TEST(HandOff, RecordFramesTheTextWithNineBytes) {
  const std::string text = HandOffText("C:\\B\\X03.JPG", 3, "C");
  const std::string record = HandOffRecord(text);
  ASSERT_EQ(record.size(), text.size() + 9);
  EXPECT_EQ(record, std::string("\x04OBILD01C:\\B\\X03.JPG'3'C\x04"));
  EXPECT_EQ(HandOffRecord(""), std::string("\x04OBILD01\x04"));
}

TEST(HandOff, OnlyASeriesIsSentToTheHost) {
  EXPECT_FALSE(HandOffNeedsMessage(0));
  EXPECT_FALSE(HandOffNeedsMessage(1));
  EXPECT_TRUE(HandOffNeedsMessage(2));
  // The longest record the platform's paths allow still fits the section.
  EXPECT_GE(kHandOffSectionSize, HandOffRecord(HandOffText(std::string(32767, 'a'), INT_MIN, "C")).size());
}

}  // namespace
}  // namespace kamolt
