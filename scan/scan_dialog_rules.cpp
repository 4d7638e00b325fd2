#include "scan/scan_dialog_rules.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/int_text.h"
#include "base/settings_keys.h"
#include "convert/format_list.h"

namespace kamolt {
namespace {

std::vector<std::string> NonEmptyValues(const IniFile& settings, const NumberedTextSetting& family) {
  std::vector<std::string> values;
  for (int n = 0; n < NumberedTextSetting::kCount; ++n) {
    std::string value = Read(settings, family, n);
    if (!value.empty()) values.push_back(std::move(value));
  }
  return values;
}

// The entry the setting names, else the first; none when the list is empty.
int DefaultEntry(const std::vector<std::string>& entries, std::string_view setting) {
  const int entry = EntryIgnoringCase(entries, setting);
  if (entry >= 0) return entry;
  return entries.empty() ? -1 : 0;
}

std::vector<std::string> PaperNames(const std::vector<PaperSize>& papers) {
  std::vector<std::string> names;
  for (const PaperSize& paper : papers) names.push_back(paper.name);
  return names;
}

// A size of the command line is in centimetres; the dialog shows millimetres.
void TakeCentimetres(std::string_view text, char decimalSeparator, std::string& millimetres) {
  if (const auto value = ReadDecimal(text, decimalSeparator)) millimetres = WriteDecimal(*value * 10, decimalSeparator);
}

void StoreName(char (&field)[kScanSettingsNameSize], const std::string& name) {
  std::memset(field, 0, kScanSettingsNameSize);
  std::memcpy(field, name.data(), name.size());
}

// Sizes are whole millimetres as a rule, but a size such as Letter's 215.9 is written
// with its decimals, always with a point whatever the locale. Decimals stay within the
// range of the whole numbers, as no paper comes near it.
double ReadPaperMeasure(std::string_view text) {
  if (const auto whole = ParseInteger(text)) return *whole;
  const double decimal = ReadDecimal(text, '.').value_or(0);
  return std::abs(decimal) <= std::numeric_limits<std::int32_t>::max() ? decimal : 0;
}

}  // namespace

PaperSize ParsePaperSize(std::string_view value) {
  PaperSize paper;
  const std::size_t first = value.find(',');
  paper.width = ReadPaperMeasure(value.substr(0, first));
  if (first == std::string_view::npos) return paper;
  const std::size_t second = value.find(',', first + 1);
  paper.height =
      ReadPaperMeasure(value.substr(first + 1, second == std::string_view::npos ? second : second - first - 1));
  if (second != std::string_view::npos) paper.name = value.substr(second + 1);
  return paper;
}

ScanDialogFields ReadScanDialogSettings(const IniFile& settings) {
  ScanDialogFields fields;
  fields.formatIndex = DefaultFormatEntry(Read(settings, settings::kDefaultFormat));
  fields.fileNames = NonEmptyValues(settings, settings::kFileNames);

  fields.resolutions = NonEmptyValues(settings, settings::kResolutions);
  fields.resolutionIndex = DefaultEntry(fields.resolutions, Read(settings, settings::kDefaultResolution));
  if (fields.resolutionIndex >= 0) fields.resolutionText = fields.resolutions[fields.resolutionIndex];

  for (const std::string& value : NonEmptyValues(settings, settings::kPaperSizes)) {
    fields.papers.push_back(ParsePaperSize(value));
  }
  fields.widthText = fields.heightText = "0";
  SelectPaperSize(fields, DefaultEntry(PaperNames(fields.papers), Read(settings, settings::kDefaultPaperSize)));

  fields.selectSource = Read(settings, settings::kSelectSource);
  fields.showSourceUi = Read(settings, settings::kShowSourceUi);
  fields.transmissive = Read(settings, settings::kTransmissive);
  fields.pixelFlavor = Read(settings, settings::kPixelFlavor);
  fields.duplex = Read(settings, settings::kDuplex);
  return fields;
}

void SelectPaperSize(ScanDialogFields& fields, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= fields.papers.size()) return;
  const PaperSize& paper = fields.papers[static_cast<std::size_t>(index)];
  fields.paperIndex = index;
  fields.widthText = WriteDecimal(paper.width, '.');
  fields.heightText = WriteDecimal(paper.height, '.');
}

void ApplyScanArguments(const std::vector<std::string>& arguments, char decimalSeparator, ScanDialogFields& fields,
                        UnattendedRun& run) {
  for (const std::string& argument : arguments) {
    if (argument.size() < 2 || argument[0] != '/') continue;  // the mode and the plain argument
    const std::string value = UpperAscii(std::string_view(argument).substr(2));
    switch (argument[1]) {
      case 'B': fields.colour = ColourMode::BlackWhite; break;
      case 'G': fields.colour = ColourMode::Grey; break;
      case 'R': fields.colour = ColourMode::Colour; break;
      case 'C':
        if (const int entry = FormatEntryOf(value); entry >= 0) {
          fields.formatIndex = entry;
          run.formatGiven = true;
        }
        break;
      case 'P':
        if (const int entry = EntryIgnoringCase(fields.resolutions, value); entry >= 0) {
          fields.resolutionIndex = entry;
          fields.resolutionText = fields.resolutions[static_cast<std::size_t>(entry)];
        }
        break;
      case 'F': {
        const std::size_t x = value.find('X');
        const std::string_view text(value);
        TakeCentimetres(text.substr(0, x), decimalSeparator, fields.widthText);
        if (x != std::string::npos) TakeCentimetres(text.substr(x + 1), decimalSeparator, fields.heightText);
        break;
      }
      case 'D': fields.transmissive = true; break;
      case 'd': fields.transmissive = false; break;
      case 'I': fields.pixelFlavor = true; break;
      case 'i': fields.pixelFlavor = false; break;
      case 'Z': fields.duplex = true; break;
      case 'z': fields.duplex = false; break;
      case 'J': fields.showSourceUi = true; break;
      case 'S': fields.selectSource = true; break;
      case 'X': run.automatic = true; break;
      case 'V':
        if (run.viewerProgram != "-") {
          run.viewerProgram = value;
          run.launch = value != "-";
        }
        break;
      default: break;
    }
  }
}

std::string TakeScanNameFromTitle(std::string_view viewerTitle, ScanDialogFields& fields) {
  // The clip/grab dialog reads the title by the same rule.
  ClipDialogFields title;
  title.formatIndex = fields.formatIndex;
  std::string name = TakeNameFromTitle(viewerTitle, title);
  fields.formatIndex = title.formatIndex;
  fields.fileName = name;
  return name;
}

std::optional<double> ReadDecimal(std::string_view text, char decimalSeparator) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::string plain(text);
  if (!plain.empty() && plain.front() == '+') plain.erase(0, 1);
  if (decimalSeparator != '.' && plain.find('.') == std::string::npos) {
    if (const std::size_t separator = plain.find(decimalSeparator); separator != std::string::npos) {
      plain[separator] = '.';
    }
  }
  // Only digits with one point: from_chars would also take exponents, "inf" and "nan".
  const std::size_t digits = plain.find_first_of("0123456789");
  if (digits == std::string::npos || plain.find_first_not_of("-0123456789.") != std::string::npos ||
      plain.find('-', 1) != std::string::npos || plain.find('.') != plain.rfind('.')) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (error != std::errc() || end != plain.data() + plain.size()) return std::nullopt;
  return value;
}

std::string WriteDecimal(double value, char decimalSeparator) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  std::string written(text);
  if (const std::size_t point = written.find('.'); point != std::string::npos) {
    written.erase(written.find_last_not_of('0') + 1);
    if (written.back() == '.') {
      written.pop_back();
    } else {
      written[point] = decimalSeparator;
    }
  }
  return written == "-0" ? "0" : written;
}

int ScanResolution(std::string_view text) {
  // 0 or less would leave the frame without a size in inches.
  const std::int32_t resolution = IntegerOr(text, 100);
  return resolution > 0 ? resolution : 100;
}

double FramePixels(double millimetres, int resolution) { return std::round(millimetres * resolution * 10 / 254); }

ScanRequestFault FillScanSettings(const ScanDialogFields& fields, char decimalSeparator, ScanSettings& settings) {
  if (fields.fileName.empty()) return ScanRequestFault::NoFileName;
  // The record's field would cut the name, and the picture would land elsewhere.
  if (fields.fileName.size() >= kScanSettingsNameSize) return ScanRequestFault::FileNameTooLong;
  const auto width = ReadDecimal(fields.widthText, decimalSeparator);
  const auto height = ReadDecimal(fields.heightText, decimalSeparator);
  if (!width || !height || *width < 0 || *height < 0) return ScanRequestFault::FrameNotNumbers;

  const int resolution = ScanResolution(fields.resolutionText);
  const double widthPixels = FramePixels(*width, resolution);
  const double heightPixels = FramePixels(*height, resolution);
  if (!std::isfinite(widthPixels) || !std::isfinite(heightPixels)) return ScanRequestFault::FrameNotNumbers;
  settings.colorMode = static_cast<std::int32_t>(fields.colour);
  settings.resolution = resolution;
  settings.width = widthPixels / resolution;
  settings.height = heightPixels / resolution;
  settings.formatCode = FormatCodeOfEntry(fields.formatIndex);
  settings.showSourceUI = fields.showSourceUi ? 1 : 0;
  settings.selectSource = fields.selectSource ? 1 : 0;
  settings.transmissive = fields.transmissive ? 1 : 0;
  settings.pixelFlavor = fields.pixelFlavor ? 1 : 0;
  settings.duplex = fields.duplex ? 1 : 0;
  StoreName(settings.fileName, fields.fileName);
  return ScanRequestFault::None;
}

int ScanExitCode(const ScanTally& tally) {
  if (tally.written == 0) return 1;
  return tally.failed == 0 ? 0 : 2;
}

}  // namespace kamolt
