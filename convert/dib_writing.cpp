#include "convert/dib_writing.h"

#include <algorithm>

#include "base/little_endian.h"

namespace kamolt {
namespace {

constexpr std::size_t kSizeImageOffset = 20;
constexpr std::size_t kFileHeaderSize = 14;

}  // namespace

bool InvertMonochromePixels(std::uint8_t* block, std::size_t blockSize, const DibLayout& layout) {
  if (layout.bitCount != 1 || layout.pixelOffset > blockSize) return false;
  const std::uint32_t sizeImage = Get32(block + kSizeImageOffset);
  const std::size_t wanted = sizeImage != 0 ? sizeImage : layout.pixelBytes;
  const std::size_t length = std::min(wanted, blockSize - layout.pixelOffset);
  std::uint8_t* pixels = block + layout.pixelOffset;
  for (std::size_t i = 0; i < length; ++i) pixels[i] = static_cast<std::uint8_t>(~pixels[i]);
  return true;
}

std::variant<BmpFilePlan, int> PlanBmpFile(std::uint8_t* block, std::size_t blockSize) {
  const auto measured = MeasureDib(block, blockSize);
  if (!std::holds_alternative<DibLayout>(measured)) return kBmpCannotLock;
  const DibLayout& dib = std::get<DibLayout>(measured);

  // Plain and bit-field pixels are both stored row by row without compression; MeasureDib
  // lets no other kind through. The pixel offset counts the masks and longer headers.
  const std::size_t imageSize = dib.pixelBytes;
  Put32(block + kSizeImageOffset, static_cast<std::uint32_t>(imageSize));

  BmpFilePlan plan;
  plan.dibBytes = dib.pixelOffset + imageSize;
  if (plan.dibBytes > blockSize) return kBmpWriteFailed;
  const std::size_t fileSize = kFileHeaderSize + plan.dibBytes;
  std::uint8_t* h = plan.fileHeader.data();
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, static_cast<std::uint32_t>(fileSize));
  Put32(h + 10, static_cast<std::uint32_t>(kFileHeaderSize + dib.pixelOffset));
  return plan;
}

}  // namespace kamolt
