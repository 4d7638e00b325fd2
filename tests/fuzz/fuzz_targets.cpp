#include "tests/fuzz/fuzz_targets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/png_reader.h"
#include "base/jpeg_codec.h"
#include "convert/png_writer.h"
#include "modules/eps/eps_codec.h"
#include "modules/gif/gif_codec.h"
#include "modules/pcx/pcx_codec.h"
#include "modules/tif/tif_codec.h"
#include "tests/fuzz/fuzz_pictures.h"

namespace kamolt::fuzz {

int FuzzDib(const std::uint8_t* data, std::size_t size);
int FuzzJpg(const std::uint8_t* data, std::size_t size);
int FuzzGif(const std::uint8_t* data, std::size_t size);
int FuzzTif(const std::uint8_t* data, std::size_t size);
int FuzzPcx(const std::uint8_t* data, std::size_t size);
int FuzzEps(const std::uint8_t* data, std::size_t size);
int FuzzPcd(const std::uint8_t* data, std::size_t size);
int FuzzPng(const std::uint8_t* data, std::size_t size);
int FuzzWriter(const std::uint8_t* data, std::size_t size);
int FuzzIni(const std::uint8_t* data, std::size_t size);
int FuzzDrawingList(const std::uint8_t* data, std::size_t size);
int FuzzCommandLine(const std::uint8_t* data, std::size_t size);
int FuzzClipArguments(const std::uint8_t* data, std::size_t size);
int FuzzScanArguments(const std::uint8_t* data, std::size_t size);
int FuzzHandOff(const std::uint8_t* data, std::size_t size);
int FuzzMemoryTransfer(const std::uint8_t* data, std::size_t size);

namespace {

using Seeds = std::vector<std::vector<std::uint8_t>>;

// The files an encoder makes of the sample pictures; encoders that refuse one are skipped.
template <typename Encode>
Seeds Encoded(Encode encode) {
  Seeds seeds;
  for (const auto& dib : SampleDibs()) {
    auto file = encode(dib);
    if (auto* bytes = std::get_if<std::vector<std::uint8_t>>(&file)) seeds.push_back(std::move(*bytes));
  }
  return seeds;
}

Seeds NoSeeds() { return {}; }

Seeds DibSeeds() { return SampleDibs(); }

Seeds JpgSeeds() {
  Seeds seeds = Encoded([](const auto& d) { return EncodeDibAsJpeg(d.data(), d.size(), 75); });
  Seeds progressive = Encoded([](const auto& d) { return EncodeDibAsJpeg(d.data(), d.size(), JpegWriteOptions{90, true}); });
  seeds.insert(seeds.end(), progressive.begin(), progressive.end());
  return seeds;
}

Seeds GifSeeds() {
  return Encoded([](const auto& d) { return EncodeDibAsGif(d.data(), d.size(), GifWriteOptions{true, d.size() % 2 == 0}); });
}

Seeds TifSeeds() {
  Seeds seeds;
  for (const int compression : {1, 5, 8, 32773}) {
    Seeds some = Encoded([&](const auto& d) { return EncodeDibAsTif(d.data(), d.size(), TifWriteOptions{compression, 1}); });
    seeds.insert(seeds.end(), some.begin(), some.end());
  }
  return seeds;
}

Seeds PcxSeeds() { return Encoded([](const auto& d) { return pcx::EncodePcx(d.data(), d.size()); }); }

Seeds EpsSeeds() { return Encoded([](const auto& d) { return eps::EncodeEps(d.data(), d.size()); }); }

Seeds PngSeeds() { return Encoded([](const auto& d) { return EncodeDibAsPng(d.data(), d.size()); }); }

// Photo CD packs are written by no program of ours: a pack of the right length for each
// of the four orientations, and one cut off after its information sector.
Seeds PcdSeeds() {
  constexpr std::size_t kInfo = 0x800, kOrientation = kInfo + 0x602, kWhole = 0x30000 + 768 * 512 * 3 / 2;
  Seeds seeds;
  for (std::uint8_t turn = 0; turn < 4; ++turn) {
    std::vector<std::uint8_t> pack(kWhole);
    std::memcpy(pack.data() + kInfo, "PCD_IPI", 7);
    pack[kOrientation] = turn;
    for (std::size_t i = 0x30000; i < kWhole; ++i) pack[i] = static_cast<std::uint8_t>(i * 7 + i / 1536);
    seeds.push_back(std::move(pack));
  }
  seeds.push_back({seeds.front().begin(), seeds.front().begin() + 0x1000});
  return seeds;
}

Seeds WriterSeeds() {
  Seeds seeds;
  for (std::uint8_t encoder = 0; encoder < 7; ++encoder) {
    for (const auto& description : DibDescriptionSeeds()) {
      std::vector<std::uint8_t> seed = {encoder, static_cast<std::uint8_t>(encoder * 29 + description.size())};
      seed.insert(seed.end(), description.begin(), description.end());
      seeds.push_back(std::move(seed));
    }
  }
  return seeds;
}

// Running out of memory is a refusal, not a fault: the module boundary and the viewer's
// handlers turn std::bad_alloc into a failed load, as they do every exception.
template <TargetFunction run>
int OutOfMemoryRefused(const std::uint8_t* data, std::size_t size) {
  try {
    return run(data, size);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

constexpr FuzzTarget kTargets[] = {
    {"dib", OutOfMemoryRefused<FuzzDib>, DibSeeds},
    {"jpg", OutOfMemoryRefused<FuzzJpg>, JpgSeeds},
    {"gif", OutOfMemoryRefused<FuzzGif>, GifSeeds},
    {"tif", OutOfMemoryRefused<FuzzTif>, TifSeeds},
    {"pcx", OutOfMemoryRefused<FuzzPcx>, PcxSeeds},
    {"eps", OutOfMemoryRefused<FuzzEps>, EpsSeeds},
    {"pcd", OutOfMemoryRefused<FuzzPcd>, PcdSeeds},
    {"png", OutOfMemoryRefused<FuzzPng>, PngSeeds},
    {"writer", OutOfMemoryRefused<FuzzWriter>, WriterSeeds},
    {"ini", OutOfMemoryRefused<FuzzIni>, NoSeeds},
    {"drawing_list", OutOfMemoryRefused<FuzzDrawingList>, NoSeeds},
    {"command_line", OutOfMemoryRefused<FuzzCommandLine>, NoSeeds},
    {"clip_arguments", OutOfMemoryRefused<FuzzClipArguments>, NoSeeds},
    {"scan_arguments", OutOfMemoryRefused<FuzzScanArguments>, NoSeeds},
    {"hand_off", OutOfMemoryRefused<FuzzHandOff>, NoSeeds},
    {"memory_transfer", OutOfMemoryRefused<FuzzMemoryTransfer>, NoSeeds},
};

}  // namespace

std::span<const FuzzTarget> FuzzTargets() { return kTargets; }

const FuzzTarget* FindFuzzTarget(std::string_view name) {
  for (const FuzzTarget& target : kTargets) {
    if (name == target.name) return &target;
  }
  return nullptr;
}

void FuzzCheckFailed(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
  std::abort();
}

}  // namespace kamolt::fuzz
