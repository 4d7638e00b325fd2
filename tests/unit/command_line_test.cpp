#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/startup_state.h"

namespace kamolt {
namespace {

StartupState Start(const std::vector<std::string>& arguments) { return ReadStartupState(ParseCommandLine(arguments)); }

TEST(SplitCommandLine, QuotesGroupAndBackslashesStayPlain) {
  EXPECT_EQ(SplitCommandLine(R"("C:\Program Files\Kamolt.exe" -S "D:\my dir\" /T"A b"c  x)"),
            (std::vector<std::string>{R"(C:\Program Files\Kamolt.exe)", "-S", R"(D:\my dir\)", "/TA bc", "x"}));
  EXPECT_EQ(SplitCommandLine("k.exe \"\" /C"), (std::vector<std::string>{"k.exe", "", "/C"}));
  EXPECT_EQ(SplitCommandLine("  k.exe\t\"open"), (std::vector<std::string>{"k.exe", "open"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(CommandLine, ModeLetterLastOneWins) {
  EXPECT_EQ(Start({"-s"}).startMode, 'S');
  EXPECT_EQ(Start({"-x"}).startMode, 'V');
  EXPECT_EQ(Start({"-"}).startMode, 'V');
  EXPECT_EQ(Start({"-C", "-A"}).startMode, 'A');
  EXPECT_EQ(Start({"-S", "-Viewer"}).startMode, 'V');
  EXPECT_EQ(Start({"-clip"}).startMode, 'C');
  EXPECT_EQ(Start({}).startMode, 'V');
}

TEST(CommandLine, ColourOptionReadsIntegersOrGives200) {
  EXPECT_EQ(Start({"/c255"}).drawingColour, 255u);
  EXPECT_EQ(Start({"/C$FF0000"}).drawingColour, 0xFF0000u);
  EXPECT_EQ(Start({"/C0x00ff00"}).drawingColour, 0xFF00u);
  EXPECT_EQ(Start({"/Cabc"}).drawingColour, 200u);
  EXPECT_EQ(Start({"/C"}).drawingColour, 200u);
  EXPECT_EQ(Start({"/CJPG"}).drawingColour, 200u) << "a format meant for a dialog";
  EXPECT_EQ(Start({}).drawingColour, 0u);
}

TEST(CommandLine, ViewerOptionsKeepTheirValueAsTyped) {
  const StartupState s = Start({"/tMein Titel", "/Dl0,0,5,5", "/sC:\\out.jpg", "/Xirrelevant", "/W"});
  EXPECT_EQ(s.titleOverride, "Mein Titel");
  EXPECT_EQ(s.drawingList, "l0,0,5,5");
  EXPECT_EQ(s.jpegOutputPath, "C:\\out.jpg");
  EXPECT_EQ(s.pictureArgument, "");
}

TEST(CommandLine, PlainArgumentLastOneWinsEvenWhenEmpty) {
  EXPECT_EQ(Start({"a.bmp", "b.bmp"}).pictureArgument, "b.bmp");
  EXPECT_EQ(Start({"a.bmp", ""}).pictureArgument, "");
  EXPECT_EQ(ParseCommandLine({"a.bmp", ""}).plainArgument, "");
  EXPECT_EQ(ParseCommandLine({"/C"}).plainArgument, std::nullopt);
}

TEST(CommandLine, DialogsReadTheirOwnLettersWithCaseKept) {
  const CommandLine line = ParseCommandLine({"-S", "/CJPG", "/i", "/I", "/X", "/", "D:\\bild01"});
  ASSERT_EQ(line.options.size(), 5u);
  EXPECT_EQ(line.options[1].letter, 'i');
  EXPECT_EQ(line.options[2].letter, 'I');
  EXPECT_EQ(line.options[4].letter, '\0');
  EXPECT_EQ(line.ValuesOf('C'), (std::vector<std::string>{"JPG"}));
  EXPECT_EQ(line.ValuesOf('I'), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(ReadStartupState(line).drawingColour, 200u);
}

TEST(CommandLine, TitleBeforeAnyPicture) {
  EXPECT_EQ(TitleWithoutPicture(Start({"-S", "D:\\bild01"})), "D:\\bild01");
  EXPECT_EQ(TitleWithoutPicture(Start({"-S", "D:\\bild01", "/TScan"})), "Scan");
  EXPECT_EQ(TitleWithoutPicture(Start({})), "");
}

}  // namespace
}  // namespace kamolt
