// The picture readers: raw file bytes into each format's reader, and the bitmap block
// measure with everything that reads a block once it is measured.
#include <new>
#include <variant>

#include "app/png_reader.h"
#include "base/dib.h"
#include "base/dib_pixels.h"
#include "base/jpeg_codec.h"
#include "convert/dib_writing.h"
#include "convert/png_writer.h"
#include "modules/eps/eps_codec.h"
#include "modules/gif/gif_codec.h"
#include "modules/pcd/pcd_codec.h"
#include "modules/pcx/pcx_codec.h"
#include "modules/tif/tif_codec.h"
#include "tests/fuzz/fuzz_pictures.h"
#include "tests/fuzz/fuzz_targets.h"

namespace kamolt::fuzz {
namespace {

template <typename Result>
void CheckResult(const Result& result) {
  if (const auto* dib = std::get_if<std::vector<std::uint8_t>>(&result)) CheckDecodedDib(*dib);
}

// Copies the input so that the reader sees a block of exactly its length.
std::vector<std::uint8_t> Exact(const std::uint8_t* data, std::size_t size) { return {data, data + size}; }

}  // namespace

int FuzzDib(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> block = Exact(data, size);
  const auto measured = MeasureDib(block.data(), block.size());
  if (const auto* layout = std::get_if<DibLayout>(&measured)) {
    KAMOLT_FUZZ_CHECK(layout->pixelOffset + layout->pixelBytes <= block.size());
    const auto viewed = ViewDib(block.data(), block.size());
    const DibPicture& picture = std::get<DibPicture>(viewed);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(picture.Width()) * 3);
    for (int y = 0; y < picture.Height(); ++y) picture.RowToRgb(y, rgb.data(), y & 1);
    picture.GreyPalette();
    InvertMonochromePixels(block.data(), block.size(), *layout);
  }
  // The bitmap file plan measures again and writes into the block: on a copy of its own.
  std::vector<std::uint8_t> planned = Exact(data, size);
  const auto plan = PlanBmpFile(planned.data(), planned.size());
  if (const auto* file = std::get_if<BmpFilePlan>(&plan)) KAMOLT_FUZZ_CHECK(file->dibBytes <= planned.size());
  return 0;
}

int FuzzJpg(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file = Exact(data, size);
  const bool greyAsColour = size > 0 && (data[size - 1] & 1);
  CheckResult(DecodeJpegToDib(file.data(), file.size(), JpegReadOptions{greyAsColour}));
  // The decode into the caller's memory, with a block of exactly the size it asks for, or
  // none, as the allocator promises, when there is no memory for it.
  std::vector<std::uint8_t> block;
  const auto into = DecodeJpegInto(
      file.data(), file.size(),
      [&](std::size_t bytes) -> std::uint8_t* {
        try {
          block.resize(bytes);
          return block.data();
        } catch (const std::bad_alloc&) {
          return nullptr;
        }
      },
      JpegReadOptions{!greyAsColour});
  if (const auto* written = std::get_if<std::size_t>(&into)) {
    KAMOLT_FUZZ_CHECK(*written == block.size());
    CheckDecodedDib(block);
  }
  return 0;
}

int FuzzGif(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file = Exact(data, size);
  CheckResult(DecodeGifToDib(file.data(), file.size()));
  return 0;
}

int FuzzTif(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file = Exact(data, size);
  CheckResult(DecodeTifToDib(file.data(), file.size()));
  return 0;
}

int FuzzPcx(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file = Exact(data, size);
  CheckResult(pcx::DecodePcx(file.data(), file.size()));
  return 0;
}

int FuzzEps(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file = Exact(data, size);
  const auto sections = eps::ReadEpsHeader(file.data(), file.size());
  if (const auto* found = std::get_if<eps::EpsSections>(&sections)) {
    KAMOLT_FUZZ_CHECK(found->postScriptOffset + found->postScriptLength <= file.size());
    KAMOLT_FUZZ_CHECK(found->tiffOffset + found->tiffLength <= file.size());
  }
  CheckResult(eps::DecodeEps(file.data(), file.size()));
  return 0;
}

int FuzzPcd(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file = Exact(data, size);
  CheckResult(pcd::DecodePcd(file.data(), file.size()));
  return 0;
}

int FuzzPng(const std::uint8_t* data, std::size_t size) {
  CheckResult(ReadPngAsDib(Exact(data, size)));
  return 0;
}

}  // namespace kamolt::fuzz
