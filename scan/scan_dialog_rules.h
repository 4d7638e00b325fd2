#pragma once
// The scan dialog's decisions, apart from its window: what the settings, the command line
// and the viewer's title put into the controls, and what OK makes of them for the scan.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_file.h"
#include "base/scan_settings.h"
#include "clip/clip_dialog_rules.h"

namespace kamolt {

enum class ColourMode { BlackWhite = 0, Grey = 1, Colour = 2 };

// One paper size of the settings: width and height in millimetres, and its name.
struct PaperSize {
  double width = 0;
  double height = 0;
  std::string name;
};

// The values of the dialog's controls that its rules read and write.
struct ScanDialogFields {
  std::vector<std::string> fileNames;  // list of Dateiname
  std::string fileName;                // text of Dateiname
  int formatIndex = 0;                 // selected entry of Grafikformat
  std::vector<std::string> resolutions;
  int resolutionIndex = -1;  // entry of DPI, -1 when the list is empty
  std::string resolutionText;
  std::vector<PaperSize> papers;  // the Format list, with the sizes behind its names
  int paperIndex = -1;
  std::string widthText;   // Width, millimetres
  std::string heightText;  // Height, millimetres
  ColourMode colour = ColourMode::Colour;
  bool selectSource = false;
  bool showSourceUi = false;  // Twain
  bool transmissive = false;
  bool pixelFlavor = false;
  bool duplex = false;
};

// "width,height,name"; each measure a whole number or a decimal with a point, and one
// that is neither counts as 0.
PaperSize ParsePaperSize(std::string_view value);

// The dialog as its settings fill it, before the command line and the title are applied.
ScanDialogFields ReadScanDialogSettings(const IniFile& settings);

// Selects a paper size and shows its measures, written with a point as the settings write
// them; a position outside the list changes nothing.
void SelectPaperSize(ScanDialogFields& fields, int index);

// The dialog's letters of the command line, arguments in the order given (without the
// program's own name). decimalSeparator is the one the user's locale writes; "." is always
// understood as well, since hosts write their sizes either way.
void ApplyScanArguments(const std::vector<std::string>& arguments, char decimalSeparator, ScanDialogFields& fields,
                        UnattendedRun& run);

// The viewer's title after the switches: its extension selects the format it names, and
// four characters go from its dot on. Returns the title the viewer keeps, which is also
// the text of Dateiname.
std::string TakeScanNameFromTitle(std::string_view viewerTitle, ScanDialogFields& fields);

// Invers only means something for black-and-white pictures.
inline bool PixelFlavorEnabled(ColourMode colour) { return colour == ColourMode::BlackWhite; }

// A decimal number written with "." or with decimalSeparator; nullopt for anything else.
std::optional<double> ReadDecimal(std::string_view text, char decimalSeparator);
// At most six decimals, without trailing zeros.
std::string WriteDecimal(double value, char decimalSeparator);

// The text of DPI as dots per inch: 100 unless it is a whole number above 0.
int ScanResolution(std::string_view text);
// Millimetres at a resolution, rounded to whole pixels.
double FramePixels(double millimetres, int resolution);

// Why OK cannot scan with what the dialog shows.
enum class ScanRequestFault {
  None,
  NoFileName,
  FileNameTooLong,
  FrameNotNumbers,  // Width or Height is no number of millimetres from 0 up
};

// Fills the record from the dialog's fields, all but the converter's path. On a fault the
// record keeps what it held.
ScanRequestFault FillScanSettings(const ScanDialogFields& fields, char decimalSeparator, ScanSettings& settings);

// The scan module's own failures; they have been shown by the time it returns.
inline constexpr int kFirstScanModuleError = 100000;
// A run that wrote nothing.
inline constexpr int kNothingScanned = 100010;
// What the dialog makes of the scan module's result: 0 pictures is a failure of its own.
inline int ScanDialogResult(int moduleResult) { return moduleResult == 0 ? kNothingScanned : moduleResult; }
inline bool ScanEndsProgram(int dialogResult) { return dialogResult > kFirstScanModuleError; }

// What a scan run did with its pages: written, and lost on the way (the source failed to
// deliver them, or they could not be written).
struct ScanTally {
  int written = 0;
  int failed = 0;
};

// The exit code of an unattended scan: 0 every page written, 1 none, 2 some but not all.
int ScanExitCode(const ScanTally& tally);

}  // namespace kamolt
