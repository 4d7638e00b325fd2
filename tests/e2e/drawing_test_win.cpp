// Marks drawn onto the pictures the viewer shows, checked on the pixels of the JPEG copy the
// viewer writes beside them, decoded here by libjpeg itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "test_pictures_win.h"
#include "viewer_fixture_win.h"

namespace e2e {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);

struct Rgb {
  int r, g, b;
  int Luma() const { return (299 * r + 587 * g + 114 * b) / 1000; }
};

std::ostream& operator<<(std::ostream& out, const Rgb& p) {
  return out << "rgb(" << p.r << "," << p.g << "," << p.b << ")";
}

struct Jpeg {
  int width = 0, height = 0;
  bool progressive = false;
  int components = 0;
  std::vector<unsigned char> rgb;
  Rgb At(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
  bool Dark(int x, int y) const { return At(x, y).Luma() < 90; }
  bool Light(int x, int y) const { return At(x, y).Luma() > 200; }
};

struct JumpingErrors {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};

// Baseline and progressive alike; nullopt for anything libjpeg will not read.
std::optional<Jpeg> DecodeJpeg(const std::string& bytes) {
  jpeg_decompress_struct info{};
  JumpingErrors errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = [](j_common_ptr common) {
    std::longjmp(reinterpret_cast<JumpingErrors*>(common->err)->back, 1);
  };
  Jpeg picture;
  if (setjmp(errors.back)) {
    jpeg_destroy_decompress(&info);
    return std::nullopt;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  picture.width = static_cast<int>(info.output_width);
  picture.height = static_cast<int>(info.output_height);
  picture.progressive = info.progressive_mode;
  picture.components = info.num_components;
  picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &picture.rgb[static_cast<std::size_t>(info.output_scanline) * picture.width * 3];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return picture;
}

// Within JPEG's error of one of the primary colours a mark can be given in.
bool IsRed(const Rgb& p) { return p.r > 160 && p.g < 110 && p.b < 110; }
bool IsGreen(const Rgb& p) { return p.g > 160 && p.r < 110 && p.b < 110; }
bool IsBlue(const Rgb& p) { return p.b > 160 && p.r < 110 && p.g < 110; }
bool IsNear(const Rgb& p, COLORREF colour) {
  return std::abs(p.r - GetRValue(colour)) < 24 && std::abs(p.g - GetGValue(colour)) < 24 &&
         std::abs(p.b - GetBValue(colour)) < 24;
}

// Dark and light runs along a row, as a person scanning the line would see them.
struct Runs {
  int darkRuns = 0, longestDark = 0, longestLight = 0;
};
Runs RunsAlong(const Jpeg& jpeg, int y, int fromX, int toX) {
  Runs runs;
  int length = 0;
  bool dark = jpeg.At(fromX, y).Luma() < 128;
  if (dark) runs.darkRuns = 1;
  for (int x = fromX; x <= toX; ++x) {
    const bool now = jpeg.At(x, y).Luma() < 128;
    if (now != dark) {
      dark = now;
      length = 0;
      if (dark) ++runs.darkRuns;
    }
    ++length;
    (dark ? runs.longestDark : runs.longestLight) = std::max(dark ? runs.longestDark : runs.longestLight, length);
  }
  return runs;
}

// The box of pixels that differ from the background inside a search window.
RECT ChangedBox(const Jpeg& jpeg, COLORREF background, const RECT& window) {
  RECT box{window.right, window.bottom, window.left - 1, window.top - 1};
  for (int y = window.top; y < window.bottom; ++y) {
    for (int x = window.left; x < window.right; ++x) {
      if (IsNear(jpeg.At(x, y), background)) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  return box;
}

class DrawingTest : public ViewerTest {
 protected:
  std::string Copy() const { return scratch_.File("copy.jpg"); }

  // The viewer on a picture with a drawing list, a colour and the copy's path.
  HWND Start(const std::string& picture, const std::string& list, const std::string& colour = "") {
    std::string arguments = "\"" + picture + "\" \"/D" + list + "\" \"/S" + Copy() + "\"";
    if (!colour.empty()) arguments += " /C" + colour;
    return ViewerTest::Start(arguments);
  }

  // The copy once it decodes and satisfies ready (a later load rewrites it).
  std::optional<Jpeg> WaitCopy(const std::function<bool(const Jpeg&)>& ready = [](const Jpeg&) { return true; }) {
    std::optional<Jpeg> copy;
    WaitUntil([&] {
      if (!WaitForFile(Copy(), std::chrono::milliseconds(0))) return false;
      copy = DecodeJpeg(ReadFileBytes(Copy()));
      return copy && ready(*copy);
    });
    return copy;
  }

};

TEST_F(DrawingTest, PointMarkAndLinesLandWhereTheListPutsThemInTheirColours) {
  Picture("white.bmp", BmpFile(240, 160, kWhite));
  Start("white.bmp", "120,50;L20,100,220,100,5,$00FF00;L20,130,220,130,5", "255");
  const auto copy = WaitCopy();
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->width, 240);
  ASSERT_EQ(copy->height, 160);
  EXPECT_FALSE(copy->progressive) << "baseline";
  EXPECT_EQ(copy->components, 3) << "colour";

  EXPECT_TRUE(IsRed(copy->At(120, 50))) << "centre of the cross " << copy->At(120, 50);
  EXPECT_TRUE(IsRed(copy->At(112, 42))) << "upper left arm " << copy->At(112, 42);
  EXPECT_TRUE(IsRed(copy->At(128, 42))) << "upper right arm " << copy->At(128, 42);
  EXPECT_TRUE(copy->Light(123, 51)) << "inside the circle, between the arms: the white brush";
  EXPECT_TRUE(IsGreen(copy->At(120, 100))) << "colour field 65280 " << copy->At(120, 100);
  EXPECT_TRUE(IsRed(copy->At(120, 130))) << "no colour field: the /C colour again " << copy->At(120, 130);
  EXPECT_TRUE(copy->Light(120, 94)) << "a 5 pixel line stays 5 pixels wide";
  EXPECT_TRUE(copy->Light(10, 100)) << "before the line's start";
  const RECT untouched = ChangedBox(*copy, kWhite, {140, 0, 240, 90});
  EXPECT_GE(untouched.left, untouched.right) << "nothing drawn right of the mark";
}

TEST_F(DrawingTest, DottedAndDashedLinesStayPatternedAtWidthThree) {
  Picture("white.bmp", BmpFile(240, 160, kWhite));
  Start("white.bmp", "0;L10,40,230,40,-3;L10,80,230,80,+3;L10,120,230,120,3", "0");
  const auto copy = WaitCopy();
  ASSERT_TRUE(copy);

  const Runs dotted = RunsAlong(*copy, 40, 20, 220);
  EXPECT_GE(dotted.darkRuns, 15) << "dots along 200 pixels";
  EXPECT_LE(dotted.longestDark, 6);
  const Runs dashed = RunsAlong(*copy, 80, 20, 220);
  EXPECT_GE(dashed.darkRuns, 5) << "dashes along 200 pixels";
  EXPECT_GE(dashed.longestDark, 7) << "dashes are longer than dots";
  EXPECT_GE(dashed.longestLight, 2) << "and have gaps";
  const Runs solid = RunsAlong(*copy, 120, 20, 220);
  EXPECT_EQ(solid.darkRuns, 1);
  EXPECT_EQ(solid.longestLight, 0);

  for (const int y : {40, 80, 120}) {
    int x = 20;
    while (x < 220 && !copy->Dark(x, y)) ++x;
    EXPECT_TRUE(copy->Dark(x, y - 1) && copy->Dark(x, y + 1)) << "3 pixels wide at y " << y;
    EXPECT_TRUE(copy->Light(x, y - 3) && copy->Light(x, y + 3)) << "and no wider at y " << y;
  }
}

TEST_F(DrawingTest, CommaRulesDecideWhatIsDrawn) {
  Picture("grey.bmp", BmpFile(240, 160, kGrey));
  Start("grey.bmp", "0;l60,60,100,100;L20,8,220,8;T10,100,12,Hallo, Welt;T130,100,24,Hg", "0");
  const auto copy = WaitCopy();
  ASSERT_TRUE(copy);

  // Without the fourth comma y2 is 0 and the 8 is the width: a slanted line, 8 pixels wide.
  EXPECT_TRUE(copy->Dark(210, 1)) << copy->At(210, 1);
  EXPECT_TRUE(IsNear(copy->At(210, 10), kGrey)) << "not the level line that was meant " << copy->At(210, 10);
  EXPECT_TRUE(copy->Dark(30, 9)) << copy->At(30, 9);

  // A lower-case l is no line: a mark at (0, 0), since "l60" is no number; drawn before the
  // line, it still has the 1 pixel pen.
  EXPECT_TRUE(IsNear(copy->At(80, 80), kGrey)) << copy->At(80, 80);
  EXPECT_TRUE(copy->Dark(2, 2)) << "the mark's cross " << copy->At(2, 2);
  EXPECT_TRUE(copy->Light(4, 1)) << "the mark's white circle " << copy->At(4, 1);

  // Texts on white, commas kept, at their point size (12 and 24 points at the screen's 96 dpi).
  const RECT small = ChangedBox(*copy, kGrey, {0, 90, 125, 160});
  EXPECT_NEAR(small.left, 10, 1);
  EXPECT_NEAR(small.top, 100, 1);
  EXPECT_GE(small.right - small.left, 60) << "\"Hallo, Welt\", not just \"Hallo\"";
  EXPECT_GE(small.bottom - small.top, 15);
  EXPECT_LE(small.bottom - small.top, 24);
  EXPECT_TRUE(copy->Light(small.right - 2, small.top + 1)) << "the background of the text is white";
  const RECT large = ChangedBox(*copy, kGrey, {125, 90, 240, 160});
  EXPECT_NEAR(large.left, 130, 1);
  EXPECT_GE(large.bottom - large.top, 30);
  EXPECT_LE(large.bottom - large.top, 46);
}

TEST_F(DrawingTest, ListFromAFileWithCrLfLines) {
  Picture("white.bmp", BmpFile(240, 160, kWhite));
  Picture("marks.txt", "L20,40,220,40,5,16711680\r\n120,100\r\n\r\n");
  Start("white.bmp", "marks.txt", "255");
  const auto copy = WaitCopy();
  ASSERT_TRUE(copy);
  EXPECT_TRUE(IsBlue(copy->At(120, 40))) << copy->At(120, 40);
  EXPECT_TRUE(IsRed(copy->At(120, 100))) << copy->At(120, 100);
  EXPECT_TRUE(IsRed(copy->At(112, 92))) << "a 5 pixel pen carried into the mark " << copy->At(112, 92);
}

TEST_F(DrawingTest, MissingListFileDrawsNothingButTheCopyIsWritten) {
  Picture("white.bmp", BmpFile(100, 60, kWhite));
  Start("white.bmp", "L0,0,10,10", "255");
  const auto copy = WaitCopy();
  ASSERT_TRUE(copy);
  const RECT changed = ChangedBox(*copy, kWhite, {0, 0, 100, 60});
  EXPECT_GE(changed.left, changed.right) << "nothing drawn";
}

TEST_F(DrawingTest, CopyIsRewrittenForEveryPictureShown) {
  Picture("a.bmp", BmpFile(240, 160, kWhite));
  Picture("b.bmp", BmpFile(200, 100, RGB(0, 0, 255)));
  const HWND viewer = Start("a.bmp", "60,40", "0");
  ASSERT_TRUE(viewer);
  const auto first = WaitCopy();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->width, 240);
  EXPECT_TRUE(first->Dark(60, 40));

  PressKey(viewer, VK_SPACE);
  const auto second = WaitCopy([](const Jpeg& jpeg) { return jpeg.width == 200; });
  ASSERT_TRUE(second) << "the copy still holds the first picture";
  EXPECT_EQ(second->height, 100);
  EXPECT_TRUE(IsBlue(second->At(150, 80))) << second->At(150, 80);
  EXPECT_TRUE(second->Dark(60, 40)) << "the mark is on the second picture too";
  EXPECT_TRUE(second->Light(63, 41)) << "with its white circle";
}

TEST_F(DrawingTest, NoDrawingListMeansNoCopy) {
  Picture("a.bmp", BmpFile(40, 30, kWhite));
  app_ = std::make_unique<App>(Exe(), "a.bmp \"/S" + Copy() + "\"", PictureFolder());
  const HWND viewer = app_->WaitMainWindow(kViewerClass);
  ASSERT_TRUE(viewer);
  ASSERT_TRUE(WaitUntil([&] { return WindowText(viewer) == "a.bmp (40x30)"; }));
  EXPECT_FALSE(FileExists(Copy()));
}

TEST_F(DrawingTest, IconRefusesToBeDrawnOnAndKeepsTheOldCopy) {
  Picture("sign.ico", IconFile(32, RGB(200, 40, 40)));
  scratch_.Write("copy.jpg", "the copy of an earlier run");
  app_ = std::make_unique<App>(Exe(), "sign.ico /D5,5 \"/S" + Copy() + "\"", PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Kamolt");
  EXPECT_EQ(box->text, "Bild kann nur geändert werden, wenn es ein Bitmap enthält");
  AnswerMessageBox(box->hwnd);
  ASSERT_TRUE(app_->WaitMainWindow(kViewerClass));
  EXPECT_EQ(ReadFileBytes(Copy()), "the copy of an earlier run");
}

TEST_F(DrawingTest, MetafileRefusesToBeDrawnOnAndWritesNoCopy) {
  Picture("plan.emf", EmfFile(120, 80));
  app_ = std::make_unique<App>(Exe(), "plan.emf /D5,5 \"/S" + Copy() + "\"", PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Kamolt");
  EXPECT_EQ(box->text, "Bild kann nur geändert werden, wenn es ein Bitmap enthält");
  AnswerMessageBox(box->hwnd);
  ASSERT_TRUE(app_->WaitMainWindow(kViewerClass));
  EXPECT_FALSE(FileExists(Copy()));
}

TEST_F(DrawingTest, UnwritableCopyPathShowsTheFileError) {
  Picture("a.bmp", BmpFile(40, 30, kWhite));
  const std::string path = "C:\\kamolt-nowhere\\sub\\copy.jpg";
  app_ = std::make_unique<App>(Exe(), "a.bmp /D5,5 \"/S" + path + "\"", PictureFolder());
  const auto box = WaitMessageBox(app_->ProcessId());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Kamolt");
  EXPECT_EQ(box->text.rfind("Datei " + path + " kann nicht erstellt werden", 0), 0u) << box->text;
  AnswerMessageBox(box->hwnd);
  EXPECT_TRUE(app_->WaitMainWindow(kViewerClass));
  EXPECT_FALSE(FileExists(path));
}

}  // namespace
}  // namespace e2e
