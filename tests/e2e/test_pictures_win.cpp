#include "test_pictures_win.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace e2e {
namespace {

void Put(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutBigEndian32(std::string& out, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string InfoHeader(int width, int height, int bitCount, std::uint32_t imageSize) {
  std::string h;
  Put(h, 40, 4);
  Put(h, static_cast<std::uint32_t>(width), 4);
  Put(h, static_cast<std::uint32_t>(height), 4);
  Put(h, 1, 2);
  Put(h, static_cast<std::uint32_t>(bitCount), 2);
  Put(h, 0, 4);
  Put(h, imageSize, 4);
  Put(h, 0, 16);
  return h;
}

std::string Pixels24(int width, int height, COLORREF colour) {
  const int row = (width * 3 + 3) / 4 * 4;
  std::string pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels.push_back(static_cast<char>(GetBValue(colour)));
      pixels.push_back(static_cast<char>(GetGValue(colour)));
      pixels.push_back(static_cast<char>(GetRValue(colour)));
    }
    pixels.append(static_cast<std::size_t>(row - width * 3), '\0');
  }
  return pixels;
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

std::uint32_t Adler32(const std::string& bytes) {
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : bytes) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

void PngChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  PutBigEndian32(out, Crc32(body));
}

}  // namespace

std::string BmpFile(int width, int height, COLORREF colour) {
  const std::string pixels = Pixels24(width, height, colour);
  std::string file = "BM";
  Put(file, static_cast<std::uint32_t>(14 + 40 + pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, 14 + 40, 4);
  return file + InfoHeader(width, height, 24, static_cast<std::uint32_t>(pixels.size())) + pixels;
}

std::string IconFile(int size, COLORREF fill) {
  const std::string colour = Pixels24(size, size, fill);
  const int maskRow = (size + 31) / 32 * 4;
  const std::string mask(static_cast<std::size_t>(maskRow * size), '\0');
  const std::string image =
      InfoHeader(size, size * 2, 24, static_cast<std::uint32_t>(colour.size() + mask.size())) + colour + mask;
  std::string file;
  Put(file, 0, 2);
  Put(file, 1, 2);  // icon
  Put(file, 1, 2);  // one image
  Put(file, static_cast<std::uint32_t>(size % 256), 1);
  Put(file, static_cast<std::uint32_t>(size % 256), 1);
  Put(file, 0, 2);
  Put(file, 1, 2);
  Put(file, 24, 2);
  Put(file, static_cast<std::uint32_t>(image.size()), 4);
  Put(file, 6 + 16, 4);
  return file + image;
}

std::string EmfFile(int width, int height) {
  const HDC screen = GetDC(nullptr);
  const int perInch = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  // The frame is in hundredths of a millimetre.
  const RECT frame{0, 0, MulDiv(width, 2540, perInch), MulDiv(height, 2540, perInch)};
  const HDC dc = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
  const HBRUSH brush = CreateSolidBrush(RGB(40, 160, 60));
  const RECT box{0, 0, width, height};
  FillRect(dc, &box, brush);
  DeleteObject(brush);
  const HENHMETAFILE metafile = CloseEnhMetaFile(dc);
  const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
  std::string bytes(size, '\0');
  GetEnhMetaFileBits(metafile, size, reinterpret_cast<BYTE*>(bytes.data()));
  DeleteEnhMetaFile(metafile);
  return bytes;
}

std::string WmfFile(int width, int height) {
  const HDC dc = CreateMetaFileA(nullptr);
  SetWindowExtEx(dc, width, height, nullptr);
  Rectangle(dc, 0, 0, width, height);
  const HMETAFILE metafile = CloseMetaFile(dc);
  const UINT size = GetMetaFileBitsEx(metafile, 0, nullptr);
  std::string bits(size, '\0');
  GetMetaFileBitsEx(metafile, size, bits.data());
  DeleteMetaFile(metafile);

  // The placeable header gives the picture its size: the box in units, and units per inch.
  std::string header;
  Put(header, 0x9AC6CDD7, 4);
  Put(header, 0, 2);
  Put(header, 0, 2);
  Put(header, 0, 2);
  Put(header, static_cast<std::uint32_t>(width), 2);
  Put(header, static_cast<std::uint32_t>(height), 2);
  Put(header, 96, 2);
  Put(header, 0, 4);
  std::uint16_t checksum = 0;
  for (std::size_t i = 0; i < header.size(); i += 2) {
    checksum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(header[i]) |
                                           static_cast<unsigned char>(header[i + 1]) << 8);
  }
  Put(header, checksum, 2);
  return header + bits;
}

std::string PngFile(int width, int height, COLORREF colour) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');  // no filter
    for (int x = 0; x < width; ++x) {
      raw.push_back(static_cast<char>(GetRValue(colour)));
      raw.push_back(static_cast<char>(GetGValue(colour)));
      raw.push_back(static_cast<char>(GetBValue(colour)));
    }
  }
  if (raw.size() > 65535) throw std::runtime_error("test PNG too large for one stored block");
  std::string zlib = "\x78\x01";
  zlib.push_back('\x01');  // final stored block
  Put(zlib, static_cast<std::uint32_t>(raw.size()), 2);
  Put(zlib, static_cast<std::uint32_t>(~raw.size() & 0xFFFF), 2);
  zlib += raw;
  PutBigEndian32(zlib, Adler32(raw));

  std::string header;
  PutBigEndian32(header, static_cast<std::uint32_t>(width));
  PutBigEndian32(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  std::string file = "\x89PNG\r\n\x1a\n";
  PngChunk(file, "IHDR", header);
  PngChunk(file, "IDAT", zlib);
  PngChunk(file, "IEND", "");
  return file;
}

}  // namespace e2e
