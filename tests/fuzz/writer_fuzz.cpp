// The writer's encoders fed with bitmaps of every kind, each file read back by our own
// reader of its format: a file reported as written must be one we can read.
#include <variant>

#include "app/png_reader.h"
#include "base/dib.h"
#include "base/jpeg_codec.h"
#include "convert/dib_writing.h"
#include "convert/png_writer.h"
#include "modules/eps/eps_codec.h"
#include "modules/gif/gif_codec.h"
#include "modules/pcx/pcx_codec.h"
#include "modules/tif/tif_codec.h"
#include "tests/fuzz/fuzz_pictures.h"
#include "tests/fuzz/fuzz_targets.h"

namespace kamolt::fuzz {
namespace {

constexpr int kTifCompressions[] = {1, 5, 8, 32773, 7};

std::pair<int, int> SizeOf(const std::vector<std::uint8_t>& dib) {
  const auto measured = MeasureDib(dib.data(), dib.size());
  KAMOLT_FUZZ_CHECK(std::holds_alternative<DibLayout>(measured));
  const DibLayout& layout = std::get<DibLayout>(measured);
  return {layout.width, layout.height};
}

// When the encoder says it wrote the file, the reader must give back a bitmap of the size
// that went in.
template <typename Encoded, typename Read>
void ExpectReadBack(const std::vector<std::uint8_t>& dib, const Encoded& encoded, Read read) {
  const auto* file = std::get_if<std::vector<std::uint8_t>>(&encoded);
  if (file == nullptr) return;
  const auto back = read(*file);
  const auto* picture = std::get_if<std::vector<std::uint8_t>>(&back);
  KAMOLT_FUZZ_CHECK(picture != nullptr);
  CheckDecodedDib(*picture);
  KAMOLT_FUZZ_CHECK(SizeOf(*picture) == SizeOf(dib));
}

}  // namespace

int FuzzWriter(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const unsigned encoder = input.Pick(7);
  const std::uint8_t option = input.Byte();
  std::vector<std::uint8_t> dib = DibFromInput(input);
  const bool measures = std::holds_alternative<DibLayout>(MeasureDib(dib.data(), dib.size()));

  switch (encoder) {
    case 0: {
      const auto encoded = pcx::EncodePcx(dib.data(), dib.size());
      KAMOLT_FUZZ_CHECK(measures || !std::holds_alternative<std::vector<std::uint8_t>>(encoded));
      if (measures) ExpectReadBack(dib, encoded, [](const auto& f) { return pcx::DecodePcx(f.data(), f.size()); });
      break;
    }
    case 1: {
      const auto encoded = EncodeDibAsGif(dib.data(), dib.size(), GifWriteOptions{bool(option & 1), bool(option & 2)});
      if (measures) ExpectReadBack(dib, encoded, [](const auto& f) { return DecodeGifToDib(f.data(), f.size()); });
      break;
    }
    case 2: {
      const TifWriteOptions options{kTifCompressions[option % 5], 1 + (option >> 3)};
      const auto encoded = EncodeDibAsTif(dib.data(), dib.size(), options);
      if (measures) ExpectReadBack(dib, encoded, [](const auto& f) { return DecodeTifToDib(f.data(), f.size()); });
      break;
    }
    case 3: {
      const bool preview = option & 1;
      const auto encoded = eps::EncodeEps(dib.data(), dib.size(), eps::WriteOptions{preview});
      if (measures && preview) {
        ExpectReadBack(dib, encoded, [](const auto& f) { return eps::DecodeEps(f.data(), f.size()); });
      }
      break;
    }
    case 4: {
      const JpegWriteOptions options{option % 110 - 5, bool(option & 0x80)};
      const auto encoded = EncodeDibAsJpeg(dib.data(), dib.size(), options);
      if (measures) ExpectReadBack(dib, encoded, [](const auto& f) { return DecodeJpegToDib(f.data(), f.size()); });
      break;
    }
    case 5: {
      const auto encoded = EncodeDibAsPng(dib.data(), dib.size());
      if (measures) ExpectReadBack(dib, encoded, [](const auto& f) { return ReadPngAsDib(f); });
      break;
    }
    default: {
      const auto measured = MeasureDib(dib.data(), dib.size());
      if (const auto* layout = std::get_if<DibLayout>(&measured); layout != nullptr && (option & 1)) {
        InvertMonochromePixels(dib.data(), dib.size(), *layout);
      }
      const auto plan = PlanBmpFile(dib.data(), dib.size());
      if (const auto* file = std::get_if<BmpFilePlan>(&plan)) KAMOLT_FUZZ_CHECK(file->dibBytes <= dib.size());
      KAMOLT_FUZZ_CHECK(measures || !std::holds_alternative<BmpFilePlan>(plan));
      break;
    }
  }
  return 0;
}

}  // namespace kamolt::fuzz
