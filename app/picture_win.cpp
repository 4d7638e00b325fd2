#include "app/picture_win.h"

#include <cstring>
#include <stdexcept>
#include <variant>
#include <vector>

#include "app/png_reader.h"
#include "base/dib.h"
#include "base/file_io.h"
#include "convert/dib_writing.h"

namespace kamolt {
namespace {

// Placeable metafiles carry this header in front of the plain Windows metafile.
#pragma pack(push, 2)
struct PlaceableMetafileHeader {
  DWORD key;
  WORD handle;
  SHORT left, top, right, bottom;
  WORD unitsPerInch;
  DWORD reserved;
  WORD checksum;
};
#pragma pack(pop)
static_assert(sizeof(PlaceableMetafileHeader) == 22);
constexpr DWORD kPlaceableKey = 0x9AC6CDD7;

int ScreenPixelsPerInch() {
  const win::WindowDc screen(nullptr);
  return GetDeviceCaps(screen.Get(), LOGPIXELSX);
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectA(bitmap, sizeof info, &info);
  return {info.bmWidth, std::abs(info.bmHeight)};
}

DibLayout Measured(const std::uint8_t* dib, std::size_t size) {
  const auto measured = MeasureDib(dib, size);
  if (const auto* error = std::get_if<DibError>(&measured)) throw std::runtime_error(error->message);
  return std::get<DibLayout>(measured);
}

// Always a plain 40-byte header in front, then the masks (which a longer header holds
// inside it) and the colour table.
std::vector<std::uint8_t> PlainBitmapInfo(const std::uint8_t* dib, const DibLayout& layout) {
  const std::size_t masksInHeader = layout.compression == kDibBitfields && layout.headerSize > kDibHeaderSize ? 12 : 0;
  std::vector<std::uint8_t> info(kDibHeaderSize + masksInHeader + (layout.pixelOffset - layout.headerSize));
  std::memcpy(info.data(), dib, kDibHeaderSize + masksInHeader);
  std::memcpy(info.data() + kDibHeaderSize + masksInHeader, dib + layout.headerSize,
              layout.pixelOffset - layout.headerSize);
  reinterpret_cast<BITMAPINFOHEADER*>(info.data())->biSize = kDibHeaderSize;
  return info;
}

}  // namespace

Picture Picture::FromFile(const std::string& path, const std::string& key) {
  Picture picture;
  if (key == ".BMP.") {
    // Our own reading first: the platform's loader shows 8-bit top-down rows wrongly and
    // refuses OS/2 2.x headers, which other viewers show, as they do odd plane counts.
    // What ours leaves out (compressed rows, damaged files) still goes to the platform.
    const std::string bytes = ReadWholeFile(path).value_or("");
    if (const auto dib = BmpFileToDib(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) {
      return FromPackedDib(dib->data(), dib->size());
    }
    picture.bitmap_.Reset(static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!picture.bitmap_) throw std::runtime_error("Bitmap ist ungültig");
    const SIZE size = BitmapSize(picture.bitmap_.Get());
    picture.kind_ = Kind::Bitmap;
    picture.width_ = size.cx;
    picture.height_ = size.cy;
  } else if (key == ".ICO.") {
    picture.icon_.Reset(static_cast<HICON>(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE)));
    if (!picture.icon_) throw std::runtime_error("Symbol ist ungültig");
    picture.sourceBytes_ = ReadWholeFile(path).value_or("");
    ICONINFO info{};
    GetIconInfo(picture.icon_.Get(), &info);
    const win::Bitmap mask(info.hbmMask), colour(info.hbmColor);
    const SIZE size = BitmapSize(info.hbmMask);
    picture.kind_ = Kind::Icon;
    picture.width_ = size.cx;
    picture.height_ = colour ? size.cy : size.cy / 2;  // a monochrome icon stacks mask and image
  } else {
    const std::string bytes = ReadWholeFile(path).value_or("");
    const int perInch = ScreenPixelsPerInch();
    if (key == ".EMF.") {
      picture.metafile_.Reset(SetEnhMetaFileBits(static_cast<UINT>(bytes.size()),
                                                 reinterpret_cast<const BYTE*>(bytes.data())));
      ENHMETAHEADER header{};
      if (!picture.metafile_ || !GetEnhMetaFileHeader(picture.metafile_.Get(), sizeof header, &header)) {
        throw std::runtime_error("Metadatei ist ungültig");
      }
      picture.width_ = MulDiv(header.rclFrame.right - header.rclFrame.left, perInch, 2540);
      picture.height_ = MulDiv(header.rclFrame.bottom - header.rclFrame.top, perInch, 2540);
    } else {
      PlaceableMetafileHeader placeable{};
      std::size_t offset = 0;
      if (bytes.size() >= sizeof placeable) std::memcpy(&placeable, bytes.data(), sizeof placeable);
      if (placeable.key == kPlaceableKey && placeable.unitsPerInch != 0) offset = sizeof placeable;
      METAFILEPICT mfp{MM_ANISOTROPIC, 0, 0, nullptr};
      if (offset) {
        picture.width_ = MulDiv(placeable.right - placeable.left, perInch, placeable.unitsPerInch);
        picture.height_ = MulDiv(placeable.bottom - placeable.top, perInch, placeable.unitsPerInch);
        mfp.xExt = MulDiv(picture.width_, 2540, perInch);
        mfp.yExt = MulDiv(picture.height_, 2540, perInch);
      }
      if (bytes.size() > offset) {
        picture.metafile_.Reset(SetWinMetaFileBits(static_cast<UINT>(bytes.size() - offset),
                                                   reinterpret_cast<const BYTE*>(bytes.data() + offset), nullptr,
                                                   offset ? &mfp : nullptr));
      }
      ENHMETAHEADER header{};
      if (!picture.metafile_ || !GetEnhMetaFileHeader(picture.metafile_.Get(), sizeof header, &header)) {
        throw std::runtime_error("Metadatei ist ungültig");
      }
      if (!offset) {
        picture.width_ = MulDiv(header.rclFrame.right - header.rclFrame.left, perInch, 2540);
        picture.height_ = MulDiv(header.rclFrame.bottom - header.rclFrame.top, perInch, 2540);
      }
    }
    picture.kind_ = Kind::Metafile;
    picture.sourceBytes_ = bytes;
  }
  return picture;
}

Picture Picture::FromBitmap(HBITMAP bitmap) {
  Picture picture;
  picture.bitmap_.Reset(static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!picture.bitmap_) throw std::runtime_error("Bitmap ist ungültig");
  const SIZE size = BitmapSize(picture.bitmap_.Get());
  picture.kind_ = Kind::Bitmap;
  picture.width_ = size.cx;
  picture.height_ = size.cy;
  return picture;
}

Picture Picture::FromPngFile(const std::string& path) {
  const auto bytes = ReadWholeFile(path);
  if (!bytes) throw std::runtime_error("Datei " + path + " kann nicht gelesen werden");
  const auto dib = ReadPngAsDib(std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
  if (const auto* error = std::get_if<PngReadError>(&dib)) throw std::runtime_error(error->message);
  const auto& pixels = std::get<std::vector<std::uint8_t>>(dib);
  return FromPackedDib(pixels.data(), pixels.size());
}

Picture Picture::FromPackedDib(const std::uint8_t* dib, std::size_t size) {
  const DibLayout layout = Measured(dib, size);
  const std::vector<std::uint8_t> info = PlainBitmapInfo(dib, layout);
  void* bits = nullptr;
  Picture picture;
  picture.bitmap_.Reset(
      CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!picture.bitmap_) throw std::runtime_error("Nicht genug Speicher für das Bild");
  std::memcpy(bits, dib + layout.pixelOffset, layout.pixelBytes);
  picture.kind_ = Kind::Bitmap;
  picture.width_ = layout.width;
  picture.height_ = layout.height;
  return picture;
}

Picture Picture::FromGlobalDib(std::shared_ptr<const win::GlobalMemory> dib) {
  const win::GlobalLockScope locked(dib->Get());
  const auto* bytes = static_cast<const std::uint8_t*>(locked.Data());
  if (!bytes) throw std::runtime_error("Das Bild kann nicht gelesen werden");
  const DibLayout layout = Measured(bytes, locked.Size());
  Picture picture;
  picture.dibInfo_ = PlainBitmapInfo(bytes, layout);
  picture.dibPixelOffset_ = layout.pixelOffset;
  picture.dib_ = std::move(dib);
  picture.kind_ = Kind::Dib;
  picture.width_ = layout.width;
  picture.height_ = layout.height;
  return picture;
}

void Picture::Draw(HDC dc, const RECT& target, bool stretch) const {
  const int targetWidth = target.right - target.left;
  const int targetHeight = target.bottom - target.top;
  const int width = stretch ? targetWidth : width_;
  const int height = stretch ? targetHeight : height_;
  switch (kind_) {
    case Kind::Empty: break;
    case Kind::Bitmap: {
      const win::MemoryDc source(CreateCompatibleDC(dc));
      const win::Selection selected(source.Get(), bitmap_.Get());
      if (stretch) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, target.left, target.top, width, height, source.Get(), 0, 0, width_, height_, SRCCOPY);
      } else {
        BitBlt(dc, target.left, target.top, std::min(width, targetWidth), std::min(height, targetHeight),
               source.Get(), 0, 0, SRCCOPY);
      }
      break;
    }
    case Kind::Dib: {
      // At natural size the whole picture is given: every target is the device's own
      // window or a bitmap of the picture's size, which clip it.
      const win::GlobalLockScope locked(dib_->Get());
      if (stretch) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
      }
      StretchDIBits(dc, target.left, target.top, width, height, 0, 0, width_, height_,
                    static_cast<const std::uint8_t*>(locked.Data()) + dibPixelOffset_,
                    reinterpret_cast<const BITMAPINFO*>(dibInfo_.data()), DIB_RGB_COLORS, SRCCOPY);
      break;
    }
    case Kind::Icon:
      DrawIconEx(dc, target.left, target.top, icon_.Get(), width, height, 0, nullptr, DI_NORMAL);
      break;
    case Kind::Metafile: {
      const RECT frame{target.left, target.top, target.left + width, target.top + height};
      PlayEnhMetaFile(dc, metafile_.Get(), &frame);
      break;
    }
  }
}

}  // namespace kamolt

namespace kamolt {
namespace {

std::vector<std::uint8_t> PackedDib(HBITMAP bitmap, int width, int height, int bitCount) {
  const int colours = bitCount <= 8 ? 1 << bitCount : 0;
  std::vector<std::uint8_t> dib(sizeof(BITMAPINFOHEADER) + 4 * colours +
                                *DibRowBytes(width, bitCount) * static_cast<std::size_t>(height));
  auto* info = reinterpret_cast<BITMAPINFO*>(dib.data());
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  info->bmiHeader.biCompression = BI_RGB;
  const win::WindowDc screen(nullptr);
  if (!GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(height), dib.data() + sizeof(BITMAPINFOHEADER) + 4 * colours,
                 info, DIB_RGB_COLORS)) {
    throw std::runtime_error("Das Bild kann nicht gelesen werden");
  }
  info->bmiHeader.biClrUsed = static_cast<DWORD>(colours);
  return dib;
}

}  // namespace

win::Bitmap Picture::Render() const {
  if (kind_ == Kind::Empty) throw std::runtime_error("Es ist kein Bild geladen");
  const win::WindowDc screen(nullptr);
  win::Bitmap bitmap(CreateCompatibleBitmap(screen.Get(), width_, height_));
  const win::MemoryDc canvas(CreateCompatibleDC(screen.Get()));
  if (!bitmap || !canvas) throw std::runtime_error("Nicht genug Speicher für das Bild");
  const win::Selection selected(canvas.Get(), bitmap.Get());
  const RECT all{0, 0, width_, height_};
  FillRect(canvas.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  Draw(canvas.Get(), all, false);
  return bitmap;
}

std::vector<std::uint8_t> Picture::RenderDib24() const {
  const win::Bitmap rendered = Render();
  return PackedDib(rendered.Get(), width_, height_, 24);
}

void Picture::SaveToFile(const std::string& path) const {
  if (kind_ == Kind::Dib) {
    // Saved like every other bitmap: at its own depth, behind a plain header.
    const win::GlobalLockScope locked(dib_->Get());
    return FromPackedDib(static_cast<const std::uint8_t*>(locked.Data()), locked.Size()).SaveToFile(path);
  }
  std::string file;
  if (kind_ == Kind::Bitmap) {
    DIBSECTION section{};
    const bool isDibSection = GetObjectA(bitmap_.Get(), sizeof section, &section) == sizeof section;
    const int bitCount = isDibSection ? section.dsBm.bmBitsPixel : 24;
    std::vector<std::uint8_t> dib = PackedDib(bitmap_.Get(), width_, height_, bitCount);
    const auto planned = PlanBmpFile(dib.data(), dib.size());
    const auto* plan = std::get_if<BmpFilePlan>(&planned);
    if (!plan) throw std::runtime_error("Das Bild kann nicht als Bitmap geschrieben werden");
    file.assign(plan->fileHeader.begin(), plan->fileHeader.end());
    file.append(reinterpret_cast<const char*>(dib.data()), plan->dibBytes);
  } else if (kind_ != Kind::Empty) {
    file = sourceBytes_;
  } else {
    throw std::runtime_error("Es ist kein Bild geladen");
  }
  if (!ReplaceFileContents(path, file)) throw std::runtime_error("Die Datei " + path + " kann nicht geschrieben werden");
}

}  // namespace kamolt
