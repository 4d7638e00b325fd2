// Every fuzz target replays its generated seeds, its kept seeds and every input that ever
// made it crash, on every run, under the same sanitizers as the fuzzing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fuzz/fuzz_targets.h"

namespace kamolt::fuzz {
namespace {

std::vector<std::filesystem::path> KeptInputs(const std::string& kind, const char* target) {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path folder = std::filesystem::path(KAMOLT_FUZZ_INPUTS) / kind / target;
  if (!std::filesystem::is_directory(folder)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  return files;
}

class FuzzReplay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzReplay, GeneratedSeeds) {
  const FuzzTarget& target = GetParam();
  for (const auto& seed : target.seeds()) EXPECT_EQ(target.run(seed.data(), seed.size()), 0);
}

TEST_P(FuzzReplay, KeptSeedsAndRegressions) {
  const FuzzTarget& target = GetParam();
  for (const char* kind : {"seeds", "regressions"}) {
    for (const auto& path : KeptInputs(kind, target.name)) {
      SCOPED_TRACE(path.string());
      std::ifstream in(path, std::ios::binary);
      const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
      EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0);
    }
  }
}

// An empty input and one of every byte value reach each target's shortest paths.
TEST_P(FuzzReplay, EdgeInputs) {
  const FuzzTarget& target = GetParam();
  EXPECT_EQ(target.run(nullptr, 0), 0);
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(target.run(all.data(), all.size()), 0);
  const std::vector<std::uint8_t> ones(4096, 0xFF);
  EXPECT_EQ(target.run(ones.data(), ones.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(FuzzTargets().begin(), FuzzTargets().end()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kamolt::fuzz
