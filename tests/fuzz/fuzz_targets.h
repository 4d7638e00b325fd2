#pragma once
// Every fuzz target: a function that takes one input of untrusted bytes through a reader
// and returns 0. A fault shows as a sanitizer report or a failed check, never as a result.
// The libFuzzer programs and the unit tests' replay of kept inputs run the same functions.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kamolt::fuzz {

using TargetFunction = int (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
  const char* name;  // also the folder of its seeds and regression files
  TargetFunction run;
  // Inputs generated from our own writers and rules, so a run starts from valid files.
  std::vector<std::vector<std::uint8_t>> (*seeds)();
};

std::span<const FuzzTarget> FuzzTargets();
const FuzzTarget* FindFuzzTarget(std::string_view name);

// Stops the process with a message; for a broken promise of a reader, which the
// sanitizers cannot see.
[[noreturn]] void FuzzCheckFailed(const char* what, const char* file, int line);

}  // namespace kamolt::fuzz

#define KAMOLT_FUZZ_CHECK(condition) \
  ((condition) ? void(0) : ::kamolt::fuzz::FuzzCheckFailed(#condition, __FILE__, __LINE__))
