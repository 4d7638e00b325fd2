#include "modules/tif/tif_samples.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "base/dib_pixels.h"
#include "modules/tif/cie_lab.h"

namespace kamolt {
namespace {

static_assert(std::endian::native == std::endian::little, "libtiff hands over samples in the machine's order");

bool IsGrey(std::uint16_t photometric) {
  return photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
}
bool IsLab(std::uint16_t photometric) {
  return photometric == PHOTOMETRIC_CIELAB || photometric == PHOTOMETRIC_ICCLAB || photometric == PHOTOMETRIC_ITULAB;
}

int ColourSamples(const TifLayout& page) {
  if (IsGrey(page.photometric)) return 1;
  if (page.photometric == PHOTOMETRIC_SEPARATED) return 4;
  if (IsLab(page.photometric)) return std::min<int>(page.samples, 3);  // L* alone is a grey picture
  return 3;
}

std::optional<TifError> Refusal(TIFF* tif, const TifLayout& page) {
  const std::string bits = std::to_string(page.bits);
  if (page.sampleFormat == SAMPLEFORMAT_COMPLEXINT || page.sampleFormat == SAMPLEFORMAT_COMPLEXIEEEFP) {
    return TifError{"TIFF mit komplexen Werten wird nicht unterstützt"};
  }
  const bool floating = page.sampleFormat == SAMPLEFORMAT_IEEEFP;
  if (floating && page.bits != 16 && page.bits != 32 && page.bits != 64) {
    return TifError{"TIFF mit " + bits + "-Bit-Gleitkommawerten wird nicht unterstützt"};
  }
  if (!floating && (page.bits == 0 || page.bits > 32 || (page.bits > 16 && page.bits % 8 != 0))) {
    return TifError{"TIFF mit " + bits + " Bit je Farbwert wird nicht unterstützt"};
  }
  if (IsLab(page.photometric) && (floating || (page.bits != 8 && page.bits != 16))) {
    return TifError{"CIE-L*a*b*-TIFF mit " + bits + " Bit je Farbwert wird nicht unterstützt"};
  }
  if (page.samples < ColourSamples(page)) return TifError{"TIFF-Datei fehlerhaft: zu wenige Farbwerte je Punkt"};
  std::uint16_t inks = INKSET_CMYK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks);
  if (page.photometric == PHOTOMETRIC_SEPARATED && inks != INKSET_CMYK) {
    return TifError{"TIFF mit anderen Druckfarben als CMYK wird nicht unterstützt"};
  }
  return std::nullopt;
}

// The page's rows, strip by strip or a row of tiles at a time, each plane on its own.
class Bands {
 public:
  Bands(TIFF* tif, const TifLayout& page)
      : tif_(tif),
        page_(page),
        planes_(page.planar == PLANARCONFIG_SEPARATE ? page.samples : 1),
        rowBytes_((std::uint64_t{page.width} * (page.samples / planes_) * page.bits + 7) / 8) {
    std::uint32_t bandHeight = page.height;
    if (TIFFIsTiled(tif)) {
      TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth_);
      TIFFGetField(tif, TIFFTAG_TILELENGTH, &bandHeight);
    } else {
      TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &bandHeight);
    }
    bandHeight_ = std::clamp<std::uint32_t>(bandHeight, 1, page.height);
  }

  std::optional<TifError> Check() const {
    if (TIFFIsTiled(tif_) && (tileWidth_ == 0 || tileWidth_ * (page_.samples / planes_) * page_.bits % 8 != 0)) {
      return TifError{"TIFF-Datei fehlerhaft: Kachelbreite unzulässig"};
    }
    if (rowBytes_ * bandHeight_ * planes_ > (std::uint64_t{1} << 30)) return TifError{"Bild zu groß"};
    return std::nullopt;
  }

  // The rows of each plane at y; false when libtiff cannot read them.
  bool Row(std::uint32_t y, std::array<const std::uint8_t*, 8>& planeRows) {
    const std::uint32_t top = y / bandHeight_ * bandHeight_;
    if (bands_.empty() || top != bandTop_) {
      if (!Load(top)) return false;
    }
    for (std::uint16_t p = 0; p < planes_ && p < planeRows.size(); ++p) {
      planeRows[p] = bands_[p].data() + (y - top) * rowBytes_;
    }
    return true;
  }

  std::uint16_t Planes() const { return planes_; }

 private:
  bool Load(std::uint32_t top) {
    // Three spare bytes let packed samples be picked up three bytes at a time.
    bands_.assign(planes_, std::vector<std::uint8_t>(static_cast<std::size_t>(rowBytes_ * bandHeight_ + 3)));
    bandTop_ = top;
    for (std::uint16_t p = 0; p < planes_; ++p) {
      auto& band = bands_[p];
      if (!TIFFIsTiled(tif_)) {
        const tmsize_t wanted = static_cast<tmsize_t>(rowBytes_ * bandHeight_);
        if (TIFFReadEncodedStrip(tif_, TIFFComputeStrip(tif_, top, p), band.data(), wanted) < 0) return false;
        continue;
      }
      const tmsize_t tileBytes = TIFFTileSize(tif_), tileRowBytes = TIFFTileRowSize(tif_);
      if (tileBytes <= 0 || tileRowBytes <= 0) return false;
      std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileBytes));
      const std::uint32_t rows = std::min(bandHeight_, page_.height - top);
      for (std::uint32_t x = 0; x < page_.width; x += tileWidth_) {
        if (TIFFReadTile(tif_, tile.data(), x, top, 0, p) < 0) return false;
        const std::uint64_t at = std::uint64_t{x} * (page_.samples / planes_) * page_.bits / 8;
        const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(tileRowBytes), rowBytes_ - at);
        for (std::uint32_t r = 0; r < rows && static_cast<std::uint64_t>(r + 1) * tileRowBytes <= tile.size(); ++r) {
          std::memcpy(band.data() + r * rowBytes_ + at, tile.data() + r * tileRowBytes, static_cast<std::size_t>(count));
        }
      }
    }
    return true;
  }

  TIFF* tif_;
  const TifLayout& page_;
  std::uint16_t planes_;
  std::uint64_t rowBytes_;
  std::uint32_t tileWidth_ = 0, bandHeight_ = 1, bandTop_ = 0;
  std::vector<std::vector<std::uint8_t>> bands_;
};

std::uint64_t RawSample(const std::uint8_t* row, std::uint64_t index, int bits) {
  if (bits % 8 == 0) {
    std::uint64_t value = 0;
    std::memcpy(&value, row + index * (bits / 8), static_cast<std::size_t>(bits / 8));
    return value;
  }
  // Packed samples run from each byte's high bit on; none is wider than 16 bits here.
  const std::uint64_t bit = index * bits;
  const std::uint8_t* at = row + bit / 8;
  const std::uint32_t window = std::uint32_t{at[0]} << 16 | std::uint32_t{at[1]} << 8 | at[2];
  return window >> (24 - bit % 8 - bits) & ((1u << bits) - 1);
}

double SignExtended(std::uint64_t raw, int bits) {
  const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
  return static_cast<double>(static_cast<std::int64_t>((raw ^ sign) - sign));
}

double HalfFloat(std::uint16_t h) {
  const int exponent = h >> 10 & 31, mantissa = h & 1023;
  const double value = exponent == 0    ? std::ldexp(mantissa, -24)
                       : exponent == 31 ? (mantissa ? NAN : INFINITY)
                                        : std::ldexp(mantissa + 1024, exponent - 25);
  return h & 0x8000 ? -value : value;
}

// A sample as a level between 0 (none) and 1 (full). Integers are scaled by their largest
// value rather than cut to their high byte, so that full stays full at any depth. Signed
// integers have no agreed black below zero, so negative values count as none. Floating-point
// pictures keep 0 to 1 as their visible range by convention; what lies outside (negative
// noise, highlights of high-dynamic-range pictures) cannot be shown in 8 bits and is clamped.
double Level(std::uint64_t raw, const TifLayout& page) {
  double level = 0;
  if (page.sampleFormat == SAMPLEFORMAT_IEEEFP) {
    level = page.bits == 16   ? HalfFloat(static_cast<std::uint16_t>(raw))
            : page.bits == 32 ? std::bit_cast<float>(static_cast<std::uint32_t>(raw))
                              : std::bit_cast<double>(raw);
    if (std::isnan(level)) level = 0;
  } else if (page.sampleFormat == SAMPLEFORMAT_INT && page.bits > 1) {
    level = SignExtended(raw, page.bits) / static_cast<double>((std::uint64_t{1} << (page.bits - 1)) - 1);
  } else {
    level = static_cast<double>(raw) / static_cast<double>((std::uint64_t{1} << page.bits) - 1);
  }
  return std::clamp(level, 0.0, 1.0);
}

// L*, a* and b* from their encoded samples: L* always over the full range; a* and b* as
// signed numbers (CIELab), with an offset of 128 (ICCLab) or over ITU's default ranges.
std::array<double, 3> LabOf(const std::array<std::uint64_t, 3>& raw, int colourSamples, const TifLayout& page) {
  const double full = static_cast<double>((std::uint64_t{1} << page.bits) - 1);
  const double l = static_cast<double>(raw[0]) * 100 / full;
  if (colourSamples < 3) return {l, 0, 0};
  const double perUnit = page.bits == 16 ? 256 : 1;
  switch (page.photometric) {
    case PHOTOMETRIC_CIELAB:
      return {l, SignExtended(raw[1], page.bits) / perUnit, SignExtended(raw[2], page.bits) / perUnit};
    case PHOTOMETRIC_ICCLAB:
      return {l, static_cast<double>(raw[1]) / perUnit - 128, static_cast<double>(raw[2]) / perUnit - 128};
    default:
      return {l, -85 + static_cast<double>(raw[1]) * 170 / full, -75 + static_cast<double>(raw[2]) * 200 / full};
  }
}

LabToSrgb LabConversion(TIFF* tif) {
  float* white = nullptr;
  // Without a white point the colours count as measured against D50, the white of ICC
  // profiles and of the programs that write such files.
  if (TIFFGetField(tif, TIFFTAG_WHITEPOINT, &white) && white) return LabToSrgb(white[0], white[1]);
  return LabToSrgb(0.3457, 0.3585);
}

struct Alpha {
  int sample = -1;  // none
  bool premultiplied = false;
};

// The sample, if any, that says how opaque each point is.
Alpha AlphaOf(TIFF* tif, const TifLayout& page) {
  std::uint16_t count = 0;
  std::uint16_t* kinds = nullptr;
  const int colour = ColourSamples(page);
  if (page.samples <= colour || !TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) || count == 0 || !kinds) {
    return {};
  }
  if (kinds[0] != EXTRASAMPLE_ASSOCALPHA && kinds[0] != EXTRASAMPLE_UNASSALPHA) return {};
  return {colour, kinds[0] == EXTRASAMPLE_ASSOCALPHA};
}

}  // namespace

bool ReadsBySamples(const TifLayout& page) {
  if (IsLab(page.photometric)) return true;
  if (!IsGrey(page.photometric) && page.photometric != PHOTOMETRIC_RGB && page.photometric != PHOTOMETRIC_SEPARATED) {
    return false;
  }
  const bool plainFormat = page.sampleFormat == SAMPLEFORMAT_UINT || page.sampleFormat == SAMPLEFORMAT_VOID;
  return !plainFormat || (page.bits != 1 && page.bits != 2 && page.bits != 4 && page.bits != 8);
}

std::variant<std::vector<std::uint8_t>, TifError> ReadBySamples(TIFF* tif, const TifLayout& page,
                                                                const std::function<TifError()>& damaged) {
  if (auto refusal = Refusal(tif, page)) return *refusal;
  if (page.samples > 8) return TifError{"TIFF mit mehr als 8 Werten je Punkt wird nicht unterstützt"};
  if (std::uint64_t{page.width} * page.height > kLargestTifPixels / 4) return TifError{"Bild zu groß"};
  Bands bands(tif, page);
  if (auto refusal = bands.Check()) return *refusal;
  auto dib = NewDib(static_cast<int>(page.width), static_cast<int>(page.height), 24, {});
  if (!dib) return TifError{"Bild zu groß"};

  const bool lab = IsLab(page.photometric);
  const std::optional<LabToSrgb> toSrgb = lab ? std::optional<LabToSrgb>(LabConversion(tif)) : std::nullopt;
  const int colour = ColourSamples(page);
  const Alpha alpha = AlphaOf(tif, page);
  const bool flipY = page.orientation == ORIENTATION_BOTLEFT || page.orientation == ORIENTATION_BOTRIGHT;
  const bool flipX = page.orientation == ORIENTATION_TOPRIGHT || page.orientation == ORIENTATION_BOTRIGHT;
  const bool contiguous = bands.Planes() == 1;

  std::array<const std::uint8_t*, 8> planeRows{};
  for (std::uint32_t y = 0; y < page.height; ++y) {
    if (!bands.Row(y, planeRows)) return damaged();
    std::uint8_t* row = NewDibRowFromTop(*dib, static_cast<int>(flipY ? page.height - 1 - y : y));
    for (std::uint32_t x = 0; x < page.width; ++x) {
      const auto raw = [&](int s) {
        return contiguous ? RawSample(planeRows[0], std::uint64_t{x} * page.samples + s, page.bits)
                          : RawSample(planeRows[s], x, page.bits);
      };
      std::array<double, 3> rgb{};
      if (lab) {
        const auto l = LabOf({raw(0), colour > 1 ? raw(1) : 0, colour > 2 ? raw(2) : 0}, colour, page);
        rgb = (*toSrgb)(l[0], l[1], l[2]);
      } else if (colour == 1) {
        const double grey = Level(raw(0), page);
        rgb.fill(page.photometric == PHOTOMETRIC_MINISWHITE ? 1 - grey : grey);
      } else if (colour == 4) {
        const double black = Level(raw(3), page);
        for (int c = 0; c < 3; ++c) rgb[c] = (1 - Level(raw(c), page)) * (1 - black);
      } else {
        for (int c = 0; c < 3; ++c) rgb[c] = Level(raw(c), page);
      }
      if (alpha.sample >= 0) {
        // Transparent parts are laid on white, as a viewer shows them.
        const double opacity = Level(raw(alpha.sample), page);
        for (double& c : rgb) c = std::clamp((alpha.premultiplied ? c : c * opacity) + 1 - opacity, 0.0, 1.0);
      }
      std::uint8_t* to = row + 3 * (flipX ? page.width - 1 - x : x);
      for (int c = 0; c < 3; ++c) to[2 - c] = static_cast<std::uint8_t>(std::lround(rgb[c] * 255));
    }
  }
  return std::move(*dib);
}

}  // namespace kamolt
