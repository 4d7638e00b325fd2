// The JPEG codec core built natively, timed the way module_tool times the module's entries:
//   jpeg_bench_native decode <file.jpg> <repetitions>
//   jpeg_bench_native encode <file.bmp> <out.jpg> <quality> <repetitions>
// Prints "best <ms> median <ms>". The decode includes reading the file, the encode writing it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/jpeg_codec.h"

namespace {

std::vector<std::uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Print(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  std::printf("best %.1f median %.1f\n", times.front(), times[times.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string command = argv[1];
  std::vector<double> times;
  using Clock = std::chrono::steady_clock;
  if (command == "decode") {
    for (int i = 0; i < std::atoi(argv[3]); ++i) {
      const auto start = Clock::now();
      const auto file = ReadFile(argv[2]);
      // Into fresh memory, as the module decodes into a fresh global block.
      std::uint8_t* block = nullptr;
      const kamolt::DibAllocator allocate = [&](std::size_t bytes) {
        return block = static_cast<std::uint8_t*>(std::malloc(bytes));
      };
      const auto dib = kamolt::DecodeJpegInto(file.data(), file.size(), allocate, {});
      std::free(block);
      if (std::holds_alternative<kamolt::JpegError>(dib)) return 1;
      times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  } else if (command == "encode" && argc >= 6) {
    const auto bmp = ReadFile(argv[2]);
    if (bmp.size() < 54) return 2;
    for (int i = 0; i < std::atoi(argv[5]); ++i) {
      const auto start = Clock::now();
      const auto jpeg = kamolt::EncodeDibAsJpeg(bmp.data() + 14, bmp.size() - 14, std::atoi(argv[4]));
      const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&jpeg);
      if (!bytes) return 1;
      std::ofstream(argv[3], std::ios::binary).write(reinterpret_cast<const char*>(bytes->data()), bytes->size());
      times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  } else {
    return 2;
  }
  Print(times);
  return 0;
}
