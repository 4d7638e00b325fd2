// Round trips through the real converter modules under Wine, checked against ImageMagick as
// the independent reader and writer. Run by "./kamolt.sh test" while the Wine bench is up
// (DISPLAY, WINEPREFIX and WINELOADER set by tests/e2e/wine_bench.sh); it calls
//   $WINELOADER $KAMOLT_MODULE_TOOL read|write $KAMOLT_MODULE_DIR/CONV_XXX.DLL ...
// (by default the 64-bit test build: build/win64/tools/module_tool.exe, build/win64/dist)
// and /usr/bin/convert, and compares pixels read back through ImageMagick.
//
// Adding a format: one row in kFormats (module, extension, the writer's option block as
// hex, whether the format is lossless), one TEST that calls WeWrite() for the depths the
// format writes and one that calls TheyWrite() with the ImageMagick options that make the
// files it should read (e.g. {"-colors", "16"}). TheyWrite's reference may pass its own
// ImageMagick reading options (an EPS preview, say) through Expect::magickRead, and tests
// can set MAGICK_CONFIGURE_PATH before the first call for a policy of their own.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Format {
  const char* module;
  const char* extension;
  const char* block;  // the writer's option block, hex
  bool lossless;
};

// The writer's blocks: 512, then the fields of each format.
const Format kJpg{"CONV_JPG.DLL", "jpg", "000200005500000000000000", false};
const Format kGif{"CONV_GIF.DLL", "gif", "0002000057000000010000000100000000000000", true};
const Format kTif{"CONV_TIF.DLL", "tif", "", true};  // block: TifBlock(bit count)
std::string TifBlock(int bits) {
  char hex[40];
  std::snprintf(hex, sizeof hex, "00020000%02x000000a58000000a000000", bits);
  return hex;
}

fs::path Source() { return fs::path(KAMOLT_SOURCE_DIR); }
fs::path Work() {
  static const fs::path work = [] {
    const fs::path dir = Source() / "build" / "roundtrip-work";
    fs::create_directories(dir);
    return dir;
  }();
  return work;
}
fs::path Tool() {
  const char* tool = std::getenv("KAMOLT_MODULE_TOOL");
  return tool ? fs::path(tool) : Source() / "build" / "win64" / "tools" / "module_tool.exe";
}
fs::path Modules() {
  const char* dir = std::getenv("KAMOLT_MODULE_DIR");
  return dir ? fs::path(dir) : Source() / "build" / "win64" / "dist";
}
std::string Wine() {
  const char* loader = std::getenv("WINELOADER");
  return loader ? loader : "wine";
}
std::string WinPath(const fs::path& path) {
  std::string text = "Z:" + fs::absolute(path).string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}
std::string Quote(const std::string& text) { return "'" + text + "'"; }

int Run(const std::string& command) {
  const int status = std::system((command + " 2>>" + Quote((Work() / "commands.log").string())).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Module(const std::string& command, const Format& format, const fs::path& in, const fs::path& out,
           const std::string& block = "") {
  return Run(Quote(Wine()) + " " + Quote(Tool().string()) + " " + command + " " + Quote(WinPath(Modules() / format.module)) +
             " " + Quote(WinPath(in)) + " " + Quote(WinPath(out)) + (block.empty() ? "" : " " + block));
}

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
};

// Any picture file as ImageMagick sees it, through a binary PPM.
Image Magick(const fs::path& file, const std::string& options = "") {
  const fs::path ppm = Work() / (file.filename().string() + ".ppm");
  Image image;
  if (Run("/usr/bin/convert " + Quote(file.string() + "[0]") + " " + options + " -auto-orient -depth 8 " +
          Quote("ppm:" + ppm.string())) != 0) {
    return image;
  }
  std::ifstream in(ppm, std::ios::binary);
  std::string magic;
  int most = 0;
  in >> magic >> image.width >> image.height >> most;
  in.get();
  image.rgb.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (magic != "P6" || image.rgb.size() != static_cast<std::size_t>(image.width) * image.height * 3) image = Image{};
  return image;
}

struct Difference {
  int largest = 0;
  double mean = 0;
};
Difference Compare(const Image& a, const Image& b) {
  if (a.rgb.empty() || a.width != b.width || a.height != b.height) return {1000, 1000};
  Difference d;
  double sum = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) {
    const int diff = std::abs(a.rgb[i] - b.rgb[i]);
    d.largest = std::max(d.largest, diff);
    sum += diff;
  }
  d.mean = sum / static_cast<double>(a.rgb.size());
  return d;
}

int BmpBitCount(const fs::path& bmp) {
  std::ifstream in(bmp, std::ios::binary);
  char header[30] = {};
  in.read(header, sizeof header);
  return in ? static_cast<unsigned char>(header[28]) : 0;
}

// A bitmap file of the given depth: a photo-like gradient at 24 bits (or, with few, five
// colours), diagonal bands of palette entries below; grey palettes with grey.
fs::path WriteBmp(const std::string& name, int bits, bool topDown, bool grey, bool few, bool blocky) {
  const int width = 37, height = 23;
  const int colours = bits == 24 ? 0 : 1 << bits;
  const int row = (width * bits + 31) / 32 * 4;
  std::vector<std::uint8_t> file(54 + 4 * colours + row * height);
  auto put = [&](int at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  file[0] = 'B', file[1] = 'M';
  put(2, static_cast<std::uint32_t>(file.size()), 4);
  put(10, 54 + 4 * colours, 4);
  put(14, 40, 4);
  put(18, width, 4);
  put(22, static_cast<std::uint32_t>(topDown ? -height : height), 4);
  put(26, 1, 2);
  put(28, bits, 2);
  put(46, colours, 4);
  for (int i = 0; i < colours; ++i) {
    const int v = i * 255 / (colours - 1);
    file[54 + 4 * i] = static_cast<std::uint8_t>(grey ? v : (i * 91 + 5) & 0xFF);
    file[55 + 4 * i] = static_cast<std::uint8_t>(grey ? v : 255 - i * 11);
    file[56 + 4 * i] = static_cast<std::uint8_t>(grey ? v : (i * 37) & 0xFF);
  }
  for (int y = 0; y < height; ++y) {
    const int stored = topDown ? y : height - 1 - y;
    std::uint8_t* r = file.data() + 54 + 4 * colours + stored * row;
    for (int x = 0; x < width; ++x) {
      if (bits == 24) {
        const int band = (x / 4 + y / 4) % 5;
        r[3 * x] = static_cast<std::uint8_t>(few ? band * 60 : 40 + x * 4);
        r[3 * x + 1] = static_cast<std::uint8_t>(few ? 255 - band * 50 : 30 + y * 6);
        r[3 * x + 2] = static_cast<std::uint8_t>(few ? band * 13 : 200 - (x + y) * 2);
        continue;
      }
      const int index = (blocky ? x / 16 * 5 + y / 16 * 3 : x / 3 + y) % colours;
      if (bits == 8) r[x] = static_cast<std::uint8_t>(index);
      if (bits == 4) r[x / 2] |= static_cast<std::uint8_t>(index << (x % 2 ? 0 : 4));
      if (bits == 1) r[x / 8] |= static_cast<std::uint8_t>(index << (7 - x % 8));
    }
  }
  const fs::path path = Work() / name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  return path;
}

struct Expect {
  int largest = 0;       // largest channel difference allowed
  double mean = 0;       // mean channel difference allowed
  int bitCount = 0;      // of the DIB read back, when nonzero
  std::string magickRead;
  bool blocky = false;  // the bitmap's palette bands in 16 x 16 blocks, which JPEG keeps well
};

// What we write, ImageMagick reads: the picture it sees in our file is the one it sees in
// the bitmap we started from.
void WeWrite(const Format& format, const std::string& block, int bits, bool topDown, const Expect& expect,
             bool grey = false, bool few = false) {
  const std::string name = std::string(format.extension) + "_w" + std::to_string(bits) + (topDown ? "td" : "bu") +
                           (grey ? "g" : "") + (few ? "f" : "");
  const fs::path bmp = WriteBmp(name + ".bmp", bits, topDown, grey, few, expect.blocky);
  const fs::path out = Work() / (name + "." + format.extension);
  fs::remove(out);
  ASSERT_EQ(Module("write", format, bmp, out, block), 0) << name;
  const Difference d = Compare(Magick(bmp), Magick(out, expect.magickRead));
  EXPECT_LE(d.largest, expect.largest) << name;
  EXPECT_LE(d.mean, expect.mean) << name;
}

// What ImageMagick writes, we read: our DIB shows what ImageMagick sees in its own file.
void TheyWrite(const Format& format, const std::string& name, const std::string& options, const Expect& expect) {
  const fs::path base = Work() / "they_base.ppm";
  if (!fs::exists(base)) {
    ASSERT_EQ(Run("/usr/bin/convert -size 61x43 gradient:'#2050c0'-'#f0c040' -fill '#c03030' -draw 'rectangle 8,6 30,20' "
                  "-fill white -draw 'circle 45,28 45,38' -depth 8 " + Quote("ppm:" + base.string())),
              0);
  }
  const fs::path file = Work() / (std::string(format.extension) + "_r_" + name + "." + format.extension);
  const fs::path back = Work() / (std::string(format.extension) + "_r_" + name + ".bmp");
  fs::remove(back);
  ASSERT_EQ(Run("/usr/bin/convert " + Quote(base.string()) + " " + options + " " + Quote(file.string())), 0) << name;
  ASSERT_EQ(Module("read", format, file, back), 0) << name;
  if (expect.bitCount) {
    EXPECT_EQ(BmpBitCount(back), expect.bitCount) << name;
  }
  const Difference d = Compare(Magick(file, expect.magickRead), Magick(back));
  EXPECT_LE(d.largest, expect.largest) << name;
  EXPECT_LE(d.mean, expect.mean) << name;
}

// A file the module must refuse (cut off): exit code 1, the entry's -1, and no crash.
void Refuses(const Format& format, const std::string& options, std::size_t keep) {
  const fs::path file = Work() / (std::string(format.extension) + "_cut." + format.extension);
  ASSERT_EQ(Run("/usr/bin/convert -size 200x150 plasma:fractal -seed 7 " + options + " " + Quote(file.string())), 0);
  fs::resize_file(file, std::min<std::uintmax_t>(keep, fs::file_size(file) / 2));
  EXPECT_EQ(Module("read", format, file, Work() / "cut.bmp"), 1) << format.module;
}

const Expect kExact{0, 0};

TEST(JpgModule, WeWriteEveryDepth) {
  Expect jpeg{96, 5.0};
  jpeg.blocky = true;
  for (const int bits : {1, 4, 8, 24}) {
    for (const bool topDown : {false, true}) WeWrite(kJpg, kJpg.block, bits, topDown, jpeg);
  }
  WeWrite(kJpg, kJpg.block, 8, false, jpeg, true);
}

TEST(JpgModule, WeReadWhatTheyWrite) {
  // The same library decodes on both sides; only rounding may differ.
  TheyWrite(kJpg, "colour", "-quality 85", {2, 0.1, 24});
  TheyWrite(kJpg, "grey", "-colorspace Gray -quality 85", {2, 0.1, 8});
  TheyWrite(kJpg, "progressive", "-interlace JPEG -quality 90", {2, 0.1, 24});
  TheyWrite(kJpg, "cmyk", "-colorspace CMYK -quality 95", {8, 1.0, 24});
  Refuses(kJpg, "-quality 85", 3000);
}

TEST(GifModule, WeWriteEveryDepth) {
  for (const int bits : {1, 4, 8}) {
    for (const bool topDown : {false, true}) WeWrite(kGif, kGif.block, bits, topDown, kExact);
  }
  WeWrite(kGif, kGif.block, 24, false, kExact, false, true);
  WeWrite(kGif, kGif.block, 24, true, {48, 8.0});  // more than 256 colours: quantised
}

TEST(GifModule, WeReadWhatTheyWrite) {
  TheyWrite(kGif, "2", "-colors 2", {0, 0, 1});
  TheyWrite(kGif, "16", "-colors 16", {0, 0, 4});
  TheyWrite(kGif, "256", "-colors 256", {0, 0, 8});
  TheyWrite(kGif, "interlaced", "-colors 200 -interlace GIF", {0, 0, 8});
  Refuses(kGif, "-colors 256", 4000);
}

TEST(TifModule, WeWriteEveryDepth) {
  for (const int bits : {1, 4, 8, 24}) {
    for (const bool topDown : {false, true}) WeWrite(kTif, TifBlock(bits), bits, topDown, kExact);
  }
  WeWrite(kTif, TifBlock(8), 8, false, kExact, true);
  WeWrite(kTif, TifBlock(1), 1, false, kExact, true);
}

TEST(TifModule, WeReadWhatTheyWrite) {
  TheyWrite(kTif, "bilevel", "-threshold 50% -type bilevel -depth 1", {0, 0, 1});
  TheyWrite(kTif, "grey", "-type grayscale -depth 8", {0, 0, 8});
  TheyWrite(kTif, "palette16", "-colors 16 -type palette", {0, 0, 4});
  TheyWrite(kTif, "palette256", "-colors 256 -type palette", {0, 0, 8});
  TheyWrite(kTif, "rgb", "-type truecolor", {0, 0, 24});
  TheyWrite(kTif, "lzw", "-type truecolor -compress lzw", {0, 0, 24});
  TheyWrite(kTif, "zip", "-type truecolor -compress zip", {0, 0, 24});
  TheyWrite(kTif, "packbits", "-type truecolor -compress rle", {0, 0, 24});
  TheyWrite(kTif, "lzma", "-type truecolor -compress lzma", {0, 0, 24});
  TheyWrite(kTif, "webp", "-type truecolor -compress webp -quality 80", {0, 0, 24});
  TheyWrite(kTif, "tiled", "-type truecolor -define tiff:tile-geometry=16x16", {0, 0, 24});
  TheyWrite(kTif, "bottomup", "-type truecolor -orient bottom-left", {0, 0, 24});
  TheyWrite(kTif, "sixteen", "-depth 16", {1, 0.6, 24});
  Refuses(kTif, "-type truecolor -compress none", 20000);
}

const Format kPcx{"CONV_PCX.DLL", "pcx", "000205000000000001000000", true};  // block: PcxBlock(bit count)
std::string PcxBlock(int bits) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "00020500%02x00000001000000", bits);
  return hex;
}
const Format kEps{"CONV_EPS.DLL", "eps", "00020000010000000100000004000000010000000100000001000000", true};
const Format kPcd{"CONV_PCD.DLL", "pcd", "", false};

TEST(PcxModule, WeWriteEveryDepth) {
  // Two-tone pictures in black and white: ImageMagick ignores a two-tone file's colours.
  for (const bool topDown : {false, true}) WeWrite(kPcx, PcxBlock(1), 1, topDown, kExact, true);
  for (const int bits : {4, 8, 24}) {
    for (const bool topDown : {false, true}) WeWrite(kPcx, PcxBlock(bits), bits, topDown, kExact);
  }
  WeWrite(kPcx, PcxBlock(8), 8, false, kExact, true);
}

TEST(PcxModule, WeReadWhatTheyWrite) {
  TheyWrite(kPcx, "16", "-colors 16 -type palette", {0, 0, 8});
  TheyWrite(kPcx, "256", "-colors 256 -type palette", {0, 0, 8});
  TheyWrite(kPcx, "grey", "-type grayscale", {0, 0, 0});
  TheyWrite(kPcx, "rgb", "-type truecolor", {0, 0, 24});
  Refuses(kPcx, "-type truecolor", 4000);
}

// ImageMagick's own policy file blocks its PostScript coders; these tests give it one of
// their own in a home folder of theirs (its configure path cannot lift the system's ban).
std::string MagickWithPostScript() {
  const fs::path home = Work() / "magick-home";
  const fs::path policy = home / ".config" / "ImageMagick" / "policy.xml";
  if (!fs::exists(policy)) {
    fs::create_directories(policy.parent_path());
    std::ofstream(policy) << "<policymap>\n  <policy domain=\"coder\" rights=\"read|write\" "
                             "pattern=\"{PS,PS2,PS3,EPS,EPSF,EPSI,EPT,EPT2,EPT3}\" />\n</policymap>\n";
  }
  return "HOME=" + Quote(home.string()) + " /usr/bin/convert";
}

// The TIFF preview of a binary EPS file, as a file of its own; empty path when there is none.
fs::path Preview(const fs::path& eps) {
  std::ifstream in(eps, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto get32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24);
  };
  if (file.size() < 30 || get32(0) != 0xC6D3D0C5u) return {};
  const std::uint32_t offset = get32(20), length = get32(24);
  if (length == 0 || offset + static_cast<std::uint64_t>(length) > file.size()) return {};
  const fs::path tiff = eps.string() + ".preview.tif";
  std::ofstream(tiff, std::ios::binary).write(reinterpret_cast<const char*>(file.data() + offset), length);
  return tiff;
}

// Both halves of what we write: ImageMagick reads the preview, Ghostscript draws the
// PostScript at one pixel a point; each must show the bitmap we started from.
void WeWriteEps(int bits, bool topDown, bool grey) {
  const std::string name = "eps_w" + std::to_string(bits) + (topDown ? "td" : "bu") + (grey ? "g" : "");
  const fs::path bmp = WriteBmp(name + ".bmp", bits, topDown, grey, false, false);
  const fs::path out = Work() / (name + ".eps");
  fs::remove(out);
  ASSERT_EQ(Module("write", kEps, bmp, out, kEps.block), 0) << name;
  const Image reference = Magick(bmp);
  const fs::path preview = Preview(out);
  ASSERT_FALSE(preview.empty()) << name;
  const Difference tiff = Compare(reference, Magick(preview));
  EXPECT_EQ(tiff.largest, 0) << name << " preview";
  const fs::path drawn = Work() / (name + ".gs.png");
  ASSERT_EQ(Run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r72 -dEPSCrop -sOutputFile=" +
                Quote(drawn.string()) + " " + Quote(out.string())),
            0)
      << name;
  const Difference ps = Compare(reference, Magick(drawn));
  EXPECT_LE(ps.largest, 1) << name << " PostScript";
  EXPECT_LE(ps.mean, 0.05) << name << " PostScript";
}

TEST(EpsModule, WeWriteEveryDepth) {
  for (const bool topDown : {false, true}) {
    WeWriteEps(1, topDown, true);
    WeWriteEps(8, topDown, true);
    WeWriteEps(24, topDown, false);
  }
  WeWriteEps(1, false, false);  // two colours that are not black and white
  WeWriteEps(4, false, false);
  WeWriteEps(8, false, false);
}

// ImageMagick's EPS with a TIFF preview: what we read is what it reads in that preview.
void TheyWriteEps(const std::string& name, const std::string& options, int bitCount) {
  const fs::path base = Work() / "eps_base.ppm";
  ASSERT_EQ(Run("/usr/bin/convert -size 61x43 gradient:'#2050c0'-'#f0c040' -fill '#c03030' -draw 'rectangle 8,6 30,20' "
                "-depth 8 " + Quote("ppm:" + base.string())),
            0);
  const fs::path file = Work() / ("eps_r_" + name + ".eps"), back = Work() / ("eps_r_" + name + ".bmp");
  fs::remove(back);
  ASSERT_EQ(Run(MagickWithPostScript() + " " + Quote(base.string()) + " " + options + " " + Quote("EPT:" + file.string())),
            0)
      << name;
  ASSERT_EQ(Module("read", kEps, file, back), 0) << name;
  if (bitCount) {
    EXPECT_EQ(BmpBitCount(back), bitCount) << name;
  }
  const fs::path preview = Preview(file);
  ASSERT_FALSE(preview.empty()) << name;
  EXPECT_EQ(Compare(Magick(preview), Magick(back)).largest, 0) << name;
}

TEST(EpsModule, WeReadWhatTheyWrite) {
  TheyWriteEps("colour", "", 8);  // ImageMagick's preview of a colour picture has a palette
  TheyWriteEps("16", "-colors 16", 4);
  TheyWriteEps("bilevel", "-monochrome", 0);
  // No binary header, no preview: plain PostScript is not ours to draw.
  const fs::path plain = Work() / "eps_plain.eps";
  ASSERT_EQ(::Run(MagickWithPostScript() + " -size 20x20 xc:red " + Quote("EPS:" + plain.string())), 0);
  EXPECT_EQ(Module("read", kEps, plain, Work() / "eps_plain.bmp"), 1);
}

// ImageMagick's Photo CD pack: we read its Base picture as ImageMagick reads it (its fourth
// scene), within a step or two of colour conversion and chroma interpolation.
void TheyWritePcd(const std::string& name, const std::string& options) {
  const fs::path file = Work() / ("pcd_r_" + name + ".pcd"), back = Work() / ("pcd_r_" + name + ".bmp");
  fs::remove(back);
  ASSERT_EQ(Run("/usr/bin/convert -size 300x200 gradient:'#2050c0'-'#f0c040' -fill '#c03030' -draw 'circle 80,70 80,20' " +
                options + " " + Quote(file.string())),
            0);
  ASSERT_EQ(Module("read", kPcd, file, back), 0) << name;
  EXPECT_EQ(BmpBitCount(back), 24) << name;
  const fs::path reference = Work() / ("pcd_r_" + name + ".png");
  ASSERT_EQ(Run("/usr/bin/convert " + Quote(file.string() + "[3]") + " " + Quote(reference.string())), 0);
  const Difference d = Compare(Magick(reference), Magick(back));
  EXPECT_LE(d.largest, 4) << name;
  EXPECT_LE(d.mean, 0.5) << name;
}

TEST(PcdModule, WeReadWhatTheyWrite) {
  TheyWritePcd("landscape", "");
  TheyWritePcd("upright", "-rotate 90");
  Refuses(kPcd, "", 700000);
}

TEST(PcdModule, NeverWrites) {
  const fs::path bmp = WriteBmp("pcd_w24.bmp", 24, false, false, false, false);
  const fs::path out = Work() / "pcd_w24.pcd";
  fs::remove(out);
  EXPECT_EQ(Module("write", kPcd, bmp, out, ""), 1);
  EXPECT_FALSE(fs::exists(out));
}

// The closing line the test script looks for.
class Tally : public ::testing::EmptyTestEventListener {
  void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
    std::printf("roundtrip: %d passed, %d failed\n", unit.successful_test_count(), unit.failed_test_count());
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new Tally);
  return RUN_ALL_TESTS();
}
