#include "modules/pcd/pcd_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/dib_pixels.h"

namespace kamolt::pcd {
namespace {

constexpr std::size_t kSector = 0x800;
constexpr std::size_t kInfoOffset = kSector;  // the image pack information, "PCD_IPI"
constexpr std::size_t kOrientationOffset = kInfoOffset + 0x602;
constexpr std::size_t kBaseOffset = 96 * kSector;  // 0x30000
constexpr int kWidth = 768, kHeight = 512;
// Two luma rows, then one row of each chroma plane at half width.
constexpr std::size_t kRowPairBytes = 2 * kWidth + kWidth;
constexpr std::size_t kBaseBytes = kRowPairBytes * (kHeight / 2);

CodecError Fault(const std::string& why) { return {"PCD-Datei fehlerhaft: " + why}; }

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// PhotoYCC to RGB. The codes reach past reference white (up to 1.402 times it) to keep
// highlights; rather than clip them, the whole code range is laid onto 0..255, so luma 255
// is white. That is PhotoYCC's usual transform (luma times 1.3584, chroma centred on 156
// and 137, times 2.2179 and 1.8215) divided by 1.3584.
Rgb ToRgb(double luma, double c1, double c2) {
  const double blue = 2.2179 / 1.3584 * (c1 - 156);
  const double red = 1.8215 / 1.3584 * (c2 - 137);
  return {Clamp(luma + red), Clamp(luma - 0.194 * blue - 0.509 * red), Clamp(luma + blue)};
}

// A chroma plane's value at full-resolution position (x, y), between its samples, which
// sit at the even positions.
double Chroma(const std::uint8_t* base, std::size_t planeOffset, int x, int y) {
  const auto sample = [&](int cx, int cy) {
    cx = std::min(cx, kWidth / 2 - 1), cy = std::min(cy, kHeight / 2 - 1);
    return base[static_cast<std::size_t>(cy) * kRowPairBytes + planeOffset + static_cast<std::size_t>(cx)];
  };
  const int cx = x / 2, cy = y / 2;
  const double fx = (x & 1) ? 0.5 : 0.0, fy = (y & 1) ? 0.5 : 0.0;
  const double top = sample(cx, cy) * (1 - fx) + sample(cx + 1, cy) * fx;
  const double bottom = sample(cx, cy + 1) * (1 - fx) + sample(cx + 1, cy + 1) * fx;
  return top * (1 - fy) + bottom * fy;
}

}  // namespace

std::variant<std::vector<std::uint8_t>, CodecError> DecodePcd(const std::uint8_t* file, std::size_t size) {
  if (file == nullptr || size < kInfoOffset + 7) return Fault("zu kurz");
  if (std::memcmp(file + kInfoOffset, "PCD_IPI", 7) != 0) return Fault("keine Photo-CD-Bildpackung");
  if (size < kBaseOffset + kBaseBytes) return Fault("zu kurz für das Basisbild");
  const int turn = size > kOrientationOffset ? file[kOrientationOffset] & 3 : 0;
  const bool upright = turn == 1 || turn == 3;
  auto made = NewDib(upright ? kHeight : kWidth, upright ? kWidth : kHeight, 24, {});
  if (!made) return Fault("kein Speicher");
  std::vector<std::uint8_t>& dib = *made;

  const std::uint8_t* base = file + kBaseOffset;
  for (int y = 0; y < kHeight; ++y) {
    const std::uint8_t* luma = base + static_cast<std::size_t>(y / 2) * kRowPairBytes + (y & 1) * kWidth;
    for (int x = 0; x < kWidth; ++x) {
      const Rgb c = ToRgb(luma[x], Chroma(base, 2 * kWidth, x, y), Chroma(base, 2 * kWidth + kWidth / 2, x, y));
      // Where the stored pixel lands once the picture is turned upright.
      int dx = x, dy = y;
      switch (turn) {
        case 1: dx = y, dy = kWidth - 1 - x; break;               // a quarter turn to the left
        case 2: dx = kWidth - 1 - x, dy = kHeight - 1 - y; break;  // upside down
        case 3: dx = kHeight - 1 - y, dy = x; break;               // a quarter turn to the right
        default: break;
      }
      std::uint8_t* at = NewDibRowFromTop(dib, dy) + 3 * dx;
      at[0] = c.b, at[1] = c.g, at[2] = c.r;
    }
  }
  return dib;
}

}  // namespace kamolt::pcd
