// Writes the generated seeds of every target into <folder>/<target>/, one file per seed,
// for the libFuzzer runs to start from.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/fuzz/fuzz_targets.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  for (const kamolt::fuzz::FuzzTarget& target : kamolt::fuzz::FuzzTargets()) {
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / target.name;
    std::filesystem::create_directories(folder);
    int n = 0;
    for (const auto& seed : target.seeds()) {
      std::ofstream out(folder / ("seed-" + std::to_string(n++)), std::ios::binary);
      out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
      if (!out) {
        std::fprintf(stderr, "cannot write %s\n", (folder / std::to_string(n)).c_str());
        return 1;
      }
    }
  }
  return 0;
}
