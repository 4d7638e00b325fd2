#include "app/picture_files.h"

#include "base/int_text.h"

namespace kamolt {
namespace {

constexpr std::string_view kAccepted = ".BMP.ICO.WMF.EMF.TIF.JPG.GIF.PCX.EPS.PCD.PNG.";
constexpr std::string_view kConverted = ".JPG.GIF.PCX.TIF.EPS.PCD.";
constexpr std::string_view kPlatform = ".BMP.ICO.WMF.EMF.";
constexpr std::string_view kFittedAtOnce = ".WMF.EMF.BMP.";

bool InList(std::string_view list, std::string_view key) { return list.find(key) != std::string_view::npos; }

}  // namespace

std::string ExtensionKey(std::string_view fileName) {
  const auto folderEnd = fileName.find_last_of("\\/:");
  const auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos || (folderEnd != std::string_view::npos && dot < folderEnd)) return ".";
  return UpperAscii(fileName.substr(dot)) + ".";
}

PictureReader ReaderFor(std::string_view key) {
  if (!InList(kAccepted, key)) return PictureReader::Refused;
  if (InList(kConverted, key)) return PictureReader::Converter;
  if (InList(kPlatform, key)) return PictureReader::Platform;
  return key == ".PNG." ? PictureReader::Png : PictureReader::Refused;
}

bool IsIconKey(std::string_view key) { return key == ".ICO."; }

bool FitsRightAfterLoading(std::string_view key) { return InList(kFittedAtOnce, key); }

std::string PictureTitle(std::string_view fileName, int width, int height, std::string_view titleOverride) {
  if (!titleOverride.empty()) return std::string(titleOverride);
  return std::string(fileName) + " (" + std::to_string(width) + "x" + std::to_string(height) + ")";
}

int IconViewWidth(std::string_view fileName) { return 9 * static_cast<int>(fileName.size()) + 60; }

}  // namespace kamolt
