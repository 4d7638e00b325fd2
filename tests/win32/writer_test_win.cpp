// The picture writer in this process, under Wine: real files, real module loading (of
// recording stand-in modules), real message boxes answered from a helper thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/png_reader.h"
#include "base/dib_pixels.h"
#include "convert/external_converter_win.h"
#include "convert/module_loader_win.h"
#include "convert/output_format.h"
#include "convert/writer_win.h"
#include "global_dib_win.h"
#include "harness_win.h"
#include "message_boxes_win.h"
#include "win/handles_win.h"

namespace kamolt {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string TestFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string exe(path, length);
  return exe.substr(0, exe.find_last_of('\\'));
}

std::uint32_t Le32(const void* at) {
  const auto* b = static_cast<const std::uint8_t*>(at);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

// A DIB of the given depth with a recognisable pattern, as a scanner would hand it over.
Bytes Picture(int bitCount, int width = 9, int height = 5) {
  std::vector<Rgb> palette;
  if (bitCount <= 8) {
    for (int i = 0; i < (1 << bitCount); ++i) {
      palette.push_back({static_cast<std::uint8_t>(i * 255 / ((1 << bitCount) - 1)), static_cast<std::uint8_t>(i * 3),
                         static_cast<std::uint8_t>(255 - i)});
    }
  }
  Bytes dib = *NewDib(width, height, bitCount, palette);
  for (std::size_t i = 40 + 4 * palette.size(); i < dib.size(); ++i) dib[i] = static_cast<std::uint8_t>(i * 29 + 7);
  if (bitCount == 1) std::memset(&dib[20], 0, 4 + 12 + 4);  // no image size, no colour count
  return dib;
}

Bytes FromGlobal(HGLOBAL memory) {
  const win::GlobalLockScope lock(memory);
  const auto* at = static_cast<const std::uint8_t*>(lock.Data());
  return Bytes(at, at + lock.Size());
}

Bytes ReadBytes(const std::string& path) {
  const std::string text = e2e::ReadFileBytes(path);
  return Bytes(text.begin(), text.end());
}

int FakeLoads() {
  char value[32] = {};
  GetEnvironmentVariableA("KAMOLT_FAKE_LOADS", value, sizeof value);
  return std::atoi(value);
}

// The picture as R,G,B rows from the top, so that DIBs of any depth or order compare.
Bytes RgbOf(const Bytes& dib) {
  const auto viewed = ViewDib(dib.data(), dib.size());
  const DibPicture& picture = std::get<DibPicture>(viewed);
  Bytes rgb(3 * static_cast<std::size_t>(picture.Width()) * picture.Height());
  for (int y = 0; y < picture.Height(); ++y) picture.RowToRgb(y, rgb.data() + 3 * picture.Width() * y);
  return rgb;
}

// Answers the save dialog: types the name and confirms it, or cancels when it is empty.
class SaveDialogAnswer {
 public:
  explicit SaveDialogAnswer(std::string name) : name_(std::move(name)), thread_([this] { Run(); }) {}
  ~SaveDialogAnswer() {
    stop_ = true;
    thread_.join();
  }
  bool Answered() const { return answered_; }
  std::string Filter() const { return filter_; }

 private:
  void Run() {
    while (!stop_) {
      for (HWND window : e2e::TopLevelWindows(GetCurrentProcessId())) {
        if (!IsSaveDialog(window)) continue;
        if (HWND types = e2e::FindChild(window, 0x470)) filter_ = e2e::WindowText(types);  // cmb1
        if (!name_.empty()) {
          // The name box is a plain edit or a combo box with an edit inside, by dialog style.
          HWND edit = e2e::FindChild(window, kFileNameEdit);
          if (HWND combo = e2e::FindChild(window, kFileNameCombo)) edit = e2e::FindChildByClass(combo, "Edit");
          if (edit == nullptr) continue;
          SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name_.c_str()));
        }
        answered_ = true;
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(name_.empty() ? IDCANCEL : IDOK, BN_CLICKED), 0);
        e2e::WaitUntil([window] { return !IsWindow(window); }, std::chrono::seconds(10));
      }
      Sleep(20);
    }
  }

  std::string name_;
  std::string filter_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> answered_{false};
  std::thread thread_;
};

class Writer : public testing::Test {
 protected:
  void SetUp() override {
    // Modules are loaded by their bare names; the current folder is where the platform
    // looks last, after the test program's folder and the system's, which have none.
    GetCurrentDirectoryA(MAX_PATH, previousFolder_);
    SetCurrentDirectoryA(scratch_.Path().c_str());
    SetEnvironmentVariableA("KAMOLT_FAKE_FAIL", nullptr);
    SetEnvironmentVariableA("KAMOLT_STANDIN_FAIL", nullptr);
  }
  void TearDown() override { SetCurrentDirectoryA(previousFolder_); }

  void InstallFake(const std::string& extension, bool withWriteEntry = true) {
    const std::string fake = TestFolder() + (withWriteEntry ? "\\kamolt_fake_module.dll" : "\\kamolt_fake_module_noentry.dll");
    ASSERT_TRUE(CopyFileA(fake.c_str(), scratch_.File("CONV_" + extension + ".DLL").c_str(), FALSE)) << fake;
  }

  ScanSettings Settings(int formatCode, const std::string& name) {
    ScanSettings s;
    s.formatCode = formatCode;
    std::strncpy(s.fileName, name.c_str(), sizeof s.fileName - 1);
    return s;
  }

  // What a recording module wrote: its name, then the option block, then the DIB header.
  struct Recorded {
    std::string module;
    Bytes block;
    Bytes header;
  };
  Recorded ReadRecord(const std::string& path, std::size_t blockSize) {
    const std::string text = e2e::ReadFileBytes(path);
    Recorded r;
    const std::size_t line = text.find('\n');
    if (text.compare(0, 5, "FAKE ") != 0 || line == std::string::npos || text.size() != line + 1 + blockSize + 40) {
      ADD_FAILURE() << "not a record of the stand-in module: " << path;
      return r;
    }
    r.module = text.substr(5, line - 5);
    r.block.assign(text.begin() + line + 1, text.begin() + line + 1 + blockSize);
    r.header.assign(text.end() - 40, text.end());
    return r;
  }

  std::vector<std::string> FilesInScratch() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(scratch_.File("*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != ".." && name.rfind("CONV_", 0) != 0) names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

  char previousFolder_[MAX_PATH] = {};
  e2e::ScratchFolder scratch_;
};

TEST_F(Writer, AutomaticFormatFollowsTheBitCount) {
  InstallFake("PCX");
  InstallFake("JPG");
  {
    const auto dib = ToGlobal(Picture(1));
    ScanSettings s = Settings(kFormatAuto, scratch_.File("mono.jpg"));
    EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
    EXPECT_EQ(std::string(s.fileName), scratch_.File("mono.PCX"));
    const Recorded r = ReadRecord(s.fileName, 12);
    EXPECT_EQ(r.module, "CONV_PCX.DLL");
    EXPECT_EQ(r.block, (Bytes{0x00, 0x02, 5, 0, 1, 0, 0, 0, 1, 0, 0, 0})) << "bit count 1 in the PCX block";
  }
  {
    const auto dib = ToGlobal(Picture(24));
    ScanSettings s = Settings(kFormatAuto, scratch_.File("colour.bmp"));
    EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
    EXPECT_EQ(std::string(s.fileName), scratch_.File("colour.JPG"));
    const Recorded r = ReadRecord(s.fileName, 12);
    EXPECT_EQ(r.module, "CONV_JPG.DLL");
    EXPECT_EQ(r.block, (Bytes{0x00, 0x02, 0, 0, 85, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Le32(&r.header[4]), 9u) << "the module got the DIB itself";
  }
  {
    const auto dib = ToGlobal(Picture(8));
    ScanSettings s = Settings(kFormatPcd, scratch_.File("photo"));
    EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
    EXPECT_EQ(std::string(s.fileName), scratch_.File("photo.JPG")) << "PCD is written as JPG";
  }
  EXPECT_EQ(FilesInScratch().size(), 3u) << "no temporary files left behind";
}

TEST_F(Writer, PicturesOfARunGetSuccessiveNames) {
  InstallFake("JPG");
  const auto dib = ToGlobal(Picture(24));
  ScanSettings s = Settings(kFormatJpg, scratch_.File("scan0.jpg"));
  std::vector<std::string> names;
  for (int written = 0; written < 12; ++written) {
    ASSERT_EQ(ConvertDIBtoFile(dib.Get(), s, written), 1);
    names.push_back(s.fileName);
  }
  EXPECT_EQ(names[0], scratch_.File("scan0.JPG"));
  EXPECT_EQ(names[1], scratch_.File("scan1.JPG"));
  EXPECT_EQ(names[9], scratch_.File("scan9.JPG"));
  EXPECT_EQ(names[10], scratch_.File("scanA.JPG"));
  EXPECT_EQ(names[11], scratch_.File("scanB.JPG"));
  for (const std::string& name : names) EXPECT_TRUE(e2e::FileExists(name)) << name;

  s = Settings(kFormatJpg, scratch_.File("scan.JPG"));
  ASSERT_EQ(ConvertDIBtoFile(dib.Get(), s, 1), 1);
  EXPECT_EQ(std::string(s.fileName), scratch_.File("scao.JPG"));
  ASSERT_EQ(ConvertDIBtoFile(dib.Get(), s, 2), 1);
  EXPECT_EQ(std::string(s.fileName), scratch_.File("scap.JPG"));
}

TEST_F(Writer, DotsInFolderNamesStay) {
  InstallFake("TIF");
  ASSERT_TRUE(CreateDirectoryA(scratch_.File("alt.dir").c_str(), nullptr));
  const auto dib = ToGlobal(Picture(8));
  ScanSettings s = Settings(kFormatTif, scratch_.File("alt.dir\\scan"));
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
  EXPECT_EQ(std::string(s.fileName), scratch_.File("alt.dir\\scan.TIF"));
  const Recorded r = ReadRecord(s.fileName, 16);
  EXPECT_EQ(r.block, (Bytes{0x00, 0x02, 0, 0, 8, 0, 0, 0, 0x05, 0x80, 0, 0, 10, 0, 0, 0}));
}

TEST_F(Writer, BitmapNeverLoadsAModule) {
  InstallFake("BMP");
  InstallFake("TMP");
  const int loads = FakeLoads();
  const Bytes picture = Picture(4, 7, 3);
  const auto dib = ToGlobal(picture);
  ScanSettings s = Settings(kFormatBmp, scratch_.File("scan.gif"));
  MessageBoxes boxes;
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
  EXPECT_EQ(FakeLoads(), loads);
  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_EQ(std::string(s.fileName), scratch_.File("scan.BMP"));

  const Bytes file = ReadBytes(s.fileName);
  const Bytes written = FromGlobal(dib.Get());
  ASSERT_GE(file.size(), 14u + 40);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32(&file[2]), file.size());
  EXPECT_EQ(Le32(&file[10]), 14u + 40 + 4 * 16);
  EXPECT_EQ(Le32(&written[20]), 4u * 3) << "the image size went into the caller's DIB";
  EXPECT_TRUE(std::equal(file.begin() + 14, file.end(), written.begin())) << "the DIB follows the file header";
  EXPECT_EQ(file.size(), 14 + picture.size());
}

TEST_F(Writer, MissingModuleFallsBackToABitmap) {
  const auto dib = ToGlobal(Picture(24));
  ScanSettings s = Settings(kFormatGif, scratch_.File("scan.jpg"));
  MessageBoxes boxes;
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
  const auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Konvertierungsmodul kann nicht geladen werden!");
  EXPECT_EQ(seen[0].caption, "CONV_GIF.DLL");
  EXPECT_EQ(std::string(s.fileName), scratch_.File("scan.BMP"));
  EXPECT_EQ(ReadBytes(s.fileName).size(), 14 + Picture(24).size());
}

// The reading side's boxes carry one caption whatever the format.
TEST_F(Writer, ReadingWithoutAUsableModuleShowsWhyAndGivesNoPicture) {
  const std::string noRead = TestFolder() + "\\kamolt_fake_module_noread.dll";
  ASSERT_TRUE(CopyFileA(noRead.c_str(), scratch_.File("CONV_PCX.DLL").c_str(), FALSE));
  const struct {
    const char* extensionKey;
    const char* text;
  } cases[] = {
      {".GIF.", "Die DLL zu diesem Format fehlt!"},
      {".PCX.", "DLL fehlerhaft!"},
  };
  for (const auto& c : cases) {
    MessageBoxes boxes;
    EXPECT_EQ(ConvertFileToDIB(scratch_.File("picture"), c.extensionKey), kNoDib) << c.extensionKey;
    const auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 1u) << c.extensionKey;
    EXPECT_EQ(seen[0].text, c.text);
    EXPECT_EQ(seen[0].caption, "CONV_xxx.DLL");
  }
}

TEST_F(Writer, ModuleWithoutTheWritingEntryWritesNothing) {
  InstallFake("EPS", false);
  const auto dib = ToGlobal(Picture(24));
  ScanSettings s = Settings(kFormatEps, scratch_.File("scan.jpg"));
  MessageBoxes boxes;
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);
  const auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "ConvertDIBtoXXX ist nicht vorhanden!");
  EXPECT_EQ(seen[0].caption, "CONV_EPS.DLL");
  EXPECT_EQ(std::string(s.fileName), scratch_.File("scan."));
  EXPECT_TRUE(FilesInScratch().empty());
}

TEST_F(Writer, InvertRuleForBlackAndWhite) {
  InstallFake("PCX");
  const Bytes mono = Picture(1, 33, 3);
  {
    const auto dib = ToGlobal(mono);
    ScanSettings s = Settings(kFormatPcx, scratch_.File("a"));
    s.pixelFlavor = 1;
    ASSERT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
    const Bytes after = FromGlobal(dib.Get());
    EXPECT_TRUE(std::equal(mono.begin(), mono.begin() + 48, after.begin())) << "header and both colours unchanged";
    for (std::size_t i = 48; i < mono.size(); ++i) ASSERT_EQ(after[i], static_cast<std::uint8_t>(~mono[i])) << i;
  }
  {
    const auto dib = ToGlobal(mono);
    ScanSettings s = Settings(kFormatPcx, scratch_.File("b"));
    ASSERT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
    EXPECT_EQ(FromGlobal(dib.Get()), mono) << "no flavour, no change";
  }
  {
    const Bytes grey = Picture(8);
    const auto dib = ToGlobal(grey);
    ScanSettings s = Settings(kFormatPcx, scratch_.File("c"));
    s.pixelFlavor = 1;
    ASSERT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
    EXPECT_EQ(FromGlobal(dib.Get()), grey) << "only 1-bit pictures are inverted";
  }
}

TEST_F(Writer, AbsurdDibsAreRefusedOnEveryRoute) {
  for (const char* ext : {"PCX", "GIF", "JPG", "TIF", "EPS", "BMP", "TMP"}) InstallFake(ext);
  const int loads = FakeLoads();
  Bytes wide = Picture(24);
  wide[4] = 0xFF, wide[5] = 0xFF, wide[6] = 0xFF, wide[7] = 0x3F;  // width past the block
  Bytes manyColours = Picture(8);
  manyColours[32] = 0x01, manyColours[33] = 0x10;  // 4097 colours
  Bytes shortBlock = Picture(24);
  shortBlock.resize(shortBlock.size() - 1);
  for (const Bytes& bad : {wide, manyColours, shortBlock}) {
    for (int code : {kFormatAuto, kFormatPcx, kFormatGif, kFormatJpg, kFormatBmp, kFormatPcd, kFormatTif, kFormatEps,
                     kFormatPng}) {
      const auto dib = ToGlobal(bad);
      ScanSettings s = Settings(code, scratch_.File("bad.jpg"));
      MessageBoxes boxes;
      EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0) << code;
      const auto seen = boxes.Seen();
      ASSERT_EQ(seen.size(), 1u) << code;
      EXPECT_EQ(seen[0].caption, "Fehler");
      EXPECT_EQ(seen[0].text.rfind("Ungültiges Bitmap", 0), 0u) << seen[0].text;
    }
  }
  EXPECT_EQ(FakeLoads(), loads);
  EXPECT_TRUE(FilesInScratch().empty());
}

TEST_F(Writer, FailedWritesLeaveTheUsersFileAlone) {
  const std::string old = "the user's old picture";
  const auto dib = ToGlobal(Picture(24));

  // A failing module: it wrote half a file, but not over the user's.
  InstallFake("JPG");
  scratch_.Write("scan.JPG", old);
  SetEnvironmentVariableA("KAMOLT_FAKE_FAIL", "1");
  ScanSettings s = Settings(kFormatJpg, scratch_.File("scan.JPG"));
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);
  SetEnvironmentVariableA("KAMOLT_FAKE_FAIL", nullptr);
  EXPECT_EQ(e2e::ReadFileBytes(scratch_.File("scan.JPG")), old);

  // A read-only bitmap file.
  scratch_.Write("scan.BMP", old);
  SetFileAttributesA(scratch_.File("scan.BMP").c_str(), FILE_ATTRIBUTE_READONLY);
  s = Settings(kFormatBmp, scratch_.File("scan.BMP"));
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);
  SetFileAttributesA(scratch_.File("scan.BMP").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(e2e::ReadFileBytes(scratch_.File("scan.BMP")), old);

  // A folder that is not there.
  s = Settings(kFormatBmp, scratch_.File("nowhere\\scan"));
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);

  std::vector<std::string> left = FilesInScratch();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"scan.BMP", "scan.JPG"})) << "no temporary files left behind";
}

TEST_F(Writer, ModuleWritesTheTargetAndAFailureBringsTheOldFileBack) {
  InstallFake("JPG");
  const std::string old = "the user's old picture";
  const std::string target = scratch_.File("scan.JPG");
  const auto dib = ToGlobal(Picture(24));
  const struct {
    const char* fail;
    bool oldThere;
    INT32 result;
  } cases[] = {{"", true, 1}, {"", false, 1}, {"1", true, 0}, {"1", false, 0}, {"nothing", true, 0}, {"nothing", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fail) + (c.oldThere ? " over an old file" : " as a new file"));
    DeleteFileA(target.c_str());
    if (c.oldThere) scratch_.Write("scan.JPG", old);
    SetEnvironmentVariableA("KAMOLT_FAKE_FAIL", c.fail);
    ScanSettings s = Settings(kFormatJpg, target);
    EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), c.result);
    SetEnvironmentVariableA("KAMOLT_FAKE_FAIL", nullptr);
    char given[MAX_PATH] = {};
    GetEnvironmentVariableA("KAMOLT_FAKE_NAME", given, MAX_PATH);
    EXPECT_EQ(std::string(given), target) << "the module is handed the target's own name";
    if (c.result) {
      EXPECT_EQ(ReadRecord(target, 12).module, "CONV_JPG.DLL");
    } else if (c.oldThere) {
      EXPECT_EQ(e2e::ReadFileBytes(target), old);
    } else {
      EXPECT_FALSE(e2e::FileExists(target));
    }
    EXPECT_EQ(FilesInScratch().size(), e2e::FileExists(target) ? 1u : 0u) << "nothing left aside";
  }
}

TEST_F(Writer, PngWithoutTheConverterIsWrittenHere) {
  for (int bits : {1, 4, 8, 24}) {
    const Bytes picture = Picture(bits, 11, 4);
    const auto dib = ToGlobal(picture);
    const std::string name = "png" + std::to_string(bits);
    ScanSettings s = Settings(kFormatPng, scratch_.File(name + ".bmp"));
    EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1) << bits;
    EXPECT_EQ(std::string(s.fileName), scratch_.File(name + ".PNG"));
    EXPECT_FALSE(e2e::FileExists(scratch_.File(name + ".TMP")));
    const auto decoded = ReadPngAsDib(ReadBytes(s.fileName));
    ASSERT_TRUE(std::holds_alternative<Bytes>(decoded)) << bits;
    EXPECT_EQ(RgbOf(std::get<Bytes>(decoded)), RgbOf(picture)) << bits;
  }
}

TEST_F(Writer, PngThroughTheExternalConverter) {
  const std::string standIn = TestFolder() + "\\standin\\i_view32.exe";
  ASSERT_TRUE(e2e::FileExists(standIn));
  ASSERT_TRUE(CopyFileA(standIn.c_str(), scratch_.File("i_view32.exe").c_str(), FALSE));
  const std::string located = LocateExternalConverter();
  char expected[MAX_PATH];
  GetShortPathNameA(scratch_.File("i_view32.exe").c_str(), expected, MAX_PATH);
  EXPECT_EQ(located, expected) << "found in the current folder, short form";

  const Bytes picture = Picture(24, 13, 6);
  const auto dib = ToGlobal(picture);
  ScanSettings s = Settings(kFormatPng, scratch_.File("scan"));
  std::strcpy(s.converterPath, located.c_str());
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
  EXPECT_EQ(std::string(s.fileName), scratch_.File("scan.PNG"));
  EXPECT_FALSE(e2e::FileExists(scratch_.File("scan.TMP")));
  const auto decoded = ReadPngAsDib(ReadBytes(s.fileName));
  ASSERT_TRUE(std::holds_alternative<Bytes>(decoded));
  EXPECT_EQ(RgbOf(std::get<Bytes>(decoded)), RgbOf(picture));

  // A converter that ends without a picture: failure, and the old PNG is not taken for one.
  const std::string oldPng = e2e::ReadFileBytes(scratch_.File("scan.PNG"));
  SetEnvironmentVariableA("KAMOLT_STANDIN_FAIL", "1");
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);
  SetEnvironmentVariableA("KAMOLT_STANDIN_FAIL", nullptr);
  EXPECT_EQ(e2e::ReadFileBytes(scratch_.File("scan.PNG")), oldPng);
  EXPECT_FALSE(e2e::FileExists(scratch_.File("scan.TMP")));

  // A converter that cannot be started.
  s = Settings(kFormatPng, scratch_.File("other"));
  std::strcpy(s.converterPath, scratch_.File("gone\\i_view32.exe").c_str());
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);
  EXPECT_FALSE(e2e::FileExists(scratch_.File("other.TMP")));
  EXPECT_FALSE(e2e::FileExists(scratch_.File("other.PNG")));
}

// The tests' hanging encoder serves as a converter that never ends.
TEST_F(Writer, AHungConverterIsEndedBeforeItsSourceGoes) {
  const std::string hanging = TestFolder() + "\\..\\tools\\lame_standin.exe";
  ASSERT_TRUE(e2e::FileExists(hanging));
  const auto dib = ToGlobal(Picture(24));
  ScanSettings s = Settings(kFormatPng, scratch_.File("scan"));
  std::strcpy(s.converterPath, hanging.c_str());
  SetEnvironmentVariableA("KAMOLT_LAME_HANG", "1");
  MessageBoxes boxes;
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);
  SetEnvironmentVariableA("KAMOLT_LAME_HANG", nullptr);
  const auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, "Fehler");
  EXPECT_NE(seen[0].text.find("nicht rechtzeitig"), std::string::npos) << seen[0].text;
  EXPECT_FALSE(e2e::FileExists(scratch_.File("scan.TMP")));
  EXPECT_FALSE(e2e::FileExists(scratch_.File("scan.PNG")));
}

TEST_F(Writer, ConverterNotFoundAnywhere) { EXPECT_EQ(LocateExternalConverter(), ""); }

TEST_F(Writer, NoNameAsksAndCancelIsAnError) {
  const auto dib = ToGlobal(Picture(24));
  ScanSettings s = Settings(kFormatBmp, "");
  MessageBoxes boxes;
  SaveDialogAnswer cancel("");
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 0);
  EXPECT_TRUE(cancel.Answered());
  const auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Kein Dateiname angegeben!");
  EXPECT_EQ(seen[0].caption, "Fehler");
}

TEST_F(Writer, NoNameAsksAndTheChosenNameIsUsed) {
  const auto dib = ToGlobal(Picture(24));
  ScanSettings s = Settings(kFormatBmp, "");
  SaveDialogAnswer choose(scratch_.File("chosen.xyz"));
  EXPECT_EQ(ConvertDIBtoFile(dib.Get(), s, 0), 1);
  EXPECT_TRUE(choose.Answered());
  EXPECT_EQ(choose.Filter(), "Windows Bitmap (*.bmp)");
  EXPECT_EQ(std::string(s.fileName), scratch_.File("chosen.BMP"));
  EXPECT_TRUE(e2e::FileExists(s.fileName));
}

}  // namespace
}  // namespace kamolt

namespace kamolt {
namespace {

// Through the real modules of dist/, read back through the reading side.
class RealModules : public Writer {
 protected:
  bool Install(const std::string& extension) {
    const char* dist = std::getenv("KAMOLT_DIST");
    if (dist == nullptr) return false;
    const std::string module = std::string(dist) + "\\CONV_" + extension + ".DLL";
    return CopyFileA(module.c_str(), scratch_.File("CONV_" + extension + ".DLL").c_str(), FALSE);
  }

  // Writes the picture in the format and reads the file back; empty when either failed.
  Bytes RoundTrip(const Bytes& picture, int formatCode, const std::string& extension) {
    const auto dib = ToGlobal(picture);
    ScanSettings s = Settings(formatCode, scratch_.File("round"));
    if (ConvertDIBtoFile(dib.Get(), s, 0) == 0) return {};
    EXPECT_EQ(std::string(s.fileName), scratch_.File("round." + extension));
    const win::GlobalMemory back(ConvertFileToDIB(s.fileName, "." + extension + "."));
    if (back.Get() == kNoDib) return {};
    return FromGlobal(back.Get());
  }
};

int LargestDifference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return 256;
  int largest = 0;
  for (std::size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
  return largest;
}

TEST_F(RealModules, WhatIsWrittenReadsBack) {
  struct Case {
    const char* extension;
    int formatCode;
    int bitCount;
    int tolerance;
  };
  const Case cases[] = {
      {"PCX", kFormatAuto, 1, 0}, {"PCX", kFormatPcx, 8, 0}, {"PCX", kFormatPcx, 24, 0},
      {"GIF", kFormatGif, 8, 0},  {"TIF", kFormatTif, 24, 0}, {"TIF", kFormatTif, 1, 0},
      {"JPG", kFormatAuto, 24, 12}, {"EPS", kFormatEps, 24, 0},
  };
  MessageBoxes boxes;
  for (const Case& c : cases) {
    if (!Install(c.extension)) {
      ADD_FAILURE() << "CONV_" << c.extension << ".DLL is not in KAMOLT_DIST";
      continue;
    }
    // Smooth for JPEG, whose error on noise says little; the pattern for the others.
    Bytes picture = Picture(c.bitCount, 40, 24);
    if (std::string(c.extension) == "JPG") {
      for (int y = 0; y < 24; ++y) {
        std::uint8_t* row = NewDibRowFromTop(picture, y);
        for (int x = 0; x < 40; ++x) row[3 * x] = static_cast<std::uint8_t>(6 * x), row[3 * x + 1] = static_cast<std::uint8_t>(10 * y), row[3 * x + 2] = 128;
      }
    }
    const Bytes back = RoundTrip(picture, c.formatCode, c.extension);
    ASSERT_FALSE(back.empty()) << c.extension << " " << c.bitCount;
    EXPECT_LE(LargestDifference(RgbOf(back), RgbOf(picture)), c.tolerance) << c.extension << " " << c.bitCount;
  }
  EXPECT_TRUE(boxes.Seen().empty());
}

}  // namespace
}  // namespace kamolt
