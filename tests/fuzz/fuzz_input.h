#pragma once
// Turns a fuzzer's bytes into the values a target needs. Reads past the end give zeros, so
// every input, however short, is a complete case.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kamolt::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Left() const { return size_ - at_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  std::uint32_t U32() { return U16() | static_cast<std::uint32_t>(U16()) << 16; }
  bool Flag() { return Byte() & 1; }
  // A value in [0, count); count must be positive.
  unsigned Pick(unsigned count) { return Byte() % count; }

  // Up to maxLength bytes, ended early by a zero byte (which is used up).
  std::string Text(std::size_t maxLength) {
    std::string text;
    while (at_ < size_ && text.size() < maxLength) {
      const char c = static_cast<char>(data_[at_++]);
      if (c == '\0') break;
      text.push_back(c);
    }
    return text;
  }
  std::vector<std::uint8_t> Bytes(std::size_t count) {
    const std::size_t n = count < Left() ? count : Left();
    std::vector<std::uint8_t> bytes(data_ + at_, data_ + at_ + n);
    at_ += n;
    return bytes;
  }
  std::string_view Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_) + at_, size_ - at_);
    at_ = size_;
    return rest;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace kamolt::fuzz
