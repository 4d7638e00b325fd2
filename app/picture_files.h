#pragma once
// Which reader a picture file goes to, decided from its extension alone, and the texts the
// viewer derives from a loaded picture.
#include <string>
#include <string_view>

namespace kamolt {

// ".JPG." for "photo.jpg"; "." for a name without extension. Dots in folder names do not count.
std::string ExtensionKey(std::string_view fileName);

enum class PictureReader {
  Refused,    // not a picture file we accept: nothing happens
  Converter,  // a converter module turns it into a bitmap
  Platform,   // the platform's own bitmap, icon and metafile loaders
  Png,        // read here with libpng
};
PictureReader ReaderFor(std::string_view extensionKey);

bool IsIconKey(std::string_view extensionKey);
// BMP, WMF and EMF are fitted to the screen as soon as they are loaded.
bool FitsRightAfterLoading(std::string_view extensionKey);

std::string PictureTitle(std::string_view fileName, int width, int height, std::string_view titleOverride);

// Icons are tiny; the view is made wide enough for the title instead.
int IconViewWidth(std::string_view fileName);

}  // namespace kamolt
