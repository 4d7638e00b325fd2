#include "base/bmp_file.h"

#include <stdexcept>

#include "base/dib.h"

namespace kamolt {

std::string BmpFileFromDib(const std::uint8_t* dib, std::size_t size) {
  const auto measured = MeasureDib(dib, size);
  if (const auto* error = std::get_if<DibError>(&measured)) throw std::invalid_argument(error->message);
  const DibLayout& layout = std::get<DibLayout>(measured);
  const std::size_t used = layout.pixelOffset + layout.pixelBytes;
  const auto put32 = [](std::string& out, std::size_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  std::string file = "BM";
  put32(file, 14 + used);
  put32(file, 0);
  put32(file, 14 + layout.pixelOffset);
  file.append(reinterpret_cast<const char*>(dib), used);
  return file;
}

}  // namespace kamolt
