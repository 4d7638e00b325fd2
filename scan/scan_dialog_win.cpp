#include "scan/scan_dialog_win.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/viewer_win.h"
#include "base/file_io.h"
#include "base/scan_settings.h"
#include "clip/clip_dialog_rules.h"
#include "clip/hand_off.h"
#include "clip/hand_off_win.h"
#include "convert/external_converter_win.h"
#include "convert/format_list.h"
#include "scan/scan_dialog_rules.h"
#include "scan/scan_module_win.h"
#include "win/dialog_controls_win.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"
#include "win/own_window_win.h"
#include "win/start_program_win.h"

namespace kamolt {
namespace {

constexpr int kDesignLeft = 193;
constexpr int kDesignTop = 107;
constexpr int kDesignClientWidth = 258;
constexpr int kDesignClientHeight = 351;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;
constexpr char kCaption[] = "Scan";
constexpr char kMessageCaption[] = "Scanner";

enum ControlId : int {
  kLDateiname = 101,
  kDateiname,
  kLGrafikformat,
  kGrafikformat,
  kLDPI,
  kDPI,
  kColorBW,
  kColorGrey,
  kColorRGB,
  kFarbtiefe,
  kPapersize,
  kFormat,
  kLWidth1,
  kLWidth2,
  kWidth,
  kLHeight1,
  kLHeight2,
  kHeight,
  kSelectSource,
  kTwain,
  kTransmissive,
  kPixelFlavor,
  kDuplex,
  kOK,
  kAbbruch,
  kHilfe,
};

// The paper size group holds its controls at places relative to itself.
constexpr int kPaperLeft = 8;
constexpr int kPaperTop = 160;

using win::ControlKind;

// Created in this order, which is the tab order; each label just before the field it
// names, so that its mnemonic reaches the field. The colour buttons lie over their frame.
constexpr win::ControlDesign kControls[] = {
    {kLDateiname, ControlKind::Label, "&Dateiname", 8, 8, 51, 13, 0},
    {kDateiname, ControlKind::EditCombo, "", 8, 24, 241, 21, 0},
    {kLGrafikformat, ControlKind::Label, "Grafikformat", 8, 56, 57, 13, 0},
    // Only the list's entries can be chosen: the position of the chosen one is the format, so
    // a typed text would show one format and write another.
    {kGrafikformat, ControlKind::ListCombo, "", 72, 48, 73, 21, 0},
    {kLDPI, ControlKind::Label, "DPI", 160, 56, 18, 13, 0},
    {kDPI, ControlKind::EditCombo, "", 184, 48, 65, 21, 0},
    {kColorBW, ControlKind::RadioButton, "Schwarz / Weiß", 16, 96, 113, 17, WS_GROUP},
    {kColorGrey, ControlKind::RadioButton, "Graustufen", 16, 112, 113, 17, 0},
    {kColorRGB, ControlKind::RadioButton, "Farbe", 16, 128, 113, 17, 0},
    {kFarbtiefe, ControlKind::GroupBox, "Farbtiefe", 8, 80, 185, 73, WS_GROUP},
    {kPapersize, ControlKind::GroupBox, "Papiergröße", kPaperLeft, kPaperTop, 185, 81, 0},
    {kFormat, ControlKind::EditCombo, "DIN A4", kPaperLeft + 8, kPaperTop + 16, 169, 21, WS_GROUP},
    {kLWidth1, ControlKind::Label, "Breite", kPaperLeft + 8, kPaperTop + 48, 31, 13, 0},
    {kLWidth2, ControlKind::Label, "in mm", kPaperLeft + 8, kPaperTop + 64, 31, 13, 0},
    {kWidth, ControlKind::Edit, "", kPaperLeft + 40, kPaperTop + 48, 33, 21, 0},
    {kLHeight1, ControlKind::Label, "Höhe", kPaperLeft + 104, kPaperTop + 48, 31, 13, 0},
    {kLHeight2, ControlKind::Label, "in mm", kPaperLeft + 104, kPaperTop + 64, 31, 13, 0},
    {kHeight, ControlKind::Edit, "", kPaperLeft + 136, kPaperTop + 48, 33, 21, 0},
    {kSelectSource, ControlKind::CheckBox, "Select Source - Dialog", 8, 248, 137, 17, WS_GROUP},
    {kTwain, ControlKind::CheckBox, "Twain - Dialog", 160, 248, 89, 17, 0},
    {kTransmissive, ControlKind::CheckBox, "Durchlicht", 8, 272, 137, 17, 0},
    {kPixelFlavor, ControlKind::CheckBox, "Invers", 160, 272, 89, 17, 0},
    {kDuplex, ControlKind::CheckBox, "Duplex", 8, 296, 145, 17, 0},
    {kOK, ControlKind::DefaultButton, "&OK", 8, 320, 65, 25, 0},
    {kAbbruch, ControlKind::Button, "&Abbruch", 88, 320, 65, 25, 0},
    {kHilfe, ControlKind::Button, "&Hilfe", 168, 320, 65, 25, 0},
};

// The record that the scan module, the capability negotiation and the writer read.
ScanSettings scanSettings;

std::vector<std::string> DialogArguments() {
  std::vector<std::string> words = SplitCommandLine(GetCommandLineA());
  if (!words.empty()) words.erase(words.begin());
  return words;
}

char DecimalSeparator() {
  char separator[4] = "";
  return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) > 1 ? separator[0] : '.';
}

std::string NameIn(const char (&field)[kScanSettingsNameSize]) {
  return std::string(field, strnlen(field, kScanSettingsNameSize));
}

template <std::size_t N>
void Store(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

class ScanDialog {
 public:
  explicit ScanDialog(HWND viewer) : viewer_(viewer) {}
  ScanDialog(const ScanDialog&) = delete;
  ScanDialog& operator=(const ScanDialog&) = delete;
  ~ScanDialog() {
    if (window_) DestroyWindow(window_);
  }

  // Creates the window, runs its creation handler and whatever that starts; then the
  // window goes, and the program ends when the dialog asked for it.
  void Run();

  // For the window procedure of its class.
  HWND Window() const { return window_; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void CreateWindowAndControls();

  void OnCreate();
  void RunUnattended(const UnattendedRun& run);
  void OnButtonOK();
  void OnButtonAbbruch();
  void OnChangePapersize(int index);
  void OnColourButton();
  void OnHelp();
  void ShowModal();
  // Tells the user what keeps OK from scanning and puts the focus where it can be mended.
  void Refuse(ScanRequestFault fault);

  HWND Control(int id) const { return GetDlgItem(window_, id); }
  std::string Text(int id) const { return win::TextOf(Control(id)); }
  bool Checked(int id) const { return win::IsChecked(Control(id)); }
  void Show(const ScanDialogFields& fields);
  ScanDialogFields Shown() const;

  HWND viewer_;
  HWND window_ = nullptr;
  win::UniqueHandle<win::GdiObjectTraits<HFONT>> font_;
  std::vector<PaperSize> papers_;
  bool automatic_ = false;
  ScanTally tally_;
  bool closing_ = false;
  bool endProgram_ = false;
};

void ScanDialog::Run() {
  CreateWindowAndControls();
  win::RunHandler([&] { OnCreate(); });
  EnableWindow(viewer_, TRUE);
  // Gone before the viewer closes, so the viewer never takes an owned window down with it.
  DestroyWindow(std::exchange(window_, nullptr));
  if (automatic_) TheViewer().SetExitCode(ScanExitCode(tally_));
  if (endProgram_) SendMessageA(viewer_, WM_CLOSE, 0, 0);
}

void ScanDialog::CreateWindowAndControls() {
  win::RegisterOwnWindowClass(kScanDialogClass, win::OwnWindowProc<ScanDialog>);

  const SIZE frame = win::FrameSizeFor(kDesignClientWidth, kDesignClientHeight, kDialogStyle, kDialogExStyle);
  window_ = CreateWindowExA(kDialogExStyle, kScanDialogClass, kCaption, kDialogStyle, kDesignLeft, kDesignTop, frame.cx,
                            frame.cy, viewer_, nullptr, GetModuleHandleA(nullptr), this);
  if (!window_) throw std::runtime_error("Das Fenster Scan kann nicht erzeugt werden");
  font_.Reset(win::CreateDialogFont());
  for (const win::ControlDesign& design : kControls) win::CreateDesignedControl(window_, design, font_.Get());
}

LRESULT ScanDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int notification = HIWORD(wParam);
      if (notification == BN_CLICKED) {
        switch (id) {
          case kOK: win::RunHandler([&] { OnButtonOK(); }); return 0;
          case kAbbruch: win::RunHandler([&] { OnButtonAbbruch(); }); return 0;
          case kHilfe: OnHelp(); return 0;
          case kColorBW:
          case kColorGrey:
          case kColorRGB: OnColourButton(); return 0;
          default: break;
        }
      }
      if (id == kFormat && notification == CBN_SELCHANGE) {
        const auto index = static_cast<int>(SendMessageA(Control(kFormat), CB_GETCURSEL, 0, 0));
        win::RunHandler([&] { OnChangePapersize(index); });
      } else if (id == kFormat && notification == CBN_EDITCHANGE) {
        const int index = EntryIgnoringCase(win::ComboEntries(Control(kFormat)), Text(kFormat));
        win::RunHandler([&] { OnChangePapersize(index); });
      }
      return 0;
    }
    case DM_GETDEFID: return MAKELRESULT(kOK, DC_HASDEFID);
    case WM_HELP:
      // Every help request opens the help at its start page; the viewer must not start it again.
      OnHelp();
      return TRUE;
    case WM_CLOSE: closing_ = true; return 0;
    default: return DefWindowProcA(window_, message, wParam, lParam);
  }
}

void ScanDialog::OnCreate() {
  ScanDialogFields fields = ReadScanDialogSettings(TheViewer().Settings());
  UnattendedRun run;
  ApplyScanArguments(DialogArguments(), DecimalSeparator(), fields, run);
  SetWindowTextA(viewer_, TakeScanNameFromTitle(win::TextOf(viewer_), fields).c_str());
  Show(fields);
  automatic_ = run.automatic;
  if (run.automatic) {
    RunUnattended(run);
  } else {
    ShowModal();
  }
}

void ScanDialog::Show(const ScanDialogFields& fields) {
  win::SetComboEntries(Control(kGrafikformat), std::vector<std::string>(kFormatList.begin(), kFormatList.end()));
  win::SelectComboEntry(Control(kGrafikformat), fields.formatIndex);
  win::SetComboEntries(Control(kDateiname), fields.fileNames);
  win::SetText(Control(kDateiname), fields.fileName);
  win::SetComboEntries(Control(kDPI), fields.resolutions);
  win::SelectComboEntry(Control(kDPI), fields.resolutionIndex);
  papers_ = fields.papers;
  std::vector<std::string> paperNames;
  for (const PaperSize& paper : papers_) paperNames.push_back(paper.name);
  // With no paper sizes the field keeps its designed text.
  if (!paperNames.empty()) win::SetComboEntries(Control(kFormat), paperNames);
  win::SelectComboEntry(Control(kFormat), fields.paperIndex);
  win::SetText(Control(kWidth), fields.widthText);
  win::SetText(Control(kHeight), fields.heightText);
  win::SetChecked(Control(kColorBW), fields.colour == ColourMode::BlackWhite);
  win::SetChecked(Control(kColorGrey), fields.colour == ColourMode::Grey);
  win::SetChecked(Control(kColorRGB), fields.colour == ColourMode::Colour);
  win::SetChecked(Control(kSelectSource), fields.selectSource);
  win::SetChecked(Control(kTwain), fields.showSourceUi);
  win::SetChecked(Control(kTransmissive), fields.transmissive);
  win::SetChecked(Control(kPixelFlavor), fields.pixelFlavor);
  win::SetChecked(Control(kDuplex), fields.duplex);
  EnableWindow(Control(kPixelFlavor), PixelFlavorEnabled(fields.colour));
}

ScanDialogFields ScanDialog::Shown() const {
  ScanDialogFields fields;
  fields.fileName = Text(kDateiname);
  fields.formatIndex = static_cast<int>(SendMessageA(Control(kGrafikformat), CB_GETCURSEL, 0, 0));
  fields.resolutionText = Text(kDPI);
  fields.widthText = Text(kWidth);
  fields.heightText = Text(kHeight);
  fields.colour = Checked(kColorBW)     ? ColourMode::BlackWhite
                  : Checked(kColorGrey) ? ColourMode::Grey
                                        : ColourMode::Colour;
  fields.selectSource = Checked(kSelectSource);
  fields.showSourceUi = Checked(kTwain);
  fields.transmissive = Checked(kTransmissive);
  fields.pixelFlavor = Checked(kPixelFlavor);
  fields.duplex = Checked(kDuplex);
  return fields;
}

void ScanDialog::RunUnattended(const UnattendedRun& run) {
  if (!run.formatGiven) win::SelectComboEntry(Control(kGrafikformat), 0);
  win::RunHandler([&] { OnButtonOK(); });
  closing_ = true;
  const std::string name = Text(kDateiname);
  switch (EndOfUnattendedRun(run, name)) {
    case UnattendedEnd::EndProgram: OnButtonAbbruch(); break;
    case UnattendedEnd::LaunchThenEndProgram:
      if (PathExists(name)) win::StartProgramLine(ViewerProgramLine(run.viewerProgram, name));
      OnButtonAbbruch();
      break;
    case UnattendedEnd::StayInViewer: break;
  }
}

void ScanDialog::Refuse(ScanRequestFault fault) {
  struct Refusal {
    ScanRequestFault fault;
    const char* text;
    int field;
  };
  static constexpr Refusal kRefusals[] = {
      {ScanRequestFault::NoFileName, "Scannen ohne Dateiangabe nicht möglich !", kDateiname},
      {ScanRequestFault::FileNameTooLong, "Der Dateiname ist zu lang !", kDateiname},
      {ScanRequestFault::FrameNotNumbers, "Breite und Höhe bitte als Zahlen in mm angeben !", kWidth},
  };
  for (const Refusal& refusal : kRefusals) {
    if (refusal.fault != fault) continue;
    win::ShowMessage(window_, refusal.text, kMessageCaption);
    SetFocus(Control(refusal.field));
  }
}

void ScanDialog::OnButtonOK() {
  if (const ScanRequestFault fault = FillScanSettings(Shown(), DecimalSeparator(), scanSettings);
      fault != ScanRequestFault::None) {
    Refuse(fault);
    return;
  }
  Store(scanSettings.converterPath, LocateExternalConverter());

  // The scan runs a message loop of its own inside this handler: a second OK must not
  // start a second scan inside the first.
  EnableWindow(window_, FALSE);
  // Reported from inside the run, so that the host learns what was written even when the
  // session ends under the scan and the process is ended before the run returns.
  const int moduleResult = RunScanModule(scanSettings, [&](const ScanTally& tally) {
    tally_ = tally;
    const std::string written = NameIn(scanSettings.fileName);
    win::SetText(Control(kDateiname), written);
    if (tally.written > 0) {
      TheViewer().ShowPictureFile(written);
      NotifyHost(written, tally.written, kHandOffMarkerScan);
    }
  });
  EnableWindow(window_, TRUE);

  if (moduleResult >= kFirstScanModuleError) {
    win::ShowMessage(window_, "Fehler ím Scanmodul " + std::to_string(moduleResult), "Scannen");
  }
  closing_ = true;
  if (ScanEndsProgram(ScanDialogResult(moduleResult))) endProgram_ = true;
}

void ScanDialog::OnButtonAbbruch() {
  closing_ = true;
  endProgram_ = true;
}

void ScanDialog::OnChangePapersize(int index) {
  ScanDialogFields fields;
  fields.papers = papers_;
  fields.widthText = Text(kWidth);
  fields.heightText = Text(kHeight);
  SelectPaperSize(fields, index);
  win::SetText(Control(kWidth), fields.widthText);
  win::SetText(Control(kHeight), fields.heightText);
}

void ScanDialog::OnColourButton() {
  // The check mark of Invers stays as it is; only whether it can be changed follows the colour.
  EnableWindow(Control(kPixelFlavor), Checked(kColorBW));
}

void ScanDialog::OnHelp() {
  win::RunHandler([] { win::StartHelp(); });
}

void ScanDialog::ShowModal() {
  EnableWindow(viewer_, FALSE);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  SetFocus(Control(kDateiname));
  MSG message{};
  while (!closing_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
      break;
    }
    if (IsDialogMessageA(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

void OpenScanDialog(HWND viewer) {
  ScanDialog dialog(viewer);
  win::RunHandler([&] { dialog.Run(); });
}

}  // namespace kamolt
