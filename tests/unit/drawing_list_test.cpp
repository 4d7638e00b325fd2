#include "app/drawing_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

namespace kamolt {
namespace {

constexpr std::uint32_t kColour = 0x00112233;

std::vector<DrawingOperation> Parse(std::string_view text) { return ParseDrawingCommands(text, kColour); }

LineOperation Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t width,
              PenPattern pattern = PenPattern::Solid, std::uint32_t colour = kColour) {
  return LineOperation{x1, y1, x2, y2, width, pattern, colour};
}
MarkOperation Mark(std::int32_t x, std::int32_t y, std::int32_t penWidth = 1) { return MarkOperation{x, y, penWidth, kColour}; }
DrawingOperation Text(std::int32_t x, std::int32_t y, std::int32_t points, std::string text) {
  return TextOperation{x, y, points, std::move(text)};
}

TEST(DrawingListSource, LeadingDigitMeansInlineCommands) {
  EXPECT_EQ(DrawingCommandText("100,50"), "100,50");
  EXPECT_EQ(DrawingCommandText("0;L1,2,3,4,5"), "0;L1,2,3,4,5");
  EXPECT_EQ(DrawingCommandText(""), "");
}

TEST(DrawingListSource, AnythingElseNamesAFileAndAMissingOneDrawsNothing) {
  EXPECT_EQ(DrawingCommandText("L0,0,10,10"), "");
  EXPECT_EQ(DrawingCommandText(" 100,50"), "") << "a blank is not a digit";
}

TEST(DrawingListSource, FileLinesBecomeCommandsWhateverTheLineEnds) {
  const auto path = std::filesystem::temp_directory_path() / "kamolt_drawing_list_test.txt";
  {
    std::ofstream file(path, std::ios::binary);
    file << "L0,0,10,10,3\r\n100,50\r\nT1,2,12,a;b\r\n";
  }
  EXPECT_EQ(DrawingCommandText(path.string()), "L0,0,10,10,3;100,50;T1,2,12,a;b;");
  EXPECT_EQ(CommandTextFromFile("L0,0,10,10,3\r\n100,50\r\n"), CommandTextFromFile("L0,0,10,10,3\n100,50\n"));
  EXPECT_EQ(CommandTextFromFile("a\rb\n\n\xE4"), "ab;;\xE4") << "lone CR dropped, other bytes kept";
  std::filesystem::remove(path);
}

TEST(DrawingListCommands, PointMarksWithOrWithoutTheirLetter) {
  EXPECT_EQ(Parse("100,50"), std::vector<DrawingOperation>{Mark(100, 50)});
  EXPECT_EQ(Parse("P100,50"), std::vector<DrawingOperation>{Mark(100, 50)});
  EXPECT_EQ(Parse("P100"), std::vector<DrawingOperation>{}) << "no comma, no mark";
  EXPECT_EQ(Parse(";;7;"), std::vector<DrawingOperation>{}) << "empty commands and a lone number";
  EXPECT_EQ(Parse("100,50,7"), std::vector<DrawingOperation>{Mark(100, 0)}) << "y is all after the first comma";
  EXPECT_EQ(Parse(",")[0], DrawingOperation{Mark(0, 0)});
}

TEST(DrawingListCommands, LettersAreCaseSensitive) {
  // "l60" and "t5" are not numbers: the mark lands on the defaults.
  EXPECT_EQ(Parse("l60,60,100,100"), std::vector<DrawingOperation>{Mark(0, 0)});
  EXPECT_EQ(Parse("t5,7"), std::vector<DrawingOperation>{Mark(0, 7)});
  EXPECT_EQ(Parse("p5,7"), std::vector<DrawingOperation>{Mark(0, 7)});
  EXPECT_EQ(Parse("l5"), std::vector<DrawingOperation>{});
}

TEST(DrawingListCommands, LineWidthFieldSetsWidthAndPattern) {
  EXPECT_EQ(Parse("L0,0,10,10,3")[0], DrawingOperation{Line(0, 0, 10, 10, 3)});
  EXPECT_EQ(Parse("L0,0,10,10,-3")[0], DrawingOperation{Line(0, 0, 10, 10, 3, PenPattern::Dotted)});
  EXPECT_EQ(Parse("L0,0,10,10,+3")[0], DrawingOperation{Line(0, 0, 10, 10, 3, PenPattern::Dashed)});
  EXPECT_EQ(Parse("L0,0,10,10,")[0], DrawingOperation{Line(0, 0, 10, 10, 2)}) << "empty width field";
  EXPECT_EQ(Parse("L0,0,10,10,+")[0], DrawingOperation{Line(0, 0, 10, 10, 2, PenPattern::Dashed)});
  EXPECT_EQ(Parse("L0,0,10,10,-")[0], DrawingOperation{Line(0, 0, 10, 10, 2)}) << "malformed, so not negative";
  EXPECT_EQ(Parse("L0,0,10,10, +3")[0], DrawingOperation{Line(0, 0, 10, 10, 3)}) << "the field starts with a blank";
  EXPECT_EQ(Parse("L0,0,10,10,0")[0], DrawingOperation{Line(0, 0, 10, 10, 0)});
}

TEST(DrawingListCommands, EveryCoordinateNeedsItsComma) {
  EXPECT_EQ(Parse("L0,0,10,10")[0], DrawingOperation{Line(0, 0, 10, 0, 10)}) << "y2 is 0, 10 is the width";
  EXPECT_EQ(Parse("L5")[0], DrawingOperation{Line(0, 0, 0, 0, 5)});
  EXPECT_EQ(Parse("L")[0], DrawingOperation{Line(0, 0, 0, 0, 2)});
  EXPECT_EQ(Parse("L1,2,3")[0], DrawingOperation{Line(1, 2, 0, 0, 3)});
  EXPECT_EQ(Parse("Lx,y,3,4,5")[0], DrawingOperation{Line(0, 0, 3, 4, 5)}) << "malformed numbers take 0";
}

TEST(DrawingListCommands, ColourFieldHoldsForItsLineOnly) {
  const auto operations = Parse("L0,0,10,10,3,255;L0,5,10,5,3;L0,0,1,1,1,$0000FF;L0,0,1,1,1,0x00FF00;L0,0,1,1,1,xff0000");
  ASSERT_EQ(operations.size(), 5u);
  EXPECT_EQ(std::get<LineOperation>(operations[0]).colour, 255u);
  EXPECT_EQ(std::get<LineOperation>(operations[1]).colour, kColour);
  EXPECT_EQ(std::get<LineOperation>(operations[2]).colour, 255u);
  EXPECT_EQ(std::get<LineOperation>(operations[3]).colour, 0x00FF00u);
  EXPECT_EQ(std::get<LineOperation>(operations[4]).colour, 0xFF0000u);
  // The whole rest is the colour: a second comma spoils it, an empty one is no colour.
  EXPECT_EQ(std::get<LineOperation>(Parse("L0,0,1,1,1,255,7")[0]).colour, kColour);
  EXPECT_EQ(std::get<LineOperation>(Parse("L0,0,1,1,1,")[0]).colour, kColour);
  EXPECT_EQ(std::get<LineOperation>(Parse("L0,0,1,1,1,255x")[0]).colour, kColour);
}

TEST(DrawingListCommands, HexadecimalAndMalformedNumbers) {
  EXPECT_EQ(Parse("$10,0x20")[0], DrawingOperation{Mark(16, 32)});
  EXPECT_EQ(Parse("X1f, 7")[0], DrawingOperation{Mark(31, 7)}) << "leading blanks are allowed";
  EXPECT_EQ(Parse("7 ,1.5")[0], DrawingOperation{Mark(0, 0)}) << "trailing characters spoil a number";
  EXPECT_EQ(Parse("99999999999,-2147483648")[0], DrawingOperation{Mark(0, INT32_MIN)}) << "past 32 bits";
}

TEST(DrawingListCommands, TextKeepsItsCommasAndTakesTheSizeDefault) {
  EXPECT_EQ(Parse("T10,20,12,Hallo, Welt")[0], Text(10, 20, 12, "Hallo, Welt"));
  EXPECT_EQ(Parse("T10,20,,Hallo")[0], Text(10, 20, 16, "Hallo"));
  EXPECT_EQ(Parse("T10,20")[0], Text(10, 0, 16, "20")) << "y lost its comma";
  EXPECT_EQ(Parse("T")[0], Text(0, 0, 16, ""));
}

TEST(DrawingListCommands, PenWidthOfTheLastLineCarriesIntoLaterMarks) {
  const auto operations = Parse("1,1;L0,0,10,10,-5;2,2;T0,0,8,x;3,3;L0,0,1,1,;4,4");
  ASSERT_EQ(operations.size(), 7u);
  EXPECT_EQ(operations[0], DrawingOperation{Mark(1, 1, 1)}) << "the surface's pen is 1 wide";
  EXPECT_EQ(operations[2], DrawingOperation{Mark(2, 2, 5)}) << "solid again, width kept";
  EXPECT_EQ(operations[4], DrawingOperation{Mark(3, 3, 5)}) << "a text leaves the pen alone";
  EXPECT_EQ(operations[6], DrawingOperation{Mark(4, 4, 2)});
}

TEST(DrawingListCommands, MarksUseTheDrawingColourEvenAfterAColouredLine) {
  const auto operations = ParseDrawingCommands("L0,0,1,1,3,255;5,5", 200);
  EXPECT_EQ(std::get<MarkOperation>(operations[1]).colour, 200u);
}

TEST(DrawingListCommands, SmallestWidthHasNoMagnitudeOverflow) {
  EXPECT_EQ(std::get<LineOperation>(Parse("L0,0,1,1,-2147483648")[0]).width, INT32_MAX);
  EXPECT_EQ(std::get<LineOperation>(Parse("L0,0,1,1,-2147483648")[0]).pattern, PenPattern::Dotted);
}

TEST(MarkGeometry, EllipseAndTheDoubledCross) {
  const MarkGeometry mark = MarkGeometryAt(100, 50);
  EXPECT_EQ(mark.ellipseTopLeft, (MarkPoint{95, 46}));
  EXPECT_EQ(mark.ellipseBottomRight, (MarkPoint{106, 56}));
  EXPECT_EQ(mark.lines[0][0], (MarkPoint{91, 41}));
  EXPECT_EQ(mark.lines[0][1], (MarkPoint{111, 61}));
  EXPECT_EQ(mark.lines[1][0], (MarkPoint{110, 41}));
  EXPECT_EQ(mark.lines[1][1], (MarkPoint{90, 61}));
  EXPECT_EQ(mark.lines[2][0], (MarkPoint{90, 41}));
  EXPECT_EQ(mark.lines[2][1], (MarkPoint{110, 61}));
  EXPECT_EQ(mark.lines[3][0], (MarkPoint{109, 41}));
  EXPECT_EQ(mark.lines[3][1], (MarkPoint{89, 61}));
}

TEST(MarkGeometry, CentresAtTheEndsOfTheRangeSaturate) {
  const MarkGeometry high = MarkGeometryAt(INT32_MAX, INT32_MAX);
  EXPECT_EQ(high.ellipseBottomRight, (MarkPoint{INT32_MAX, INT32_MAX}));
  EXPECT_EQ(high.ellipseTopLeft, (MarkPoint{INT32_MAX - 5, INT32_MAX - 4}));
  const MarkGeometry low = MarkGeometryAt(INT32_MIN, INT32_MIN);
  EXPECT_EQ(low.lines[3][1], (MarkPoint{INT32_MIN, INT32_MIN + 11}));
}

}  // namespace
}  // namespace kamolt
