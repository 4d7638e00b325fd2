#include <gtest/gtest.h>

#include "clip/clip_dialog_rules.h"
#include "convert/format_list.h"

namespace kamolt {
namespace {

// The dialog as its creation leaves it before the command line is read.
struct Created {
  ClipDialogFields fields;
  CaptureChoice capture;
  UnattendedRun run;
  Created() {
    fields.windows = {"", "Editor - a.txt", "Capture Test App"};
    fields.ports = PortList();
  }
  Created& Apply(const std::vector<std::string>& arguments) {
    ApplyClipArguments(arguments, fields, capture, run);
    return *this;
  }
};

TEST(ClipArguments, ValuesAreUpperCasedAndLettersKeepTheirCase) {
  const struct {
    std::vector<std::string> arguments;
    int formatIndex;
    bool formatGiven;
    bool beep;
    std::string waveFile;
    bool invert;
    std::string triggerKey;
    int portIndex;
  } cases[] = {
      {{"/Cpng"}, 8, true, false, "", false, "", 0},
      {{"/CJPG", "/Cxyz"}, 3, true, false, "", false, "", 0},  // an unknown format leaves the last one
      {{"/cPNG"}, 0, false, false, "", false, "", 0},          // lower-case letters are no options here
      {{"/Bding.wav"}, 0, false, true, "DING.WAV", false, "", 0},
      {{"/B"}, 0, false, true, "", false, "", 0},  // the tone, no sound file
      {{"/I", "/i"}, 0, false, false, "", false, "", 0},
      {{"/i", "/I"}, 0, false, false, "", true, "", 0},
      {{"/Kg"}, 0, false, false, "", false, "G", 0},
      {{"/k7"}, 0, false, false, "", false, "", 0},
      {{"/Pcom3"}, 0, false, false, "", false, "", 3},
      {{"/PCOM10"}, 0, false, false, "", false, "", 10},
      {{"/PCOM3", "/PCOM11"}, 0, false, false, "", false, "", 3},
      {{"/Q", "/", "/x", "-C"}, 0, false, false, "", false, "", 0},
  };
  for (const auto& c : cases) {
    const Created d = Created().Apply(c.arguments);
    const std::string at = ::testing::PrintToString(c.arguments);
    EXPECT_EQ(d.fields.formatIndex, c.formatIndex) << at;
    EXPECT_EQ(d.run.formatGiven, c.formatGiven) << at;
    EXPECT_EQ(d.fields.beep, c.beep) << at;
    EXPECT_EQ(d.fields.waveFile, c.waveFile) << at;
    EXPECT_EQ(d.fields.invert, c.invert) << at;
    EXPECT_EQ(d.fields.triggerKey, c.triggerKey) << at;
    EXPECT_EQ(d.fields.portIndex, c.portIndex) << at;
    EXPECT_FALSE(d.run.automatic) << at;
  }
  EXPECT_TRUE(Created().Apply({"/X"}).run.automatic);
}

TEST(ClipArguments, StampNeedsPositionAndTextAndKeepsCase) {
  const struct {
    std::string argument;
    char position;
    std::string text;
  } cases[] = {
      {"/T0Hallo", '0', "Hallo "},
      {"/T2ab", '2', "ab "},
      {"/T1x", '1', "x "},
      {"/T1", '\0', ""},  // too short: changes nothing
      {"/T", '\0', ""},
      {"/t0Hallo", '\0', ""},
  };
  for (const auto& c : cases) {
    const Created d = Created().Apply({c.argument});
    EXPECT_EQ(d.capture.stampPosition, c.position) << c.argument;
    EXPECT_EQ(d.capture.stampText, c.text) << c.argument;
  }
}

TEST(ClipArguments, ViewerProgramDashLocksOutLaterOnes) {
  const struct {
    std::vector<std::string> arguments;
    std::string program;
    bool launch;
  } cases[] = {
      {{"/Vnotepad"}, "NOTEPAD", true},
      {{"/V"}, "", true},
      {{"/V-"}, "-", false},
      {{"/V-", "/VNOTEPAD"}, "-", false},
      {{"/V-", "/V"}, "-", false},
      {{"/VNOTEPAD", "/V-"}, "-", false},
      {{"/VNOTEPAD", "/V"}, "", true},
      {{}, "", false},
  };
  for (const auto& c : cases) {
    const Created d = Created().Apply(c.arguments);
    EXPECT_EQ(d.run.viewerProgram, c.program) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(d.run.launch, c.launch) << ::testing::PrintToString(c.arguments);
  }
}

TEST(ClipArguments, WindowOptionSelectsAListedTitleAndDropsTheEmptyEntry) {
  const Created listed = Created().Apply({"/Wcapture test app"});
  EXPECT_EQ(listed.capture.title, "capture test app") << "case kept as typed";
  EXPECT_EQ(listed.fields.windows, (std::vector<std::string>{"Editor - a.txt", "Capture Test App"}));
  EXPECT_EQ(listed.fields.windowText, "Capture Test App");

  const Created gone = Created().Apply({"/WNot There"});
  EXPECT_EQ(gone.capture.title, "Not There") << "set all the same";
  EXPECT_EQ(gone.fields.windows.size(), 3u);
  EXPECT_EQ(gone.fields.windowText, "");

  const Created twice = Created().Apply({"/WEditor - a.txt", "/WCapture Test App"});
  EXPECT_EQ(twice.fields.windows, (std::vector<std::string>{"Editor - a.txt", "Capture Test App"}))
      << "only the empty entry is ever dropped";
  EXPECT_EQ(twice.fields.windowText, "Capture Test App");

  const Created bare = Created().Apply({"/W"});
  EXPECT_EQ(bare.fields.windows.size(), 3u) << "an empty title is no window to select";
  EXPECT_EQ(bare.capture.title, "");
}

TEST(ClipArguments, PlainArgumentsNameTheFileLastOneWins) {
  EXPECT_EQ(Created().Apply({"-C", "/CPNG", "/X", "C:\\P\\B01"}).fields.fileName, "C:\\P\\B01");
  EXPECT_EQ(Created().Apply({"a", "C:\\P\\b02"}).fields.fileName, "C:\\P\\b02") << "case kept";
  EXPECT_EQ(Created().Apply({"a", ""}).fields.fileName, "");
  EXPECT_EQ(Created().Apply({"-Cfoo"}).fields.fileName, "");
}

TEST(ClipDialogTitle, ExtensionSelectsFormatAndFourCharactersGo) {
  const struct {
    std::string title;
    std::string name;
    int formatIndex;
  } cases[] = {
      {"C:\\P\\BILD01.JPG", "C:\\P\\BILD01", 3},
      {"bild.png", "bild", 8},
      {"D:\\bild.jpeg", "D:\\bildg", 1},  // no such entry: the format stays
      {"C:\\P\\B01.XYZ", "C:\\P\\B01", 1},
      {"C:\\P.D\\B01", "C:\\P.D\\B01", 1},  // dots of folders do not count
      {"C:\\P\\B01.", "C:\\P\\B01.", 1},
      {"", "", 1},
  };
  for (const auto& c : cases) {
    ClipDialogFields fields;
    fields.formatIndex = 1;
    EXPECT_EQ(TakeNameFromTitle(c.title, fields), c.name) << c.title;
    EXPECT_EQ(fields.fileName, c.name) << c.title;
    EXPECT_EQ(fields.formatIndex, c.formatIndex) << c.title;
  }
}

TEST(ClipDialogFormats, CodesAndTheRememberedEntry) {
  EXPECT_EQ(FormatCodeOfEntry(0), 0);
  EXPECT_EQ(FormatCodeOfEntry(1), 1001);
  EXPECT_EQ(FormatCodeOfEntry(8), 1008);
  EXPECT_EQ(DefaultFormatEntry("<auto>"), 0);
  EXPECT_EQ(DefaultFormatEntry("png"), 8);
  EXPECT_EQ(DefaultFormatEntry("JPEG"), 0);
  EXPECT_EQ(DefaultFormatEntry(""), 0);
}

TEST(ClipDialogOk, CaptureTitleComesFromTheListByPrefixAndIsRemembered) {
  const std::vector<std::string> windows{"", "Capture Test App", "Capture Two", "Editor - a.txt"};
  const struct {
    std::string chosen;
    std::string windowText;
    std::string title;
  } cases[] = {
      {"", "Capture", "Capture Test App"},      // the first entry that begins with it
      {"", "capture", "capture"},               // the beginning must match in case
      {"", "capture two", "capture two"},       // an entry, when case is ignored: kept as typed
      {"", "Edi", "Editor - a.txt"},
      {"", "", ""},                             // the clipboard
      {"Gone Window", "Editor - a.txt", "Gone Window"},  // a title chosen before wins
      {"Capt", "", "Capture Test App"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveCaptureTitle(c.chosen, windows, c.windowText), c.title) << c.chosen << " / " << c.windowText;
  }
  EXPECT_EQ(ResolveCaptureTitle("", {"Capture Test App"}, ""), "") << "without the empty entry";

  // What the dialog keeps after the first OK serves every later one.
  std::string remembered = ResolveCaptureTitle("", windows, "Capt");
  remembered = ResolveCaptureTitle(remembered, windows, "Editor - a.txt");
  EXPECT_EQ(remembered, "Capture Test App");
}

TEST(ClipDialogHistory, UsedNameGoesOnTopElevenShownTenKept) {
  std::vector<std::string> names{"A.PNG", "B.JPG", "C.BMP"};
  PutOnTop(names, "c.bmp");
  EXPECT_EQ(names, (std::vector<std::string>{"C.BMP", "A.PNG", "B.JPG"})) << "moved, with its spelling";
  PutOnTop(names, "D.GIF");
  EXPECT_EQ(names, (std::vector<std::string>{"D.GIF", "C.BMP", "A.PNG", "B.JPG"}));
  PutOnTop(names, "D.GIF");
  EXPECT_EQ(names.front(), "D.GIF");
  EXPECT_EQ(names.size(), 4u);

  std::vector<std::string> full;
  for (int i = 9; i >= 0; --i) full.push_back("N" + std::to_string(i) + ".PNG");
  PutOnTop(full, "NEW.PNG");
  EXPECT_EQ(full.size(), 11u) << "the dialog's list keeps them all";
  EXPECT_EQ(full.front(), "NEW.PNG");
  EXPECT_EQ(full[kKeptFileNames - 1], "N1.PNG") << "the last one written";
}

TEST(ClipDialogHistory, FilePartDropsTheFolder) {
  EXPECT_EQ(FilePart("C:\\P\\B01.PNG"), "B01.PNG");
  EXPECT_EQ(FilePart("C:B01.PNG"), "B01.PNG");
  EXPECT_EQ(FilePart("dir/b.png"), "b.png");
  EXPECT_EQ(FilePart("B01.PNG"), "B01.PNG");
}

TEST(ClipDialogKeys, CtrlAltAndTheFirstCharacterOfTheKey) {
  const struct {
    unsigned key;
    bool ctrl, alt;
    std::string triggerKey;
    bool fires;
  } cases[] = {
      {'G', true, true, "G", true},  {'G', true, true, "g", true},  {'G', true, true, "GX", true},
      {'5', true, true, "5", true},  {'G', true, false, "G", false}, {'G', false, true, "G", false},
      {'H', true, true, "G", false}, {'G', true, true, "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTriggerKey(c.key, c.ctrl, c.alt, c.triggerKey), c.fires)
        << static_cast<char>(c.key) << c.ctrl << c.alt << c.triggerKey;
  }
  EXPECT_EQ(GrabButtonCaption("G"), "Ctrl+Alt+G");
}

TEST(ClipDialogUnattended, HowTheRunEnds) {
  const auto run = [](bool launch, std::string program) {
    UnattendedRun r;
    r.automatic = true;
    r.launch = launch;
    r.viewerProgram = std::move(program);
    return r;
  };
  EXPECT_EQ(EndOfUnattendedRun(run(false, ""), "B01.PNG"), UnattendedEnd::EndProgram);
  EXPECT_EQ(EndOfUnattendedRun(run(false, "-"), "B01.PNG"), UnattendedEnd::EndProgram);
  EXPECT_EQ(EndOfUnattendedRun(run(true, ""), "B01.PNG"), UnattendedEnd::StayInViewer);
  EXPECT_EQ(EndOfUnattendedRun(run(true, "NOTEPAD"), "B01.PNG"), UnattendedEnd::LaunchThenEndProgram);
  EXPECT_EQ(EndOfUnattendedRun(run(true, ""), ""), UnattendedEnd::EndProgram) << "nothing to show";
  EXPECT_EQ(EndOfUnattendedRun(run(true, "NOTEPAD"), ""), UnattendedEnd::EndProgram) << "nothing to open";

  EXPECT_EQ(ViewerProgramLine("NOTEPAD", "B01.PNG"), "NOTEPAD B01.PNG");
  EXPECT_EQ(ViewerProgramLine("NOTEPAD", "my pic.PNG"), "NOTEPAD \"my pic.PNG\"");
  EXPECT_EQ(UnattendedExitCode(true), 0);
  EXPECT_NE(UnattendedExitCode(false), 0);
}

}  // namespace
}  // namespace kamolt
