#include "clip/grab_run.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace kamolt {
namespace {

// A switch that follows a script, one reading per entry; the last entry holds.
class ScriptedLine : public SwitchLine {
 public:
  explicit ScriptedLine(std::deque<bool> readings) : readings_(std::move(readings)) {}
  bool ReadSwitch() override {
    const bool value = readings_.front();
    if (readings_.size() > 1) readings_.pop_front();
    return value;
  }

 private:
  std::deque<bool> readings_;
};

class RecordedPause : public Pause {
 public:
  void Sleep(unsigned milliseconds) override { slept.push_back(milliseconds); }
  std::vector<unsigned> slept;
};

// Records what the run does; the target stays in front for `frontChecks` questions.
class FakeWorld : public GrabActions {
 public:
  void BringTargetToFront() override { log.push_back("front"); }
  bool TargetInFront() override { return frontChecks-- > 0; }
  void Tone(unsigned hz, unsigned ms) override { log.push_back("tone " + std::to_string(hz) + " " + std::to_string(ms)); }
  void PlayWave() override { log.push_back("wave"); }
  void RepaintTarget() override { log.push_back("repaint"); }
  void Capture() override { log.push_back("capture"); }
  bool Save(std::string& fileName) override {
    const bool ok = saveResults.empty() || saveResults[saves.size() % saveResults.size()];
    if (ok && fileName.find('.') == std::string::npos) fileName += ".JPG";
    saves.push_back(fileName);
    return ok;
  }
  void SetNameText(const std::string& name) override { nameText = name; }
  void SetLabel(const std::string& caption) override { label = caption; }
  void NotifyHost(const std::string& fileName, std::int32_t count) override {
    handOffs.push_back(fileName + "'" + std::to_string(count));
  }

  int frontChecks = 1000;
  std::vector<bool> saveResults;
  std::vector<std::string> log, saves, handOffs;
  std::string nameText, label = "Dateiname";
};

TEST(GrabRun, SinglePictureKeepsTheNameAndHandsItOff) {
  FakeWorld world;
  RecordedPause pause;
  std::string name = "C:\\P\\BILD07";
  EXPECT_TRUE(RunGrab(name, {.beep = true}, world, nullptr, pause));
  EXPECT_EQ(name, "C:\\P\\BILD07.JPG");
  EXPECT_EQ(world.saves.size(), 1u);
  EXPECT_EQ(pause.slept, std::vector<unsigned>{200});
  EXPECT_EQ(world.log, (std::vector<std::string>{"front", "tone 1000 100", "repaint", "capture", "tone 1000 300"}));
  EXPECT_EQ(world.handOffs, std::vector<std::string>{"C:\\P\\BILD07.JPG'1"});

  // A failed save is handed off with count 0 and the wave is not played.
  FakeWorld failing;
  failing.saveResults = {false};
  name = "C:\\P\\BILD07";
  EXPECT_FALSE(RunGrab(name, {.beep = true, .wave = true}, failing, nullptr, pause));
  EXPECT_EQ(failing.handOffs, std::vector<std::string>{"C:\\P\\BILD07'0"});
  EXPECT_EQ(failing.log.back(), "capture");
}

TEST(GrabRun, SwitchSeriesOfThreeHandsTheThirdName) {
  FakeWorld world;
  world.frontChecks = 7;  // three changes, then the user moves on
  RecordedPause pause;
  // Readings: start off, on (picture 1); on, off (picture 2); off, on (picture 3); on...
  ScriptedLine line({false, true, true, false, false, true, true});
  std::string name = "C:\\P\\B01.JPG";
  EXPECT_TRUE(RunGrab(name, {.beep = true, .wave = true}, world, &line, pause));
  EXPECT_EQ(world.saves, (std::vector<std::string>{"C:\\P\\B01.JPG", "C:\\P\\B02.JPG", "C:\\P\\B03.JPG"}));
  EXPECT_EQ(world.handOffs, std::vector<std::string>{"C:\\P\\B03.JPG'3"});
  // The run ends with the last picture's name in the buffer and the dialog.
  EXPECT_EQ(name, "C:\\P\\B03.JPG");
  EXPECT_EQ(world.nameText, "C:\\P\\B03.JPG");
  EXPECT_EQ(std::count(world.log.begin(), world.log.end(), "wave"), 3);
  // No 200 ms repaint wait with a switch, 1000 ms after each picture, 100 ms polls between.
  EXPECT_EQ(std::count(pause.slept.begin(), pause.slept.end(), 200u), 0);
  EXPECT_EQ(std::count(pause.slept.begin(), pause.slept.end(), 1000u), 3);
  EXPECT_EQ(world.label, "Dateiname");  // the label belongs to key series only
}

TEST(GrabRun, SwitchSeriesLeftBeforeAnyPicture) {
  FakeWorld world;
  world.frontChecks = 2;
  RecordedPause pause;
  ScriptedLine line({true});
  std::string name = "C:\\P\\B01";
  EXPECT_FALSE(RunGrab(name, {}, world, &line, pause));
  EXPECT_TRUE(world.saves.empty());
  EXPECT_EQ(name, "C:\\P\\B01");
  EXPECT_EQ(world.handOffs, std::vector<std::string>{"C:\\P\\B01'0"});
  EXPECT_EQ(pause.slept, (std::vector<unsigned>{100, 100, 100}));
}

TEST(GrabRun, SwitchSeriesOfOneAndAFailedSave) {
  FakeWorld world;
  world.saveResults = {true, false};
  world.frontChecks = 4;
  RecordedPause pause;
  ScriptedLine line({false, true, true, false, false});
  std::string name = "C:\\P\\B01.JPG";
  EXPECT_FALSE(RunGrab(name, {}, world, &line, pause));
  // The failed second picture still moved the name on, but the host and the dialog are
  // given the picture that was written, not the one that failed.
  EXPECT_EQ(world.saves, (std::vector<std::string>{"C:\\P\\B01.JPG", "C:\\P\\B02.JPG"}));
  EXPECT_EQ(world.handOffs, std::vector<std::string>{"C:\\P\\B01.JPG'1"});
  EXPECT_EQ(name, "C:\\P\\B01.JPG");
}

TEST(GrabRun, KeyTriggerTakesOnePictureAndLeavesTheHandOffToTheDialog) {
  FakeWorld world;
  world.nameText = "C:\\P\\BILD07";
  RecordedPause pause;
  std::string name = "C:\\P\\BILD07";
  EXPECT_TRUE(RunGrab(name, {.keyTrigger = true}, world, nullptr, pause));
  EXPECT_EQ(world.saves.size(), 1u);
  EXPECT_EQ(name, "C:\\P\\BILD08.JPG");
  // The label names the picture written; the field shows the next one.
  EXPECT_EQ(world.label, "C:\\P\\BILD07.JPG");
  EXPECT_EQ(world.nameText, "C:\\P\\BILD08.JPG");
  EXPECT_EQ(pause.slept, (std::vector<unsigned>{200, 1000}));
  EXPECT_TRUE(world.handOffs.empty());

  // With a switch too, the picture waits for the first change, and one is all.
  FakeWorld switched;
  ScriptedLine line({false, false, true});
  name = "C:\\P\\BILD08.JPG";
  EXPECT_TRUE(RunGrab(name, {.keyTrigger = true}, switched, &line, pause));
  EXPECT_EQ(switched.saves, std::vector<std::string>{"C:\\P\\BILD08.JPG"});
  EXPECT_EQ(name, "C:\\P\\BILD09.JPG");
  EXPECT_TRUE(switched.handOffs.empty());

  // A failed save moves the name on, but the label, which the host is told at the end,
  // keeps the last picture written.
  FakeWorld failing;
  failing.saveResults = {false};
  failing.label = "C:\\P\\BILD08.JPG";
  name = "C:\\P\\BILD09.JPG";
  EXPECT_FALSE(RunGrab(name, {.keyTrigger = true}, failing, nullptr, pause));
  EXPECT_EQ(failing.label, "C:\\P\\BILD08.JPG");
  EXPECT_EQ(failing.nameText, "C:\\P\\BILD0A.JPG");
}

}  // namespace
}  // namespace kamolt
