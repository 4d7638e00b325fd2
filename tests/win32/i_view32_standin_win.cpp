// A stand-in for the external converter i_view32.exe, so the writer's PNG route can be
// tried for real: "i_view32.exe <bitmap file> /convert=<png file>" turns a Windows bitmap
// into PNG with libpng. It waits a moment before reading, so that a writer that deleted
// its temporary file without waiting for the converter would fail its test. With
// KAMOLT_STANDIN_FAIL=1 in its environment it ends without writing anything.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/file_io.h"
#include "convert/png_writer.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* fail = std::getenv("KAMOLT_STANDIN_FAIL");
  if (fail != nullptr && std::strcmp(fail, "1") == 0) return 3;
  if (__argc != 3 || std::strncmp(__argv[2], "/convert=", 9) != 0) return 2;
  const std::string source = __argv[1];
  const std::string target = __argv[2] + 9;
  Sleep(300);
  const auto bmp = kamolt::ReadWholeFile(source);
  if (!bmp || bmp->size() < 14 || bmp->compare(0, 2, "BM") != 0) return 1;
  const auto png = kamolt::EncodeDibAsPng(reinterpret_cast<const std::uint8_t*>(bmp->data()) + 14, bmp->size() - 14);
  const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&png);
  if (!bytes) return 1;
  return kamolt::ReplaceFileContents(target, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())) ? 0 : 1;
}
