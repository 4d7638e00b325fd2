#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "media/sound_recorder_rules.h"
#include "media/switch_series.h"

namespace kamolt {
namespace {

TEST(SoundRecorderTime, Text) {
  const struct {
    long seconds;
    const char* text;
  } cases[] = {{75, "Zeit: 1:15"}, {5, "Zeit: 0:05"},      {0, "Zeit: 0:00"},   {60, "Zeit: 1:00"},
               {3599, "Zeit: 59:59"}, {3600, "Zeit: 60:00"}, {6125, "Zeit: 102:05"}};
  for (const auto& c : cases) EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
}

TEST(SoundRecorderTime, RequestPicksPositionAheadLengthOrItself) {
  EXPECT_EQ(SecondsToShow(-1, 4, 9), 5);
  EXPECT_EQ(SecondsToShow(-1, 9, 9), 10);
  EXPECT_EQ(SecondsToShow(0, 4, 9), 9);
  EXPECT_EQ(SecondsToShow(7, 4, 9), 7);
}

TEST(SoundRecorderOptions, LetterCaseAndValues) {
  const struct {
    std::vector<std::string> arguments;
    bool mp3;
    const char* port;
  } cases[] = {
      {{}, false, ""},
      {{"/CMP3"}, true, ""},
      {{"/Cmp3"}, true, ""},
      {{"/cMP3"}, false, ""},
      {{"/CWAV"}, false, ""},
      {{"/CMP3X"}, false, ""},
      {{"/C"}, false, ""},
      {{"/Pcom2"}, false, "COM2"},
      {{"/pCOM2"}, false, ""},
      {{"-A", "D:\\memo.mp3", "/PCOM1", "/CMP3", "/PCOM3"}, true, "COM3"},
      {{"/", "C", "CMP3", "/T1x"}, false, ""},
  };
  for (const auto& c : cases) {
    const SoundOptions options = ReadSoundOptions(c.arguments);
    const std::string shown = c.arguments.empty() ? "(none)" : c.arguments.back();
    EXPECT_EQ(options.mp3, c.mp3) << shown;
    EXPECT_EQ(options.switchPort, c.port) << shown;
  }
}

TEST(SoundRecorderNames, BaseNameCutsTheExtensionOfTheFileOnly) {
  const struct {
    const char* title;
    const char* base;
  } cases[] = {
      {"D:\\Diktat\\memo.mp3", "D:\\Diktat\\memo"},
      {"D:\\Diktat\\memo", "D:\\Diktat\\memo"},
      {"memo.wav", "memo"},
      {"memo.tar.wav", "memo.tar"},
      {"D:\\Akten.2024\\memo", "D:\\Akten.2024\\memo"},
      {"D:/Akten.2024/memo", "D:/Akten.2024/memo"},
      {"D:\\Akten.2024\\memo.wav", "D:\\Akten.2024\\memo"},
      {"memo.", "memo"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(BaseNameOfTitle(c.title), c.base) << c.title;
}

TEST(SoundRecorderNames, FilesOfBothModes) {
  const RecordingNames wave = NamesOfRecording("D:\\Diktat\\memo", false);
  EXPECT_EQ(wave.recordFile, "D:\\Diktat\\memo.WAV");
  EXPECT_EQ(wave.finishedFile, "D:\\Diktat\\memo.WAV");
  const RecordingNames mp3 = NamesOfRecording("D:\\Diktat\\memo", true);
  EXPECT_EQ(mp3.recordFile, "D:\\Diktat\\memotmp.WAV");
  EXPECT_EQ(mp3.finishedFile, "D:\\Diktat\\memo.MP3");
  EXPECT_EQ(mp3.keptWaveFile, "D:\\Diktat\\memo.WAV");
}

TEST(SoundRecorderNames, RescueNamesNumberTheFileInItsOwnOrAnotherFolder) {
  EXPECT_EQ(RescueName("D:\\Diktat\\memo.WAV", "", 1), "D:\\Diktat\\memo(1).WAV");
  EXPECT_EQ(RescueName("D:\\Diktat\\memotmp.WAV", "C:\\Temp\\", 12), "C:\\Temp\\memotmp(12).WAV");
  EXPECT_EQ(RescueName("D:\\Akten.2024\\memo", "", 2), "D:\\Akten.2024\\memo(2)");
  EXPECT_EQ(RescueName("memo.tar.WAV", "", 3), "memo.tar(3).WAV");
  EXPECT_EQ(RescueName("D:memo.WAV", "C:\\Temp\\", 1), "C:\\Temp\\memo(1).WAV");
}

TEST(SoundRecorderVolume, SliderFollowsTheLeftChannelWithinItsRange) {
  EXPECT_EQ(VolumeSliderPosition(0), 1);
  EXPECT_EQ(VolumeSliderPosition(0xFFFF0000u), 1);
  EXPECT_EQ(VolumeSliderPosition(0x0000FFFFu), 65535);
  EXPECT_EQ(VolumeSliderPosition(0x12345678u), 0x5678);
  EXPECT_EQ(VolumeOfSlider(1), 0x00010001u);
  EXPECT_EQ(VolumeOfSlider(1000), 1000u + 1000u * 65536u);
  EXPECT_EQ(VolumeOfSlider(65535), 0xFFFFFFFFu);
}

TEST(SoundRecorderEncoder, CommandLine) {
  // Without blanks the line stays exactly as the host's scripts know it.
  EXPECT_EQ(EncoderCommand("C:\\KAMOLT\\LAME.EXE", "D:\\Diktat\\memotmp.WAV", "D:\\Diktat\\memo.MP3"),
            "start /WAIT C:\\KAMOLT\\LAME.EXE D:\\Diktat\\memotmp.WAV D:\\Diktat\\memo.MP3");
  EXPECT_EQ(EncoderCommand("C:\\LAME.EXE", "D:\\Mein Diktat\\memotmp.WAV", "D:\\Mein Diktat\\memo.MP3"),
            "start /WAIT \"\" C:\\LAME.EXE \"D:\\Mein Diktat\\memotmp.WAV\" \"D:\\Mein Diktat\\memo.MP3\"");
  EXPECT_EQ(EncoderCommand("C:\\Program Files\\lame.exe", "a.WAV", "a.MP3"),
            "start /WAIT \"\" \"C:\\Program Files\\lame.exe\" a.WAV a.MP3");
  EXPECT_EQ(EncoderCommand("C:\\LAME.EXE", "D:\\A&B\\memotmp.WAV", "D:\\A&B\\memo.MP3"),
            "start /WAIT \"\" C:\\LAME.EXE \"D:\\A&B\\memotmp.WAV\" \"D:\\A&B\\memo.MP3\"");
}

// A switch that follows a script, one reading per entry; the last entry holds.
class ScriptedLine : public SwitchLine {
 public:
  explicit ScriptedLine(std::deque<bool> readings) : readings_(std::move(readings)) {}
  bool ReadSwitch() override {
    const bool value = readings_.front();
    if (readings_.size() > 1) readings_.pop_front();
    ++reads;
    return value;
  }
  int reads = 0;

 private:
  std::deque<bool> readings_;
};

class CountedPause : public Pause {
 public:
  void Sleep(unsigned milliseconds) override { slept.push_back(milliseconds); }
  std::vector<unsigned> slept;
};

std::vector<SwitchClick> RunScript(std::deque<bool> readings, int polls, std::vector<unsigned>* slept = nullptr) {
  ScriptedLine line(std::move(readings));
  CountedPause pause;
  std::vector<SwitchClick> clicks;
  RunSwitchSeries(line, pause, [&] { return static_cast<int>(pause.slept.size()) < polls; },
                  [&](SwitchClick click) { clicks.push_back(click); });
  if (slept) *slept = pause.slept;
  return clicks;
}

TEST(SoundRecorderSwitch, FirstChangeRecordsEveryLaterOnePauses) {
  using C = SwitchClick;
  EXPECT_EQ(RunScript({false, false, true, true, false, true}, 20),
            (std::vector<C>{C::Record, C::Pause, C::Pause}));
  // Switched on at the start: only a change counts, whichever way it goes.
  EXPECT_EQ(RunScript({true, true, false}, 20), (std::vector<C>{C::Record}));
  EXPECT_TRUE(RunScript({false}, 20).empty());
}

TEST(SoundRecorderSwitch, FirstChangeNeverRestartsARunningRecording) {
  EXPECT_TRUE(SwitchClickApplies(SwitchClick::Record, false));
  EXPECT_FALSE(SwitchClickApplies(SwitchClick::Record, true));
  EXPECT_TRUE(SwitchClickApplies(SwitchClick::Pause, true));
  EXPECT_TRUE(SwitchClickApplies(SwitchClick::Pause, false));
}

TEST(SoundRecorderSwitch, PollsEvery100MsAndStopsWhenTheProgramEnds) {
  std::vector<unsigned> slept;
  EXPECT_TRUE(RunScript({false}, 5, &slept).empty());
  EXPECT_EQ(slept, std::vector<unsigned>(5, 100u));
}

}  // namespace
}  // namespace kamolt
