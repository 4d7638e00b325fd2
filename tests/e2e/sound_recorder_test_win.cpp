// The sound recorder as a user meets it, on real sound: the tests' PulseAudio server gives a
// 440 Hz tone as the default input. Recording, saving, playing back, finishing as MP3 through
// the real encoder, a failing encoder, and the window read back control by control.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "harness_win.h"
#include "sound_check_win.h"
#include "unix_tools_win.h"

namespace e2e {
namespace {

constexpr const char* kRecorderClass = "TDMedia";
enum Control : int { kDPlayer = 101, kTimeStr, kDVolume, kAktFile, kAVIPanel };
enum Button : int { kPlay = 0, kPause, kStop, kStep = 5, kBack, kRecord, kEject };
constexpr int kFirstButtonId = 1000;
constexpr const char* kButtonTexts[] = {"Play", "Pause", "Stop", "", "", "Step", "Back", "Record", "Eject"};
// The first recording of a fresh Wine session waits for its sound devices.
constexpr auto kSoundTimeout = std::chrono::seconds(40);

class SoundRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(AppFolder().c_str(), nullptr);
    CreateDirectoryA(Recordings().c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((DistFolder() + "\\Kamolt.exe").c_str(), (AppFolder() + "\\Kamolt.exe").c_str(), FALSE));
  }

  std::string AppFolder() const { return scratch_.File("app"); }
  std::string Recordings() const { return scratch_.File("rec"); }
  std::string Recording(const std::string& name) const { return Recordings() + "\\" + name; }
  void InstallEncoder(const std::string& program) const {
    ASSERT_TRUE(CopyFileA(program.c_str(), (AppFolder() + "\\lame.exe").c_str(), FALSE)) << program;
  }

  HWND Start(const std::string& arguments) {
    app_ = std::make_unique<App>(AppFolder() + "\\Kamolt.exe", arguments, AppFolder());
    HWND recorder = nullptr;
    WaitUntil([&] { return (recorder = FindTopLevel(app_->ProcessId(), kRecorderClass, nullptr)) != nullptr; },
              std::chrono::seconds(20));
    if (!recorder) ADD_FAILURE() << "no recorder window for: " << arguments;
    return recorder;
  }

  static HWND ButtonOf(HWND recorder, int button) { return FindChild(recorder, kFirstButtonId + button); }
  // A click as the user can make it: only on an enabled button.
  static void Click(HWND recorder, int button) {
    const HWND control = ButtonOf(recorder, button);
    ASSERT_TRUE(control) << kButtonTexts[button];
    ASSERT_TRUE(IsWindowEnabled(control)) << kButtonTexts[button] << " is not enabled";
    SendCommand(FindChild(recorder, kDPlayer), kFirstButtonId + button);
  }
  static std::vector<std::string> EnabledButtons(HWND recorder) {
    std::vector<std::string> enabled;
    for (const int button : {kPlay, kPause, kStop, kStep, kBack, kRecord, kEject}) {
      if (IsWindowEnabled(ButtonOf(recorder, button))) enabled.push_back(kButtonTexts[button]);
    }
    return enabled;
  }
  static bool WaitTime(HWND recorder, const std::string& text, std::chrono::milliseconds timeout = kSoundTimeout) {
    return WaitUntil([&] { return ControlText(recorder, kTimeStr) == text; }, timeout);
  }

  // The seconds the time text shows; -1 while it shows none.
  static int ShownSeconds(HWND recorder) {
    const std::string text = ControlText(recorder, kTimeStr);
    const std::size_t colon = text.rfind(':');
    if (text.rfind("Zeit: ", 0) != 0 || colon == std::string::npos || colon + 3 != text.size()) return -1;
    return std::atoi(text.c_str() + 6) * 60 + std::atoi(text.c_str() + colon + 1);
  }
  // The time text moves once a second, from a start that varies: it may skip a value.
  static bool WaitSeconds(HWND recorder, int seconds) {
    return WaitUntil([&] { return ShownSeconds(recorder) >= seconds; }, kSoundTimeout);
  }

  // Records from the tone until the time text shows two seconds, then stops.
  void RecordTwoSeconds(HWND recorder) {
    Click(recorder, kRecord);
    EXPECT_EQ(EnabledButtons(recorder), (std::vector<std::string>{"Pause", "Stop"}));
    ASSERT_TRUE(WaitSeconds(recorder, 2)) << ControlText(recorder, kTimeStr);
    Click(recorder, kStop);
  }

  static void ExpectTone(const ToneSeen& seen, double minSeconds, double maxSeconds) {
    EXPECT_GE(seen.seconds, minSeconds);
    EXPECT_LE(seen.seconds, maxSeconds);
    EXPECT_NEAR(seen.frequency, 440, 12);
  }

  bool Ended() { return app_->WaitExit(std::chrono::seconds(60)); }

  ScratchFolder scratch_;
  std::unique_ptr<App> app_;
};

TEST_F(SoundRecorderTest, WindowAndControlsAsDesigned) {
  const HWND recorder = Start("-A " + Recording("memo.wav"));
  ASSERT_TRUE(recorder);
  EXPECT_EQ(WindowText(recorder), "Zelvo-Multi-Media");
  const RECT frame = WindowRect(recorder);
  EXPECT_EQ(frame.right - frame.left, 319);
  EXPECT_EQ(frame.bottom - frame.top, 134);

  const auto placed = [&](int id) {
    RECT bounds = WindowRect(FindChild(recorder, id));
    MapWindowPoints(nullptr, recorder, reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
  };
  const struct {
    int id;
    RECT bounds;
  } designed[] = {{kDPlayer, {8, 8, 205, 38}}, {kDVolume, {8, 48, 209, 81}}, {kAVIPanel, {8, 100, 308, 101}}};
  for (const auto& control : designed) {
    const RECT bounds = placed(control.id);
    EXPECT_TRUE(EqualRect(&bounds, &control.bounds))
        << control.id << ": " << bounds.left << "," << bounds.top << "," << bounds.right << "," << bounds.bottom;
  }
  EXPECT_EQ(placed(kTimeStr).left, 216);
  EXPECT_EQ(placed(kAktFile).top, 85);

  std::vector<std::string> captions;
  for (HWND button = GetWindow(FindChild(recorder, kDPlayer), GW_CHILD); button; button = GetWindow(button, GW_HWNDNEXT)) {
    captions.push_back(WindowText(button));
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"Play", "Pause", "Stop", "Step", "Back", "Record", "Eject"}));
  EXPECT_EQ(EnabledButtons(recorder), captions);
  EXPECT_EQ(ControlText(recorder, kTimeStr), "Zeit:");
  EXPECT_EQ(ControlText(recorder, kAktFile), Recording("memo.WAV"));

  const HWND volume = FindChild(recorder, kDVolume);
  EXPECT_EQ(ClassName(volume), TRACKBAR_CLASSA);
  EXPECT_EQ(SendMessageA(volume, TBM_GETRANGEMIN, 0, 0), 1);
  EXPECT_EQ(SendMessageA(volume, TBM_GETRANGEMAX, 0, 0), 65535);
  EXPECT_EQ(SendMessageA(volume, TBM_GETLINESIZE, 0, 0), 2048);
  EXPECT_EQ(SendMessageA(volume, TBM_GETPAGESIZE, 0, 0), 8192);
  // Horizontal, ticks below.
  EXPECT_EQ(GetWindowLongPtrA(volume, GWL_STYLE) & (TBS_VERT | TBS_TOP | TBS_AUTOTICKS), TBS_AUTOTICKS);
  // The slider shows the system's wave volume; where the platform keeps none for a device
  // that is not open (Wine), it stays at its designed place.
  DWORD systemVolume = 0;
  const bool known = waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &systemVolume) == MMSYSERR_NOERROR;
  const LRESULT expected = known ? std::max<LRESULT>(1, systemVolume & 0xFFFF) : 1000;
  EXPECT_EQ(SendMessageA(volume, TBM_GETPOS, 0, 0), expected);

  // Without a recording the player has nothing open: its buttons are ignored, Eject too.
  Click(recorder, kPlay);
  Click(recorder, kEject);
  EXPECT_EQ(ControlText(recorder, kTimeStr), "Zeit:");
  EXPECT_FALSE(app_->WaitExit(std::chrono::milliseconds(300)));
  EXPECT_FALSE(WaitMessageBox(app_->ProcessId(), std::chrono::milliseconds(300)));

  PostMessageA(recorder, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Ended());
  EXPECT_FALSE(FileExists(Recording("memo.WAV")));
}

TEST_F(SoundRecorderTest, OptionsChooseTheRecordingFile) {
  const struct {
    const char* arguments;
    const char* recordFile;
  } cases[] = {
      {"memo.wav", "memo.WAV"},        {"memo.mp3 /CMP3", "memotmp.WAV"}, {"memo.mp3 /Cmp3", "memotmp.WAV"},
      {"memo.mp3 /cMP3", "memo.WAV"},  {"memo /CWAV", "memo.WAV"},        {"memo.x.y /PCOM7", "memo.x.WAV"},
  };
  for (const auto& c : cases) {
    const HWND recorder = Start("-A " + Recording(c.arguments));
    ASSERT_TRUE(recorder) << c.arguments;
    EXPECT_EQ(ControlText(recorder, kAktFile), Recording(c.recordFile)) << c.arguments;
    PostMessageA(recorder, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended()) << c.arguments;
  }
}

TEST_F(SoundRecorderTest, AnExistingRecordingIsOpenedWithItsLengthAndPlays) {
  scratch_.Write("rec\\memo.WAV", ToneWaveFile(3.2));
  for (const char* title : {"memo.wav", "memo"}) {
    const HWND recorder = Start("-A " + Recording(title));
    ASSERT_TRUE(recorder) << title;
    EXPECT_TRUE(WaitTime(recorder, "Zeit: 0:03", std::chrono::seconds(5))) << ControlText(recorder, kTimeStr);
    if (std::string(title) == "memo") {
      // Playing shows the running position until it reaches the length again.
      Click(recorder, kPlay);
      EXPECT_TRUE(WaitUntil([&] { return ShownSeconds(recorder) < 3; }, kSoundTimeout))
          << ControlText(recorder, kTimeStr);
      EXPECT_TRUE(WaitTime(recorder, "Zeit: 0:03", std::chrono::seconds(10))) << ControlText(recorder, kTimeStr);
    }
    PostMessageA(recorder, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended());
  }
}

TEST_F(SoundRecorderTest, RecordsTheToneAndStopSavesIt) {
  const HWND recorder = Start("-A " + Recording("memo.wav"));
  ASSERT_TRUE(recorder);
  RecordTwoSeconds(recorder);
  ASSERT_TRUE(WaitForFile(Recording("memo.WAV")));
  ExpectTone(ReadToneWithSox(Recording("memo.WAV")), 1.8, 3.5);
  EXPECT_EQ(EnabledButtons(recorder),
            (std::vector<std::string>{"Play", "Pause", "Stop", "Step", "Back", "Record", "Eject"}));
  EXPECT_EQ(ControlText(recorder, kAktFile), Recording("memo.WAV"));


  Click(recorder, kEject);
  EXPECT_TRUE(Ended());
  EXPECT_TRUE(FileExists(Recording("memo.WAV")));
}

TEST_F(SoundRecorderTest, PauseHoldsTheRecordingAndResumesIt) {
  const HWND recorder = Start("-A " + Recording("memo.wav"));
  ASSERT_TRUE(recorder);
  Click(recorder, kRecord);
  ASSERT_TRUE(WaitSeconds(recorder, 1));
  Click(recorder, kPause);
  // The recording's position at once; it went on a little since the last tick.
  const int paused = ShownSeconds(recorder);
  EXPECT_TRUE(paused == 1 || paused == 2) << ControlText(recorder, kTimeStr);
  EXPECT_EQ(EnabledButtons(recorder), (std::vector<std::string>{"Pause", "Stop"}));
  Click(recorder, kPause);
  ASSERT_TRUE(WaitSeconds(recorder, paused + 1));
  Click(recorder, kStop);
  ASSERT_TRUE(WaitForFile(Recording("memo.WAV")));
  ExpectTone(ReadToneWithSox(Recording("memo.WAV")), paused + 0.8, paused + 2.5);
  PostMessageA(recorder, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Ended());
}

TEST_F(SoundRecorderTest, Mp3ModeRecordsIntoTheTemporaryFileAndEjectLeavesTheMp3) {
  InstallEncoder(DistFolder() + "\\lame.exe");
  const HWND recorder = Start("-A " + Recording("memo.mp3") + " /CMP3");
  ASSERT_TRUE(recorder);
  RecordTwoSeconds(recorder);
  ASSERT_TRUE(WaitForFile(Recording("memotmp.WAV")));
  Click(recorder, kEject);
  ASSERT_TRUE(Ended());
  ASSERT_TRUE(FileExists(Recording("memo.MP3")));
  ExpectTone(ReadToneWithSox(Recording("memo.MP3")), 1.8, 3.7);
  EXPECT_FALSE(FileExists(Recording("memotmp.WAV")));
  EXPECT_FALSE(FileExists(Recording("memo.WAV")));
}

TEST_F(SoundRecorderTest, EjectWithoutAWorkingEncoderKeepsTheRecording) {
  const std::string recording = ToneWaveFile(1.5);
  const std::string standIn = ToolsFolder() + "\\lame_standin.exe";
  const struct {
    const char* what;
    std::string encoder;  // empty: none
    bool message;
    bool hangs;
    bool oldMp3;  // an MP3 of an earlier session is there
  } cases[] = {{"no encoder", "", false, false, false},
               {"failing encoder", standIn, true, false, false},
               {"failing encoder, old MP3", standIn, true, false, true},
               {"hung encoder", standIn, true, true, false}};
  const std::string oldMp3 = "an MP3 of an earlier session";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA((AppFolder() + "\\lame.exe").c_str());
    DeleteFileA(Recording("memo.WAV").c_str());
    if (!c.encoder.empty()) InstallEncoder(c.encoder);
    DeleteFileA(Recording("memo.MP3").c_str());
    if (c.oldMp3) scratch_.Write("rec\\memo.MP3", oldMp3);
    // Kamolt and the encoder it starts take this process's environment.
    SetEnvironmentVariableA("KAMOLT_LAME_HANG", c.hangs ? "1" : nullptr);
    scratch_.Write("rec\\memotmp.WAV", recording);
    const HWND recorder = Start("-A " + Recording("memo.mp3") + " /CMP3");
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(WaitTime(recorder, "Zeit: 0:01", std::chrono::seconds(5)));
    Click(recorder, kEject);
    if (c.message) {
      const auto box = WaitMessageBox(app_->ProcessId(), std::chrono::seconds(30));
      ASSERT_TRUE(box);
      // A box that comes after a long wait can be seen before its caption is set.
      EXPECT_TRUE(WaitUntil([&] { return WindowText(box->hwnd) == "Fehler"; }, std::chrono::seconds(5)))
          << WindowText(box->hwnd);
      EXPECT_NE(box->text.find(Recording("memo.WAV")), std::string::npos) << box->text;
      EXPECT_EQ(box->text.find("nicht rechtzeitig") != std::string::npos, c.hangs) << box->text;
      AnswerMessageBox(box->hwnd);
    }
    SetEnvironmentVariableA("KAMOLT_LAME_HANG", nullptr);
    ASSERT_TRUE(Ended());
    if (c.oldMp3) {
      EXPECT_EQ(ReadFileBytes(Recording("memo.MP3")), oldMp3);
    } else {
      EXPECT_FALSE(FileExists(Recording("memo.MP3"))) << "no broken MP3 for the host to find";
    }
    EXPECT_FALSE(FileExists(Recording("memotmp.WAV")));
    ASSERT_TRUE(FileExists(Recording("memo.WAV")));
    EXPECT_EQ(ReadFileBytes(Recording("memo.WAV")), recording);
  }
}

TEST_F(SoundRecorderTest, NamesWithBlanksAndShellCharactersReachTheEncoder) {
  InstallEncoder(DistFolder() + "\\lame.exe");
  for (const char* name : {"Mein Diktat", "A&B"}) {
    SCOPED_TRACE(name);
    const std::string folder = Recordings() + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    scratch_.Write("rec\\" + std::string(name) + "\\memotmp.WAV", ToneWaveFile(1.5));
    const HWND recorder = Start("-A \"" + folder + "\\memo.mp3\" /CMP3");
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(WaitTime(recorder, "Zeit: 0:01", std::chrono::seconds(5)));
    Click(recorder, kEject);
    ASSERT_TRUE(Ended());
    ASSERT_TRUE(FileExists(folder + "\\memo.MP3"));
    ExpectTone(ReadToneWithSox(folder + "\\memo.MP3"), 1.3, 1.8);
    EXPECT_FALSE(FileExists(folder + "\\memotmp.WAV"));
  }
}

TEST_F(SoundRecorderTest, ClosingKeepsTheRecordingUnderItsRecordingName) {
  InstallEncoder(DistFolder() + "\\lame.exe");
  const std::string recording = ToneWaveFile(1.5);
  scratch_.Write("rec\\memotmp.WAV", recording);
  const HWND recorder = Start("-A " + Recording("memo.mp3") + " /CMP3");
  ASSERT_TRUE(recorder);
  ASSERT_TRUE(WaitTime(recorder, "Zeit: 0:01", std::chrono::seconds(5)));
  PostMessageA(recorder, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(ReadFileBytes(Recording("memotmp.WAV")), recording);
  EXPECT_FALSE(FileExists(Recording("memo.MP3")));
}

TEST_F(SoundRecorderTest, ClosingWhileRecordingSavesTheRecording) {
  const HWND recorder = Start("-A " + Recording("memo.wav"));
  ASSERT_TRUE(recorder);
  Click(recorder, kRecord);
  ASSERT_TRUE(WaitSeconds(recorder, 1));
  PostMessageA(recorder, WM_CLOSE, 0, 0);
  ASSERT_TRUE(Ended());
  ASSERT_TRUE(FileExists(Recording("memo.WAV")));
  ExpectTone(ReadToneWithSox(Recording("memo.WAV")), 0.8, 2.5);
}

// A save that cannot write the recording's own name keeps it under a free name beside it
// (a read-only file, found by Stop) or in the temporary folder (a folder gone, found on
// closing), says so, and the recorder still ends.
TEST_F(SoundRecorderTest, AFailedSaveKeepsTheRecordingUnderAnotherNameAndTheRecorderStillEnds) {
  char temp[MAX_PATH];
  const std::string tempFolder(temp, GetTempPathA(MAX_PATH, temp));
  const std::string old = ToneWaveFile(0.3);  // shown as 0:00, so the time seen is the recording's
  for (const bool readOnly : {true, false}) {
    SCOPED_TRACE(readOnly ? "read-only file, Stop" : "folder gone, closed");
    const std::string folder = readOnly ? Recordings() : Recordings() + "\\gone";
    const std::string rescue = readOnly ? Recording("memo(1).WAV") : tempFolder + "memo(1).WAV";
    CreateDirectoryA(folder.c_str(), nullptr);
    if (readOnly) {
      scratch_.Write("rec\\memo.WAV", old);
      SetFileAttributesA(Recording("memo.WAV").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    DeleteFileA(rescue.c_str());
    const HWND recorder = Start("-A " + folder + "\\memo.wav");
    ASSERT_TRUE(recorder);
    Click(recorder, kRecord);
    ASSERT_TRUE(WaitSeconds(recorder, 1)) << ControlText(recorder, kTimeStr);
    if (readOnly) {
      Click(recorder, kStop);
    } else {
      // From the Linux side: Wine keeps the viewer's working folder, which follows the title's.
      RunUnix("/bin/mv " + UnixPath(folder) + " " + UnixPath(folder) + "-moved");
      ASSERT_TRUE(WaitUntil([&] { return GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES; }));
      PostMessageA(recorder, WM_CLOSE, 0, 0);
    }
    const auto box = WaitMessageBox(app_->ProcessId(), std::chrono::seconds(30));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "Fehler");
    EXPECT_NE(box->text.find(rescue), std::string::npos) << box->text;
    AnswerMessageBox(box->hwnd);
    if (readOnly) {
      EXPECT_EQ(ControlText(recorder, kAktFile), rescue);
      Click(recorder, kEject);
    }
    ASSERT_TRUE(Ended());
    ExpectTone(ReadToneWithSox(rescue), 0.8, 3.0);
    DeleteFileA(rescue.c_str());
  }
  SetFileAttributesA(Recording("memo.WAV").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(Recording("memo.WAV")), old) << "the read-only file stays as it was";
}

}  // namespace
}  // namespace e2e
