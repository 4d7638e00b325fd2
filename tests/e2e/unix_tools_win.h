// Under Wine a test can hand files to the Linux tools beside it: an independent reader
// (ImageMagick) and the PDF tools for what was printed.
#pragma once

#include <string>

namespace e2e {

// A picture file's pixels as ImageMagick reads it: width, height and 8-bit RGB rows top-down.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::string rgb;
  // 0x00BBGGRR of the pixel at x, y
  unsigned long Pixel(int x, int y) const;
};
// The Linux path of a Windows path; throws when Wine does not know one.
std::string UnixPath(const std::string& windowsPath);
// The Windows path of a Linux path (Wine's Z: drive).
std::string WindowsPathOfUnix(const std::string& unixPath);
// Starts a Linux program (absolute path first) through run_linux.exe from KAMOLT_TOOLS. Wine
// neither passes its exit code on nor reliably reports its end, so callers wait for the files
// it writes to be complete.
void RunUnix(const std::string& commandLine);
// The PPM file a Linux tool is writing, once it is all there.
RgbImage WaitForPpm(const std::string& windowsPath);

RgbImage ReadWithImageMagick(const std::string& windowsPath);
// Has ImageMagick write the picture source as target in the format named by format ("GIF",
// "TIFF", ...), and waits until the whole file is there.
void WriteWithImageMagick(const std::string& source, const std::string& format, const std::string& target);

}  // namespace e2e
