#pragma once
// The picture the viewer holds: a bitmap, a converter's DIB, an icon or a metafile, or nothing.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "win/handles_win.h"

namespace kamolt {

class Picture {
 public:
  enum class Kind { Empty, Bitmap, Dib, Icon, Metafile };

  Picture() = default;
  // The platform's own readers, chosen by the extension key (".BMP.", ".ICO.", ".WMF.", ".EMF.").
  // Throws std::runtime_error with the platform's message when the file cannot be decoded.
  static Picture FromFile(const std::string& path, const std::string& extensionKey);
  // A copy of bitmap, which stays with its owner (the clipboard, for one).
  static Picture FromBitmap(HBITMAP bitmap);
  // A packed DIB of any layout the DIB measure accepts; throws std::runtime_error with its
  // message for one it refuses.
  static Picture FromPackedDib(const std::uint8_t* dib, std::size_t size);
  // A PNG file through the program's own reader; throws with the reader's reason.
  static Picture FromPngFile(const std::string& path);
  // A packed DIB in global memory, shown from where it lies rather than copied, since a
  // photo's DIB is large; measured like FromPackedDib.
  static Picture FromGlobalDib(std::shared_ptr<const win::GlobalMemory> dib);

  Kind GetKind() const { return kind_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  HICON IconHandle() const { return icon_.Get(); }

  // Natural size from the target's top left, clipped by it, or scaled to fill it.
  void Draw(HDC dc, const RECT& target, bool stretch) const;

  // The picture drawn at its natural size on white, as a bitmap of the screen's format;
  // icons and metafiles too, so that copying and printing work for every kind.
  win::Bitmap Render() const;
  // A packed DIB of the rendered picture: 24 bits, bottom-up.
  std::vector<std::uint8_t> RenderDib24() const;
  // Bitmaps become BMP files at their own colour depth, icons and metafiles keep the
  // format they were read in. Throws std::runtime_error when the file cannot be written.
  void SaveToFile(const std::string& path) const;

 private:
  Kind kind_ = Kind::Empty;
  int width_ = 0;
  int height_ = 0;
  win::Bitmap bitmap_;
  std::shared_ptr<const win::GlobalMemory> dib_;
  std::vector<std::uint8_t> dibInfo_;  // dib_'s header as drawing wants it
  std::size_t dibPixelOffset_ = 0;
  win::Icon icon_;
  win::EnhMetafile metafile_;
  std::string sourceBytes_;  // the file an icon or metafile came from
};

}  // namespace kamolt
