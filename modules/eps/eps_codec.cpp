#include "modules/eps/eps_codec.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "base/dib_pixels.h"
#include "base/little_endian.h"

namespace kamolt::eps {
namespace {

constexpr std::size_t kHeaderSize = 30;
constexpr std::uint8_t kMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
// No single allocation inside libtiff may claim more than this for a preview.
constexpr tmsize_t kLargestTiffAllocation = 512 * 1024 * 1024;

CodecError Fault(const std::string& why) { return {"EPS-Datei fehlerhaft: " + why}; }

// A TIFF in memory: read from the file's preview section, or written into a growing buffer.
struct Stream {
  const std::uint8_t* data = nullptr;
  std::uint64_t size = 0;
  std::vector<std::uint8_t>* out = nullptr;
  std::uint64_t position = 0;
  std::string error;

  std::uint64_t Size() const { return out ? out->size() : size; }
};

Stream* Of(thandle_t handle) { return static_cast<Stream*>(handle); }

tmsize_t StreamRead(thandle_t handle, void* buffer, tmsize_t count) {
  Stream& s = *Of(handle);
  if (count < 0) return -1;
  const std::uint8_t* base = s.out ? s.out->data() : s.data;
  const std::uint64_t size = s.Size();
  const std::uint64_t got = s.position < size ? std::min<std::uint64_t>(size - s.position, count) : 0;
  if (got) std::memcpy(buffer, base + s.position, got);
  s.position += got;
  return static_cast<tmsize_t>(got);
}

tmsize_t StreamWrite(thandle_t handle, void* buffer, tmsize_t count) {
  Stream& s = *Of(handle);
  if (!s.out || count < 0) return -1;
  const std::uint64_t end = s.position + static_cast<std::uint64_t>(count);
  if (end > std::numeric_limits<std::int32_t>::max()) return -1;
  // No exception may unwind through libtiff's C frames.
  try {
    if (end > s.out->size()) s.out->resize(end);
  } catch (...) {
    return -1;
  }
  if (count) std::memcpy(s.out->data() + s.position, buffer, static_cast<std::size_t>(count));
  s.position = end;
  return count;
}

toff_t StreamSeek(thandle_t handle, toff_t offset, int whence) {
  Stream& s = *Of(handle);
  const std::uint64_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? s.Size() : 0;
  // libtiff passes backward moves as wrapped unsigned offsets.
  const std::uint64_t target = base + offset;
  if (target > std::numeric_limits<std::int32_t>::max()) return static_cast<toff_t>(-1);
  s.position = target;
  return target;
}

int StreamClose(thandle_t) { return 0; }
toff_t StreamSize(thandle_t handle) { return Of(handle)->Size(); }
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

int KeepFirstError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto& error = *static_cast<std::string*>(user);
  if (error.empty()) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    try {
      error = std::string(module ? module : "TIFF") + ": " + text;
    } catch (...) {
      // Out of memory: the failure is reported all the same, without its words.
    }
  }
  return 1;  // handled: nothing reaches stderr or a message box
}
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle OpenStream(Stream& stream, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, KeepFirstError, &stream.error);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kLargestTiffAllocation);
  TIFF* tiff = TIFFClientOpenExt("preview", mode, &stream, StreamRead, StreamWrite, StreamSeek, StreamClose,
                                 StreamSize, NoMap, NoUnmap, options);
  TIFFOpenOptionsFree(options);
  return TiffHandle(tiff);
}

// How the picture is drawn: two-tone black and white, shades of grey, or colour.
enum class Look { BlackWhite, Grey, Colour };

bool IsBlack(const Rgb& c) { return c == Rgb{0, 0, 0}; }
bool IsWhite(const Rgb& c) { return c == Rgb{255, 255, 255}; }

Look LookOf(const DibPicture& picture) {
  if (!picture.HasPalette()) return Look::Colour;
  const auto& p = picture.Palette();
  if (picture.BitCount() == 1 && ((IsBlack(p[0]) && IsWhite(p[1])) || (IsWhite(p[0]) && IsBlack(p[1])))) {
    return Look::BlackWhite;
  }
  return picture.GreyPalette() ? Look::Grey : Look::Colour;
}

bool IdentityGreys(const DibPicture& picture) {
  if (picture.BitCount() != 8) return false;
  const auto& p = picture.Palette();
  for (int i = 0; i < 256; ++i) {
    if (p[i] != Rgb{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)}) return false;
  }
  return true;
}

std::size_t PackedBytes(int width, int bits) { return (static_cast<std::size_t>(width) * bits + 7) / 8; }

// The bits of a 1-bit row with the padding past the width cleared.
void CopyPackedRow(const std::uint8_t* row, int width, int bits, bool invert, std::uint8_t* out) {
  const std::size_t bytes = PackedBytes(width, bits);
  for (std::size_t i = 0; i < bytes; ++i) out[i] = invert ? static_cast<std::uint8_t>(~row[i]) : row[i];
  const int tail = static_cast<int>((static_cast<std::size_t>(width) * bits) % 8);
  if (tail) out[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> tail);
}

std::variant<std::vector<std::uint8_t>, CodecError> WritePreview(const DibPicture& picture) {
  std::vector<std::uint8_t> bytes;
  Stream stream;
  stream.out = &bytes;
  TiffHandle tiff = OpenStream(stream, "wl");
  if (!tiff) return CodecError{"TIFF-Vorschau: " + stream.error};
  TIFF* t = tiff.get();
  const int width = picture.Width(), height = picture.Height();
  const Look look = LookOf(picture);
  const bool grey = look == Look::BlackWhite || IdentityGreys(picture);
  const int bits = picture.HasPalette() ? picture.BitCount() : 8;
  const int samples = picture.HasPalette() ? 1 : 3;

  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bits));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(samples));
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  // Uncompressed: the previews' readers are old programs, and many know nothing else.
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(t, TIFFTAG_XRESOLUTION, 72.0f);
  TIFFSetField(t, TIFFTAG_YRESOLUTION, 72.0f);
  std::vector<std::uint16_t> map[3];
  if (!picture.HasPalette()) {
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  } else if (grey) {
    // A two-tone picture keeps its bits: white-first tables say so in the photometric tag.
    const bool whiteFirst = look == Look::BlackWhite && IsWhite(picture.Palette()[0]);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, whiteFirst ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
  } else {
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    for (auto& m : map) m.resize(std::size_t{1} << bits);
    for (std::size_t i = 0; i < map[0].size(); ++i) {
      const Rgb c = picture.Palette()[i];
      map[0][i] = static_cast<std::uint16_t>(c.r * 257);
      map[1][i] = static_cast<std::uint16_t>(c.g * 257);
      map[2][i] = static_cast<std::uint16_t>(c.b * 257);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
  }
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

  std::vector<std::uint8_t> line(samples == 3 ? 3 * static_cast<std::size_t>(width) : PackedBytes(width, bits));
  for (int y = 0; y < height; ++y) {
    if (samples == 3) {
      picture.RowToRgb(y, line.data());
    } else {
      CopyPackedRow(picture.RowFromTop(y), width, bits, false, line.data());
    }
    if (TIFFWriteScanline(t, line.data(), static_cast<std::uint32_t>(y), 0) < 0) {
      return CodecError{"TIFF-Vorschau: " + stream.error};
    }
  }
  if (!TIFFWriteDirectory(t)) return CodecError{"TIFF-Vorschau: " + stream.error};
  tiff.reset();
  if (!stream.error.empty()) return CodecError{"TIFF-Vorschau: " + stream.error};
  return bytes;
}

void AppendHex(std::string& out, const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
    if (i % 36 == 35 || i + 1 == count) out.push_back('\n');
  }
}

std::string WritePostScript(const DibPicture& picture) {
  const int width = picture.Width(), height = picture.Height();
  const Look look = LookOf(picture);
  const std::string w = std::to_string(width), h = std::to_string(height);
  const int bits = look == Look::BlackWhite ? 1 : 8;
  const std::size_t lineBytes = look == Look::BlackWhite ? PackedBytes(width, 1)
                                : look == Look::Grey     ? static_cast<std::size_t>(width)
                                                         : 3 * static_cast<std::size_t>(width);
  std::string ps;
  ps.reserve(512 + (2 * lineBytes + lineBytes / 18 + 2) * static_cast<std::size_t>(height));
  ps += "%!PS-Adobe-3.0 EPSF-3.0\n";
  ps += "%%Creator: Kamolt\n";
  ps += "%%BoundingBox: 0 0 " + w + " " + h + "\n";
  ps += "%%LanguageLevel: 1\n";
  ps += "%%Pages: 1\n";
  ps += "%%EndComments\n";
  ps += "%%BeginProlog\n%%EndProlog\n";
  ps += "%%Page: 1 1\n";
  // Our names live in a dictionary of their own, so the including document's stay as they are.
  ps += "gsave 2 dict begin\n";
  ps += "/kamoltRow " + std::to_string(lineBytes) + " string def\n";
  ps += w + " " + h + " scale\n";
  ps += w + " " + h + " " + std::to_string(bits) + " [" + w + " 0 0 -" + h + " 0 " + h + "]\n";
  ps += "{currentfile kamoltRow readhexstring pop}\n";
  ps += look == Look::Colour ? "false 3 colorimage\n" : "image\n";

  std::vector<std::uint8_t> line(std::max<std::size_t>(lineBytes, 3 * static_cast<std::size_t>(width)));
  // PostScript's grey samples run from 0 black to 1 white: a table that starts with black
  // keeps its bits, one that starts with white has them turned over.
  const bool invert = look == Look::BlackWhite && IsWhite(picture.Palette()[0]);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = picture.RowFromTop(y);
    if (look == Look::BlackWhite) {
      CopyPackedRow(row, width, 1, invert, line.data());
    } else if (look == Look::Grey) {
      for (int x = 0; x < width; ++x) line[x] = picture.Palette()[PaletteIndexAt(row, x, picture.BitCount())].r;
    } else {
      picture.RowToRgb(y, line.data());
    }
    AppendHex(ps, line.data(), lineBytes);
  }
  ps += "end grestore\n";
  ps += "showpage\n";
  ps += "%%Trailer\n%%EOF\n";
  return ps;
}

std::vector<Rgb> PreviewPalette(TIFF* t, int photometric, int bits) {
  const std::size_t count = std::size_t{1} << bits;
  std::vector<Rgb> palette(count);
  if (photometric == PHOTOMETRIC_PALETTE) {
    std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b)) return {};
    // Some writers store 8-bit values in the 16-bit table.
    bool eightBit = true;
    for (std::size_t i = 0; i < count; ++i) eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
    const auto eight = [eightBit](std::uint16_t v) {
      return static_cast<std::uint8_t>(eightBit ? v : v / 257u);
    };
    for (std::size_t i = 0; i < count; ++i) palette[i] = {eight(r[i]), eight(g[i]), eight(b[i])};
    return palette;
  }
  for (std::size_t i = 0; i < count; ++i) {
    auto v = static_cast<std::uint8_t>(i * 255 / (count - 1));
    if (photometric == PHOTOMETRIC_MINISWHITE) v = static_cast<std::uint8_t>(255 - v);
    palette[i] = {v, v, v};
  }
  return palette;
}

}  // namespace

std::variant<EpsSections, CodecError> ReadEpsHeader(const std::uint8_t* file, std::size_t size) {
  // Plain PostScript is a valid EPS file too, but only a PostScript interpreter can draw it:
  // the user is told it has no preview rather than that it is damaged.
  if (file != nullptr && size >= 2 && file[0] == '%' && file[1] == '!') {
    return CodecError{"EPS-Datei ohne Vorschaubild: reines PostScript kann ohne Ghostscript nicht angezeigt werden",
                      true};
  }
  if (file == nullptr || size < kHeaderSize || std::memcmp(file, kMagic, 4) != 0) {
    return Fault("kein binärer EPS-Kopf");
  }
  EpsSections s;
  const std::uint64_t psOffset = Get32(file + 4), psLength = Get32(file + 8);
  const std::uint64_t tiffOffset = Get32(file + 20), tiffLength = Get32(file + 24);
  if (psOffset + psLength > size || tiffOffset + tiffLength > size) return Fault("Abschnitte außerhalb der Datei");
  s.postScriptOffset = static_cast<std::size_t>(psOffset), s.postScriptLength = static_cast<std::size_t>(psLength);
  s.tiffOffset = static_cast<std::size_t>(tiffOffset), s.tiffLength = static_cast<std::size_t>(tiffLength);
  return s;
}

std::variant<std::vector<std::uint8_t>, CodecError> DecodeEps(const std::uint8_t* file, std::size_t size) {
  const auto header = ReadEpsHeader(file, size);
  if (auto* error = std::get_if<CodecError>(&header)) return *error;
  const EpsSections& sections = std::get<EpsSections>(header);
  if (sections.tiffLength == 0) {
    return CodecError{"EPS-Datei ohne TIFF-Vorschau: nur PostScript (und allenfalls eine WMF-Vorschau), das "
                      "ohne Ghostscript nicht angezeigt werden kann",
                      true};
  }

  Stream stream;
  stream.data = file + sections.tiffOffset;
  stream.size = sections.tiffLength;
  TiffHandle tiff = OpenStream(stream, "rm");
  if (!tiff) return Fault("TIFF-Vorschau: " + stream.error);
  TIFF* t = tiff.get();
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = PHOTOMETRIC_MINISWHITE;
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return Fault("Bildgröße unzulässig");

  const bool indexed = samples == 1 && (bits == 1 || bits == 4 || bits == 8) && !TIFFIsTiled(t) &&
                       (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ||
                        photometric == PHOTOMETRIC_PALETTE);
  if (indexed) {
    const std::vector<Rgb> palette = PreviewPalette(t, photometric, bits);
    if (palette.empty()) return Fault("TIFF-Vorschau ohne Farbtabelle");
    auto dib = NewDib(static_cast<int>(width), static_cast<int>(height), bits, palette);
    if (!dib) return Fault("Bild zu groß");
    const std::size_t used = PackedBytes(static_cast<int>(width), bits);
    const tmsize_t lineSize = TIFFScanlineSize(t);
    if (lineSize <= 0 || static_cast<std::size_t>(lineSize) < used) return Fault("TIFF-Vorschau: Zeilenlänge");
    std::vector<std::uint8_t> line(static_cast<std::size_t>(lineSize));
    for (std::uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(t, line.data(), y, 0) < 0) return Fault("TIFF-Vorschau: " + stream.error);
      CopyPackedRow(line.data(), static_cast<int>(width), bits, false, NewDibRowFromTop(*dib, static_cast<int>(y)));
    }
    return std::move(*dib);
  }

  if (static_cast<std::uint64_t>(width) * height > 0x7FFFFFFF / 4) return Fault("Bild zu groß");
  auto dib = NewDib(static_cast<int>(width), static_cast<int>(height), 24, {});
  if (!dib) return Fault("Bild zu groß");
  std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * height);
  if (!TIFFReadRGBAImageOriented(t, width, height, raster.data(), ORIENTATION_TOPLEFT, 0)) {
    return Fault("TIFF-Vorschau: " + stream.error);
  }
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* row = NewDibRowFromTop(*dib, static_cast<int>(y));
    const std::uint32_t* pixel = raster.data() + static_cast<std::size_t>(y) * width;
    for (std::uint32_t x = 0; x < width; ++x, row += 3) {
      row[0] = static_cast<std::uint8_t>(TIFFGetB(pixel[x]));
      row[1] = static_cast<std::uint8_t>(TIFFGetG(pixel[x]));
      row[2] = static_cast<std::uint8_t>(TIFFGetR(pixel[x]));
    }
  }
  return std::move(*dib);
}

std::optional<PointSize> BoundingBoxSize(const std::uint8_t* file, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(file), file != nullptr ? size : 0);
  if (const auto header = ReadEpsHeader(file, size); const auto* sections = std::get_if<EpsSections>(&header)) {
    text = text.substr(sections->postScriptOffset, sections->postScriptLength);
  }
  static constexpr std::string_view kComment = "%%BoundingBox:";
  for (std::size_t at = text.find(kComment); at != std::string_view::npos; at = text.find(kComment, at + 1)) {
    if (at != 0 && text[at - 1] != '\n' && text[at - 1] != '\r') continue;
    // Four numbers; programs write them with decimals now and then.
    std::string_view rest = text.substr(at + kComment.size());
    const std::string line(rest.substr(0, std::min<std::size_t>(200, rest.find_first_of("\r\n"))));
    double llx = 0, lly = 0, urx = 0, ury = 0;
    if (std::sscanf(line.c_str(), "%lf %lf %lf %lf", &llx, &lly, &urx, &ury) != 4) continue;
    const double width = std::ceil(urx) - std::floor(llx), height = std::ceil(ury) - std::floor(lly);
    if (!(width > 0 && height > 0)) continue;
    return PointSize{static_cast<std::int64_t>(std::min(width, 1e9)), static_cast<std::int64_t>(std::min(height, 1e9))};
  }
  return std::nullopt;
}

std::variant<std::vector<std::uint8_t>, CodecError> EncodeEps(const std::uint8_t* dib, std::size_t size,
                                                               const WriteOptions& options) {
  auto viewed = ViewDib(dib, size);
  if (auto* why = std::get_if<DibError>(&viewed)) return CodecError{why->message};
  const DibPicture& picture = std::get<DibPicture>(viewed);

  std::vector<std::uint8_t> preview;
  if (options.preview) {
    auto written = WritePreview(picture);
    if (auto* error = std::get_if<CodecError>(&written)) return *error;
    preview = std::move(std::get<std::vector<std::uint8_t>>(written));
  }
  const std::string ps = WritePostScript(picture);
  const std::uint64_t total = kHeaderSize + ps.size() + preview.size();
  if (total > std::numeric_limits<std::uint32_t>::max()) return CodecError{"Das Bild ist für EPS zu groß"};

  std::vector<std::uint8_t> out(kHeaderSize);
  std::memcpy(out.data(), kMagic, 4);
  Put32(out.data() + 4, kHeaderSize);
  Put32(out.data() + 8, static_cast<std::uint32_t>(ps.size()));
  // No metafile preview (offsets 12 and 16 stay 0).
  Put32(out.data() + 20, preview.empty() ? 0 : static_cast<std::uint32_t>(kHeaderSize + ps.size()));
  Put32(out.data() + 24, static_cast<std::uint32_t>(preview.size()));
  // 0xFFFF: no checksum over the header.
  out[28] = 0xFF, out[29] = 0xFF;
  out.reserve(static_cast<std::size_t>(total));
  out.insert(out.end(), ps.begin(), ps.end());
  out.insert(out.end(), preview.begin(), preview.end());
  return out;
}

}  // namespace kamolt::eps
