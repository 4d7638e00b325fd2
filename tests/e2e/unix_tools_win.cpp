#include "unix_tools_win.h"

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "harness_win.h"

namespace e2e {

std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(__cdecl*)(const WCHAR*);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) throw std::runtime_error("not running under Wine");
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH);
  char* unix = toUnix(wide);
  if (!unix) throw std::runtime_error("no Linux path for " + windowsPath);
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

std::string WindowsPathOfUnix(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

void RunUnix(const std::string& commandLine) {
  const char* tools = std::getenv("KAMOLT_TOOLS");
  if (!tools) throw std::runtime_error("KAMOLT_TOOLS names no folder with run_linux.exe");
  const auto programEnd = commandLine.find(' ');
  std::string line = "\"" + std::string(tools) + "\\run_linux.exe\" " + WindowsPathOfUnix(commandLine.substr(0, programEnd)) +
                     (programEnd == std::string::npos ? "" : commandLine.substr(programEnd));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + commandLine);
  }
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

unsigned long RgbImage::Pixel(int x, int y) const {
  const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
  return RGB(static_cast<unsigned char>(rgb[at]), static_cast<unsigned char>(rgb[at + 1]),
             static_cast<unsigned char>(rgb[at + 2]));
}

namespace {

// An 8-bit binary PPM (P6) as pdftoppm and ImageMagick write it, or nullopt while it is incomplete.
std::optional<RgbImage> ReadPpm(const std::string& windowsPath) {
  if (!FileExists(windowsPath)) return std::nullopt;
  const std::string bytes = ReadFileBytes(windowsPath);
  std::istringstream header(bytes);
  std::string magic;
  int maxValue = 0;
  RgbImage image;
  header >> magic >> image.width >> image.height >> maxValue;
  if (!header || magic != "P6" || maxValue != 255 || image.width <= 0 || image.height <= 0) return std::nullopt;
  const std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
  const std::size_t size = static_cast<std::size_t>(image.width) * image.height * 3;
  if (bytes.size() < start + size) return std::nullopt;
  image.rgb = bytes.substr(start, size);
  return image;
}

}  // namespace

RgbImage WaitForPpm(const std::string& windowsPath) {
  std::optional<RgbImage> image;
  WaitUntil([&] { return (image = ReadPpm(windowsPath)).has_value(); }, std::chrono::seconds(30));
  if (!image) throw std::runtime_error("no complete PPM at " + windowsPath);
  return *image;
}

RgbImage ReadWithImageMagick(const std::string& windowsPath) {
  const std::string ppm = windowsPath + ".ppm";
  DeleteFileA(ppm.c_str());
  RunUnix("/usr/bin/convert " + UnixPath(windowsPath) + " -depth 8 ppm:" + UnixPath(ppm));
  return WaitForPpm(ppm);
}

}  // namespace e2e

namespace e2e {

void WriteWithImageMagick(const std::string& source, const std::string& format, const std::string& target) {
  // Written under another name and renamed, so the file appears complete or not at all.
  const std::string part = UnixPath(target) + ".part";
  RunUnix("/bin/sh -c \"/usr/bin/convert '" + UnixPath(source) + "' " + format + ":'" + part + "' && mv '" + part +
          "' '" + UnixPath(target) + "'\"");
  if (!WaitUntil([&] { return FileExists(target); }, std::chrono::seconds(30))) {
    throw std::runtime_error("ImageMagick did not write " + target);
  }
}

}  // namespace e2e
