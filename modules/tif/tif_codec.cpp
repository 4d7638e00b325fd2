#include "modules/tif/tif_codec.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "base/dib_pixels.h"
#include "modules/tif/tif_samples.h"

namespace kamolt {
namespace {

// A file in memory, for reading and for writing (libtiff seeks back to patch offsets).
struct MemoryFile {
  const std::uint8_t* readData = nullptr;
  std::vector<std::uint8_t>* written = nullptr;
  std::size_t size = 0;
  std::size_t at = 0;
  bool failed = false;
  // libtiff's last complaint about this file, for the message. It is kept with the file
  // rather than per thread: a per-thread variable would cost the module a slot of the
  // thread runtime at every load, which it never gives back.
  char lastError[256] = "";
};

tmsize_t ReadMemory(thandle_t handle, void* into, tmsize_t wanted) {
  auto* file = static_cast<MemoryFile*>(handle);
  const std::uint8_t* data = file->written ? file->written->data() : file->readData;
  if (wanted <= 0 || file->at >= file->size) return 0;
  const std::size_t count = std::min(static_cast<std::size_t>(wanted), file->size - file->at);
  std::memcpy(into, data + file->at, count);
  file->at += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t WriteMemory(thandle_t handle, void* from, tmsize_t count) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (file->written == nullptr || count < 0) return -1;
  try {
    const std::size_t end = file->at + static_cast<std::size_t>(count);
    if (end > file->written->size()) file->written->resize(end);
    std::memcpy(file->written->data() + file->at, from, static_cast<std::size_t>(count));
    file->at = end;
    file->size = std::max(file->size, end);
    return count;
  } catch (...) {
    file->failed = true;
    return -1;
  }
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  std::uint64_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->size : 0;
  const std::uint64_t target = base + offset;
  if (target > 0x7FFFFFFFu) return static_cast<toff_t>(-1);
  file->at = static_cast<std::size_t>(target);
  return target;
}

int CloseMemory(thandle_t) { return 0; }
toff_t SizeMemory(thandle_t handle) { return static_cast<MemoryFile*>(handle)->size; }
// A file read from memory is handed to libtiff as mapped: besides saving copies, libtiff
// 4.5 refuses uncompressed tiles read through a copy buffer (it compares the rounded-up
// buffer size with the tile size).
int MapMemory(thandle_t handle, void** base, toff_t* size) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (file->readData == nullptr) return 0;
  *base = const_cast<std::uint8_t*>(file->readData);
  *size = file->size;
  return 1;
}
void UnmapMemory(thandle_t, void*, toff_t) {}

struct CloseTiff {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, CloseTiff>;

int RecordError(TIFF*, void* file, const char*, const char* format, va_list args) {
  auto& text = static_cast<MemoryFile*>(file)->lastError;
  std::vsnprintf(text, sizeof text, format, args);
  return 1;  // handled: nothing reaches stderr
}
int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

Tiff OpenMemory(MemoryFile& file, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, RecordError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
  TIFF* tif = TIFFClientOpenExt("memory", mode, &file, ReadMemory, WriteMemory, SeekMemory, CloseMemory, SizeMemory,
                                MapMemory, UnmapMemory, options);
  TIFFOpenOptionsFree(options);
  return Tiff(tif);
}

TifError Damaged(const MemoryFile& file) {
  return TifError{std::string("TIFF-Datei fehlerhaft") + (file.lastError[0] ? std::string(": ") + file.lastError : "")};
}

std::vector<Rgb> GreyRamp(int levels, bool whiteIsZero) {
  std::vector<Rgb> ramp;
  for (int i = 0; i < levels; ++i) {
    const auto v = static_cast<std::uint8_t>((whiteIsZero ? levels - 1 - i : i) * 255 / (levels - 1));
    ramp.push_back(Rgb{v, v, v});
  }
  return ramp;
}

// Whatever libtiff's RGBA reader understands (tiles, 16-bit samples, CMYK, YCbCr, odd row
// orders), as 24 bits; its raster already comes bottom row first.
std::variant<std::vector<std::uint8_t>, TifError> ReadAsRgba(TIFF* tif, const MemoryFile& file, std::uint32_t width,
                                                              std::uint32_t height) {
  char why[1024] = "";
  if (!TIFFRGBAImageOK(tif, why)) return TifError{std::string("TIFF-Art wird nicht unterstützt: ") + why};
  if (static_cast<std::uint64_t>(width) * height > kLargestTifPixels / 4) return TifError{"Bild zu groß"};
  auto dib = NewDib(static_cast<int>(width), static_cast<int>(height), 24, {});
  if (!dib) return TifError{"Bild zu groß"};
  std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * height);
  if (!TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 0)) return Damaged(file);
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* row = NewDibRowFromTop(*dib, static_cast<int>(y));
    const std::uint32_t* from = raster.data() + static_cast<std::size_t>(y) * width;
    for (std::uint32_t x = 0; x < width; ++x) {
      // Transparent parts are laid on white, as a viewer shows them.
      const std::uint32_t p = from[x], a = TIFFGetA(p);
      row[3 * x + 0] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, TIFFGetB(p) + 255 - a));
      row[3 * x + 1] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, TIFFGetG(p) + 255 - a));
      row[3 * x + 2] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, TIFFGetR(p) + 255 - a));
    }
  }
  return std::move(*dib);
}

// Compressions whose codec this build of libtiff lacks (the Windows build leaves out several
// that need further libraries) are named, so the user learns which program can open the file.
std::optional<TifError> MissingCodec(std::uint16_t compression) {
  if (TIFFIsCODECConfigured(compression)) return std::nullopt;
  struct Named {
    std::uint16_t code;
    const char* name;
  };
  static constexpr Named kNames[] = {{COMPRESSION_LZMA, "LZMA"},         {COMPRESSION_WEBP, "WebP"},
                                     {COMPRESSION_ZSTD, "Zstandard"},    {COMPRESSION_JBIG, "JBIG"},
                                     {COMPRESSION_LERC, "LERC"},         {COMPRESSION_JPEG, "JPEG"},
                                     {COMPRESSION_OJPEG, "JPEG (alt)"},  {34712, "JPEG-2000"},
                                     {COMPRESSION_PIXARLOG, "PixarLog"}, {COMPRESSION_SGILOG, "SGILog"}};
  for (const Named& named : kNames) {
    if (named.code == compression) return TifError{std::string(named.name) + "-komprimiertes TIFF wird nicht unterstützt"};
  }
  return TifError{"TIFF mit Kompression " + std::to_string(compression) + " wird nicht unterstützt"};
}

// Colour models none of the readers knows, named in the user's terms rather than libtiff's.
std::optional<TifError> UnknownColourModel(std::uint16_t photometric) {
  constexpr std::uint16_t kKnown[] = {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_RGB,
                                      PHOTOMETRIC_PALETTE,    PHOTOMETRIC_SEPARATED,  PHOTOMETRIC_YCBCR,
                                      PHOTOMETRIC_CIELAB,     PHOTOMETRIC_ICCLAB,     PHOTOMETRIC_ITULAB,
                                      PHOTOMETRIC_LOGL,       PHOTOMETRIC_LOGLUV};
  if (std::find(std::begin(kKnown), std::end(kKnown), photometric) != std::end(kKnown)) return std::nullopt;
  constexpr std::uint16_t kLinearRaw = 34892;
  if (photometric == PHOTOMETRIC_CFA || photometric == kLinearRaw) {
    return TifError{"TIFF mit Kamera-Rohdaten wird nicht unterstützt"};
  }
  return TifError{"TIFF mit Farbmodell " + std::to_string(photometric) + " wird nicht unterstützt"};
}

}  // namespace

std::variant<std::vector<std::uint8_t>, TifError> DecodeTifToDib(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) return TifError{"TIFF-Datei ist leer"};
  MemoryFile file;
  file.readData = data;
  file.size = size;
  const Tiff tif = OpenMemory(file, "r");
  if (!tif) return Damaged(file);

  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
  std::uint16_t orientation = ORIENTATION_TOPLEFT, sampleFormat = SAMPLEFORMAT_UINT;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) ||
      width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
    return TifError{"TIFF-Datei fehlerhaft: Bildgröße unzulässig"};
  }
  if (static_cast<std::uint64_t>(width) * height > kLargestTifPixels) return TifError{"Bild zu groß"};
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &sampleFormat);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  std::uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
  if (auto missing = MissingCodec(compression)) return *missing;
  if (auto unknown = UnknownColourModel(photometric)) return *unknown;

  const TifLayout layout{width, height, bits, samples, photometric, planar, orientation, sampleFormat};
  if (ReadsBySamples(layout)) return ReadBySamples(tif.get(), layout, [&file] { return Damaged(file); });

  const bool plainRows = !TIFFIsTiled(tif.get()) && planar == PLANARCONFIG_CONTIG && sampleFormat == SAMPLEFORMAT_UINT &&
                         (orientation == ORIENTATION_TOPLEFT || orientation == ORIENTATION_BOTLEFT);
  const bool indexed = samples == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
                       (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ||
                        photometric == PHOTOMETRIC_PALETTE);
  const bool rgb = photometric == PHOTOMETRIC_RGB && bits == 8 && samples >= 3;
  if (!plainRows || !(indexed || rgb)) return ReadAsRgba(tif.get(), file, width, height);

  std::vector<Rgb> palette;
  const int dibBits = rgb ? 24 : bits == 2 ? 4 : bits;
  if (photometric == PHOTOMETRIC_PALETTE) {
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif.get(), TIFFTAG_COLORMAP, &red, &green, &blue)) return TifError{"TIFF-Datei ohne Farbtabelle"};
    const int entries = 1 << bits;
    // Some writers put 8-bit values into the 16-bit table; libtiff's own reader allows it.
    bool eightBit = true;
    for (int i = 0; i < entries; ++i) eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
    const auto level = [eightBit](std::uint16_t v) {
      return static_cast<std::uint8_t>(eightBit ? v : v * 255u / 65535u);  // as libtiff scales them
    };
    for (int i = 0; i < entries; ++i) palette.push_back(Rgb{level(red[i]), level(green[i]), level(blue[i])});
  } else if (indexed) {
    palette = GreyRamp(1 << bits, photometric == PHOTOMETRIC_MINISWHITE);
  }
  auto dib = NewDib(static_cast<int>(width), static_cast<int>(height), dibBits, palette);
  if (!dib) return TifError{"Bild zu groß"};

  const tmsize_t lineBytes = TIFFScanlineSize(tif.get());
  const std::uint64_t needed = (static_cast<std::uint64_t>(width) * bits * (rgb ? samples : 1) + 7) / 8;
  if (lineBytes <= 0 || static_cast<std::uint64_t>(lineBytes) < needed) return Damaged(file);
  std::vector<std::uint8_t> line(static_cast<std::size_t>(lineBytes));
  for (std::uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tif.get(), line.data(), y, 0) < 0) return Damaged(file);
    const int top = static_cast<int>(orientation == ORIENTATION_BOTLEFT ? height - 1 - y : y);
    std::uint8_t* row = NewDibRowFromTop(*dib, top);
    if (rgb) {
      const std::uint8_t* from = line.data();
      for (std::uint32_t x = 0; x < width; ++x, from += samples) {
        row[3 * x] = from[2], row[3 * x + 1] = from[1], row[3 * x + 2] = from[0];
      }
    } else if (bits == 2) {
      for (std::uint32_t x = 0; x < width; ++x) {
        SetPaletteIndexAt(row, static_cast<int>(x), 4, (line[x >> 2] >> (6 - 2 * (x & 3))) & 3);
      }
    } else {
      std::memcpy(row, line.data(), static_cast<std::size_t>(needed));
    }
  }
  return std::move(*dib);
}

std::variant<std::vector<std::uint8_t>, TifError> EncodeDibAsTif(const std::uint8_t* dib, std::size_t size,
                                                                const TifWriteOptions& options) {
  auto viewed = ViewDib(dib, size);
  if (auto* error = std::get_if<DibError>(&viewed)) return TifError{error->message};
  const DibPicture& picture = std::get<DibPicture>(viewed);

  const int bits = picture.HasPalette() ? picture.BitCount() : 8;
  const int samples = picture.HasPalette() ? 1 : 3;
  std::uint16_t photometric = picture.HasPalette() ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB;
  if (picture.HasPalette()) {
    const int levels = 1 << bits;
    if (picture.Palette() == GreyRamp(levels, false)) photometric = PHOTOMETRIC_MINISBLACK;
    if (bits == 1 && picture.Palette() == GreyRamp(levels, true)) photometric = PHOTOMETRIC_MINISWHITE;
  }
  int compression = options.compression;
  if (compression != COMPRESSION_NONE && compression != COMPRESSION_LZW && compression != COMPRESSION_ADOBE_DEFLATE &&
      compression != COMPRESSION_PACKBITS) {
    compression = COMPRESSION_PACKBITS;
  }

  std::vector<std::uint8_t> bytes;
  MemoryFile file;
  file.written = &bytes;
  {
    const Tiff tif = OpenMemory(file, "w");
    if (!tif) return TifError{"TIFF-Datei nicht geschrieben"};
    const auto width = static_cast<std::uint32_t>(picture.Width());
    const auto height = static_cast<std::uint32_t>(picture.Height());
    TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, compression);
    const std::uint64_t lineBytes = (static_cast<std::uint64_t>(width) * bits * samples + 7) / 8;
    const std::uint64_t stripBytes = static_cast<std::uint64_t>(std::max(options.stripKilobytes, 1)) * 1024;
    TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP,
                 static_cast<std::uint32_t>(std::clamp<std::uint64_t>(stripBytes / lineBytes, 1, height)));
    if (photometric == PHOTOMETRIC_PALETTE) {
      std::vector<std::uint16_t> red, green, blue;
      for (const Rgb& c : picture.Palette()) {
        red.push_back(static_cast<std::uint16_t>(c.r * 257));
        green.push_back(static_cast<std::uint16_t>(c.g * 257));
        blue.push_back(static_cast<std::uint16_t>(c.b * 257));
      }
      TIFFSetField(tif.get(), TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(std::max<std::uint64_t>(lineBytes, width * 3u)));
    for (std::uint32_t y = 0; y < height; ++y) {
      if (samples == 3) {
        picture.RowToRgb(static_cast<int>(y), line.data());
      } else {
        std::memcpy(line.data(), picture.RowFromTop(static_cast<int>(y)), static_cast<std::size_t>(lineBytes));
      }
      if (TIFFWriteScanline(tif.get(), line.data(), y, 0) < 0) return TifError{"TIFF-Datei nicht geschrieben"};
    }
    if (!TIFFWriteDirectory(tif.get())) return TifError{"TIFF-Datei nicht geschrieben"};
  }
  if (file.failed) return TifError{"zu wenig Speicher für die TIFF-Datei"};
  bytes.resize(file.size);
  return bytes;
}

}  // namespace kamolt
