// The command lines: the viewer's reading of the whole line, and the clip/grab and scan
// dialogs' reading of their own letters together with the viewer's title.
#include <cstring>

#include "app/command_line.h"
#include "app/startup_state.h"
#include "base/scan_settings.h"
#include "clip/clip_dialog_rules.h"
#include "convert/format_list.h"
#include "scan/scan_dialog_rules.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_targets.h"

namespace kamolt::fuzz {
namespace {

// The words of a line without the program's own name.
std::vector<std::string> Arguments(std::string_view line) {
  std::vector<std::string> words = SplitCommandLine(line);
  for (const std::string& word : words) KAMOLT_FUZZ_CHECK(word.find('"') == std::string::npos);
  if (!words.empty()) words.erase(words.begin());
  return words;
}

}  // namespace

int FuzzCommandLine(const std::uint8_t* data, std::size_t size) {
  const CommandLine line = ParseCommandLine(Arguments({reinterpret_cast<const char*>(data), size}));
  KAMOLT_FUZZ_CHECK(std::strchr("VACS", line.mode) != nullptr);
  for (const char letter : {'T', 'D', 'S', 'F'}) line.ValuesOf(letter);
  TitleWithoutPicture(ReadStartupState(line));
  return 0;
}

int FuzzClipArguments(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string title = input.Text(300);
  const std::string typedWindow = input.Text(40);
  const unsigned key = input.Byte();
  ClipDialogFields fields;
  fields.fileNames = {"C:\\BILD01", "bild02.jpg"};
  fields.windows = {"", "Capture Test App", "Editor - a.txt", "capture"};
  fields.windowText = typedWindow;
  fields.ports = PortList();
  CaptureChoice capture;
  UnattendedRun run;

  const std::string kept = TakeNameFromTitle(title, fields);
  ApplyClipArguments(Arguments(input.Rest()), fields, capture, run);
  KAMOLT_FUZZ_CHECK(fields.formatIndex >= 0 && static_cast<std::size_t>(fields.formatIndex) < kFormatList.size());
  KAMOLT_FUZZ_CHECK(fields.portIndex >= 0 && static_cast<std::size_t>(fields.portIndex) < fields.ports.size());
  const std::string target = ResolveCaptureTitle(capture.title, fields.windows, fields.windowText);
  PutOnTop(fields.fileNames, fields.fileName.empty() ? kept : fields.fileName);
  FilePart(fields.fileName);
  IsTriggerKey(key, true, true, fields.triggerKey);
  GrabButtonCaption(fields.triggerKey);
  if (run.launch) ViewerProgramLine(run.viewerProgram, fields.fileName);
  return 0;
}

int FuzzScanArguments(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const char separator = input.Flag() ? ',' : '.';
  const std::string title = input.Text(300);
  ScanDialogFields fields;
  fields.resolutions = {"100", "200", "300", input.Text(12)};
  fields.resolutionIndex = 0;
  fields.resolutionText = "100";
  for (int i = 0; i < 2; ++i) fields.papers.push_back(ParsePaperSize(input.Text(40)));
  fields.widthText = fields.heightText = "0";
  SelectPaperSize(fields, static_cast<int>(input.Byte()) - 1);
  UnattendedRun run;

  ApplyScanArguments(Arguments(input.Rest()), separator, fields, run);
  TakeScanNameFromTitle(title, fields);
  KAMOLT_FUZZ_CHECK(fields.formatIndex >= -1 && fields.formatIndex < static_cast<int>(kFormatList.size()));
  ScanSettings settings;
  if (FillScanSettings(fields, separator, settings) == ScanRequestFault::None) {
    KAMOLT_FUZZ_CHECK(std::memchr(settings.fileName, '\0', sizeof settings.fileName) != nullptr);
    KAMOLT_FUZZ_CHECK(settings.resolution > 0 && settings.width >= 0 && settings.height >= 0);
  }
  for (const std::string* text : {&fields.widthText, &fields.heightText}) {
    if (const auto value = ReadDecimal(*text, separator)) WriteDecimal(*value, separator);
  }
  return 0;
}

}  // namespace kamolt::fuzz
