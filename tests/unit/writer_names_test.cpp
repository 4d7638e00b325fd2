#include <gtest/gtest.h>

#include "convert/target_name.h"

namespace kamolt {
namespace {

// What the writer does with the name of each picture of a run after the first.
std::string Written(const std::string& name, const std::string& extension) { return StripExtension(name) + extension; }

TEST(TargetName, RunOfPicturesCountsUpTheLastCharacter) {
  std::string name = Written("D:\\scan0.jpg", "JPG");
  EXPECT_EQ(name, "D:\\scan0.JPG");
  std::vector<std::string> run;
  for (int i = 0; i < 11; ++i) run.push_back(name = Written(NextPictureName(name), "JPG"));
  EXPECT_EQ(run.front(), "D:\\scan1.JPG");
  EXPECT_EQ(run[8], "D:\\scan9.JPG");
  EXPECT_EQ(run[9], "D:\\scanA.JPG");
  EXPECT_EQ(run[10], "D:\\scanB.JPG");

  EXPECT_EQ(NextPictureName("D:\\scan.JPG"), "D:\\scao.JPG");
  EXPECT_EQ(NextPictureName("D:\\scao.JPG"), "D:\\scap.JPG");
}

TEST(TargetName, NextNameAtTheOddEnds) {
  EXPECT_EQ(NextPictureName("D:\\scan5"), "D:\\scan6") << "no extension: the last character";
  EXPECT_EQ(NextPictureName("D:\\scan5."), "D:\\scan6.") << "a bare dot is the extension's";
  EXPECT_EQ(NextPictureName("D:\\alt.dir\\scan"), "D:\\alt.dir\\scao") << "the folder's dot is not";
  EXPECT_EQ(NextPictureName("D:\\.JPG"), "D:\\1.JPG") << "nothing before the dot";
  EXPECT_EQ(NextPictureName(""), "1");
  EXPECT_EQ(NextPictureName("D:\\scan\xFF.JPG"), "D:\\scan\xFF" "0.JPG") << "no next code";
  // Steps that would make a separator, a wildcard or a quote go on to the next safe character.
  EXPECT_EQ(NextPictureName("D:\\scan[.JPG"), "D:\\scan].JPG");
  EXPECT_EQ(NextPictureName("D:\\scan).JPG"), "D:\\scan+.JPG");
  EXPECT_EQ(NextPictureName("D:\\scan;.JPG"), "D:\\scan=.JPG");
  EXPECT_EQ(NextPictureName("D:\\scan..JPG"), "D:\\scan0.JPG");
  EXPECT_EQ(NextPictureName("D:\\scan!.JPG"), "D:\\scan#.JPG");
  EXPECT_EQ(NextPictureName("D:\\scan{.JPG"), "D:\\scan}.JPG");
}

TEST(TargetName, StripKeepsDotsInFolders) {
  EXPECT_EQ(Written("D:\\alt.dir\\scan", "TIF"), "D:\\alt.dir\\scan.TIF");
  EXPECT_EQ(Written("D:/alt.dir/scan", "TIF"), "D:/alt.dir/scan.TIF");
  EXPECT_EQ(Written("D:\\scan.jpg", "GIF"), "D:\\scan.GIF");
  EXPECT_EQ(Written("D:\\scan.tar.gz", "GIF"), "D:\\scan.tar.GIF");
  EXPECT_EQ(StripExtension("D:\\scan."), "D:\\scan.");
  EXPECT_EQ(StripExtension("scan"), "scan.");
  EXPECT_EQ(ExtensionDot("D:\\alt.dir\\scan"), std::string::npos);
}

TEST(TargetName, ConverterCommandLine) {
  EXPECT_EQ(ConverterCommandLine("C:\\PROGRA~1\\IRFANV~1\\I_VIEW32.EXE", "D:\\scan.TMP", "D:\\scan.PNG"),
            "C:\\PROGRA~1\\IRFANV~1\\I_VIEW32.EXE D:\\scan.TMP /convert=D:\\scan.PNG");
  EXPECT_EQ(ConverterCommandLine("C:\\i_view32.exe", "D:\\Eigene Bilder\\scan.TMP", "D:\\Eigene Bilder\\scan.PNG"),
            "C:\\i_view32.exe \"D:\\Eigene Bilder\\scan.TMP\" /convert=\"D:\\Eigene Bilder\\scan.PNG\"");
  EXPECT_EQ(ConverterCommandLine("C:\\i_view32.exe", "D:\\A&B\\scan.TMP", "D:\\A&B\\scan.PNG"),
            "C:\\i_view32.exe \"D:\\A&B\\scan.TMP\" /convert=\"D:\\A&B\\scan.PNG\"");
}

TEST(TargetName, CommandLineWordQuotesWhatTheInterpreterOrTheProgramWouldSplit) {
  const struct {
    const char* word;
    const char* written;
  } cases[] = {
      {"D:\\Diktat\\memo.MP3", "D:\\Diktat\\memo.MP3"}, {"C:\\PROGRA~1\\LAME.EXE", "C:\\PROGRA~1\\LAME.EXE"},
      {"", "\"\""},                                         {"D:\\A B\\m.MP3", "\"D:\\A B\\m.MP3\""},
      {"D:\\A\tB", "\"D:\\A\tB\""},                     {"D:\\A&B\\memo.mp3", "\"D:\\A&B\\memo.mp3\""},
      {"a|b", "\"a|b\""}, {"(a)", "\"(a)\""}, {"a<b>c", "\"a<b>c\""}, {"a^b", "\"a^b\""}, {"a,b;c=d", "\"a,b;c=d\""},
      // Backslashes double only before a quote, the closing one included.
      {"D:\\A B\\", "\"D:\\A B\\\\\""}, {"a\"b c", "\"a\\\"b c\""}, {"a\\\"b", "\"a\\\\\\\"b\""},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandLineWord(c.word), c.written) << c.word;
}

}  // namespace
}  // namespace kamolt
