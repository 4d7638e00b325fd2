#include "clip/clip_dialog_win.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/viewer_win.h"
#include "base/settings_keys.h"
#include "clip/clip_dialog_rules.h"
#include "clip/clipboard_import_win.h"
#include "clip/grab_win.h"
#include "clip/hand_off.h"
#include "clip/hand_off_win.h"
#include "convert/format_list.h"
#include "win/dialog_controls_win.h"
#include "win/handles_win.h"
#include "win/message_box_win.h"
#include "win/own_window_win.h"
#include "win/start_program_win.h"

namespace kamolt {
namespace {

constexpr int kDesignLeft = 236;
constexpr int kDesignTop = 110;
constexpr int kDesignClientWidth = 245;
constexpr int kDesignClientHeight = 212;
constexpr int kGrabOnlyHeight = 115;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;

enum ControlId : int {
  kOK = 101,
  kLDateiname,
  kDateiname,
  kGrafikformat,
  kLGrafikformat,
  kCapWin,
  kLCapWin,
  kAbbruch,
  kHilfe,
  kPortname,
  kLPortname,
  kBeep,
  kInvers,
  kWavFile,
  kLCharKey,
  kCharKey,
  kGrab,
};

// Created in this order, which is the tab order; each label just before the field it names.
constexpr win::ControlDesign kControls[] = {
    {kLDateiname, win::ControlKind::Label, "Dateiname", 8, 0, 51, 13, 0},
    {kDateiname, win::ControlKind::EditCombo, "", 8, 14, 217, 21, 0},
    {kLGrafikformat, win::ControlKind::Label, "Grafikformat", 8, 40, 57, 13, 0},
    {kGrafikformat, win::ControlKind::ListCombo, "", 8, 56, 73, 21, 0},
    {kInvers, win::ControlKind::CheckBox, "Invers (nur s/w)", 104, 56, 97, 17, 0},
    {kLCapWin, win::ControlKind::Label, "Capture - Window", 8, 80, 85, 13, 0},
    {kCapWin, win::ControlKind::EditCombo, "", 8, 96, 217, 21, 0},
    {kLPortname, win::ControlKind::Label, "Schalter an", 8, 124, 54, 13, 0},
    {kPortname, win::ControlKind::ListCombo, "COM1", 68, 117, 65, 21, 0},
    {kBeep, win::ControlKind::CheckBox, "Beep", 8, 148, 49, 17, 0},
    {kOK, win::ControlKind::DefaultButton, "&OK", 8, 171, 57, 25, 0},
    {kAbbruch, win::ControlKind::Button, "&Abbruch", 88, 171, 57, 25, 0},
    {kHilfe, win::ControlKind::Button, "&Hilfe", 168, 171, 57, 25, 0},
    {kWavFile, win::ControlKind::Edit, "", 88, 144, 137, 21, 0},
    {kLCharKey, win::ControlKind::Label, "Taste Ctrl+Alt+", 139, 123, 69, 13, 0},
    {kCharKey, win::ControlKind::Edit, "", 208, 117, 17, 21, 0},
    {kGrab, win::ControlKind::Button, "Ctrl+Alt+", 104, 41, 57, 25, 0},
};

constexpr int kHiddenWhileGrabbing[] = {kOK,    kHilfe,     kLGrafikformat, kGrafikformat, kInvers,
                                        kLCapWin, kCapWin,  kLPortname,     kPortname,     kLCharKey,
                                        kCharKey, kBeep,    kWavFile};

// Pictures taken with a trigger key, for the life of the process.
std::int32_t grabCount = 0;

// The visible titled top-level windows above the start window in the stacking order, nearest
// first, then those below it.
std::vector<std::string> WindowTitlesAround(HWND start) {
  std::vector<std::string> titles{""};
  const auto add = [&](HWND window) {
    if (!IsWindowVisible(window)) return;
    char title[255];
    const int length = GetWindowTextA(window, title, sizeof title);
    if (length > 0) titles.emplace_back(title, static_cast<std::size_t>(length));
  };
  for (HWND w = GetWindow(start, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV)) add(w);
  for (HWND w = GetWindow(start, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) add(w);
  return titles;
}

std::vector<std::string> DialogArguments() {
  std::vector<std::string> words = SplitCommandLine(GetCommandLineA());
  if (!words.empty()) words.erase(words.begin());
  return words;
}

std::string FullPathOf(const std::string& name) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(name.c_str(), MAX_PATH, full, nullptr);
  return length == 0 || length >= MAX_PATH ? name : std::string(full, length);
}

class ClipDialog {
 public:
  explicit ClipDialog(HWND viewer) : viewer_(viewer) {}
  ClipDialog(const ClipDialog&) = delete;
  ClipDialog& operator=(const ClipDialog&) = delete;
  ~ClipDialog() {
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
  bool OnButtonOK();
  void CompleteOK(const std::string& written);
  void OnButtonAbbruch();
  void OnButtonGrab();
  void OnHelp();
  bool OnKeyUp(const MSG& message);
  void NurGrabAnzeige();
  void ShowModal();
  // Ends the modal loop; the window goes once its creation handler has returned.
  void CloseDialog();
  // The label sizes itself to its caption, as the name it shows may be long.
  void SetLabel(const std::string& caption) const;
  bool TakePicture(std::string& fileName, int formatCode);

  HWND Control(int id) const { return GetDlgItem(window_, id); }
  std::string Text(int id) const { return win::TextOf(Control(id)); }
  void SetText(int id, const std::string& text) const { win::SetText(Control(id), text); }
  bool Checked(int id) const { return win::IsChecked(Control(id)); }
  std::vector<std::string> Entries(int id) const { return win::ComboEntries(Control(id)); }
  void SetEntries(int id, const std::vector<std::string>& entries) const {
    win::SetComboEntries(Control(id), entries);
  }
  void Select(int id, int index) const { win::SelectComboEntry(Control(id), index); }
  int Selected(int id) const { return static_cast<int>(SendMessageA(Control(id), CB_GETCURSEL, 0, 0)); }
  void Show(const ClipDialogFields& fields) const;
  void SetDefaultButton(int id);
  void FocusFirstControl() const;
  bool InGrabOnlyLayout() const { return HasStyle(kGrab, WS_VISIBLE); }
  bool HasStyle(int id, DWORD style) const {
    return (static_cast<DWORD>(GetWindowLongPtrA(Control(id), GWL_STYLE)) & style) != 0;
  }

  HWND viewer_;
  HWND window_ = nullptr;
  win::UniqueHandle<win::GdiObjectTraits<HFONT>> font_;
  CaptureChoice capture_;
  int defaultButton_ = kOK;
  bool automatic_ = false;
  bool wrotePicture_ = false;
  bool closing_ = false;
  bool endProgram_ = false;
};

void ClipDialog::Run() {
  CreateWindowAndControls();
  win::RunHandler([&] { OnCreate(); });
  EnableWindow(viewer_, TRUE);
  // Gone before the viewer closes, so the viewer never takes an owned window down with it.
  DestroyWindow(std::exchange(window_, nullptr));
  if (automatic_) TheViewer().SetExitCode(UnattendedExitCode(wrotePicture_));
  if (endProgram_) SendMessageA(viewer_, WM_CLOSE, 0, 0);
}

void ClipDialog::CreateWindowAndControls() {
  win::RegisterOwnWindowClass(kClipDialogClass, win::OwnWindowProc<ClipDialog>);

  const SIZE frame = win::FrameSizeFor(kDesignClientWidth, kDesignClientHeight, kDialogStyle, kDialogExStyle);
  window_ = CreateWindowExA(kDialogExStyle, kClipDialogClass, "Ablage", kDialogStyle, kDesignLeft, kDesignTop, frame.cx,
                            frame.cy, viewer_, nullptr, GetModuleHandleA(nullptr), this);
  if (!window_) throw std::runtime_error("Das Fenster Ablage kann nicht erzeugt werden");
  font_.Reset(win::CreateDialogFont());
  for (const win::ControlDesign& design : kControls) win::CreateDesignedControl(window_, design, font_.Get());
  ShowWindow(Control(kGrab), SW_HIDE);  // until the grab-only layout
}

LRESULT ClipDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case kOK: win::RunHandler([&] { OnButtonOK(); }); return 0;
          case kAbbruch: win::RunHandler([&] { OnButtonAbbruch(); }); return 0;
          case kHilfe: OnHelp(); return 0;
          case kGrab: win::RunHandler([&] { OnButtonGrab(); }); return 0;
          default: break;
        }
      }
      return 0;
    case DM_GETDEFID: return MAKELRESULT(defaultButton_, DC_HASDEFID);
    case WM_HELP:
      // Every help request opens the help at its start page; the viewer must not start it again.
      OnHelp();
      return TRUE;
    case WM_CLOSE:
      // The close box and Alt+F4 end a key series as "&Ende" does: the pictures taken reach
      // the host, and the host is not left waiting on a viewer that stays open.
      if (InGrabOnlyLayout()) {
        win::RunHandler([&] { OnButtonAbbruch(); });
      } else {
        CloseDialog();
      }
      return 0;
    default: return DefWindowProcA(window_, message, wParam, lParam);
  }
}

void ClipDialog::OnCreate() {
  IniFile& settings = TheViewer().Settings();
  ClipDialogFields fields;
  fields.formatIndex = DefaultFormatEntry(Read(settings, settings::kDefaultFormat));
  for (int i = 0; i < NumberedTextSetting::kCount; ++i) {
    std::string name = Read(settings, settings::kFileNames, i);
    if (!name.empty()) fields.fileNames.push_back(std::move(name));
  }
  fields.windows = WindowTitlesAround(viewer_);
  fields.ports = PortList();
  SetWindowTextA(viewer_, TakeNameFromTitle(win::TextOf(viewer_), fields).c_str());
  fields.portIndex = 0;
  fields.beep = false;
  capture_ = {};
  UnattendedRun run;
  ApplyClipArguments(DialogArguments(), fields, capture_, run);
  Show(fields);

  automatic_ = run.automatic;
  if (run.automatic && fields.triggerKey.empty()) {
    RunUnattended(run);
    return;
  }
  if (run.automatic) NurGrabAnzeige();
  ShowModal();
}

void ClipDialog::Show(const ClipDialogFields& fields) const {
  SetEntries(kGrafikformat, std::vector<std::string>(kFormatList.begin(), kFormatList.end()));
  Select(kGrafikformat, fields.formatIndex);
  SetEntries(kDateiname, fields.fileNames);
  SetText(kDateiname, fields.fileName);
  SetEntries(kCapWin, fields.windows);
  const auto listed = std::find(fields.windows.begin(), fields.windows.end(), fields.windowText);
  if (listed != fields.windows.end()) {
    Select(kCapWin, static_cast<int>(listed - fields.windows.begin()));
  } else {
    SetText(kCapWin, fields.windowText);
  }
  SetEntries(kPortname, fields.ports);
  Select(kPortname, fields.portIndex);
  win::SetChecked(Control(kBeep), fields.beep);
  SetText(kWavFile, fields.waveFile);
  win::SetChecked(Control(kInvers), fields.invert);
  SetText(kCharKey, fields.triggerKey);
}

void ClipDialog::RunUnattended(const UnattendedRun& run) {
  if (!run.formatGiven) Select(kGrafikformat, 0);
  // Without a name there is nothing to save, and no one to ask for one.
  if (!Text(kDateiname).empty()) win::RunHandler([&] { OnButtonOK(); });
  CloseDialog();
  switch (EndOfUnattendedRun(run, wrotePicture_ ? Text(kDateiname) : std::string())) {
    case UnattendedEnd::EndProgram: OnButtonAbbruch(); break;
    case UnattendedEnd::LaunchThenEndProgram:
      win::StartProgramLine(ViewerProgramLine(run.viewerProgram, Text(kDateiname)));
      OnButtonAbbruch();
      break;
    case UnattendedEnd::StayInViewer: break;
  }
}

bool ClipDialog::TakePicture(std::string& fileName, int formatCode) {
  if (capture_.title.empty()) return SaveClipboardPicture(fileName, formatCode, Text(kCapWin), Checked(kInvers));
  GrabDialog dialog;
  dialog.beep = Checked(kBeep);
  dialog.wavFile = Text(kWavFile);
  dialog.charKey = Text(kCharKey);
  dialog.invert = Checked(kInvers);
  dialog.stamp.text = capture_.stampText;
  dialog.stamp.position = capture_.stampPosition;
  dialog.setNameText = [this](const std::string& name) { SetText(kDateiname, name); };
  dialog.setLabel = [this](const std::string& caption) { SetLabel(caption); };
  return GrabWindow(fileName, formatCode, capture_.title, Text(kPortname), dialog);
}

bool ClipDialog::OnButtonOK() {
  std::string fileName = Text(kDateiname);
  const int formatCode = FormatCodeOfEntry(Selected(kGrafikformat));
  if (fileName.empty()) {
    SetFocus(Control(kDateiname));
    return false;
  }
  capture_.title = ResolveCaptureTitle(capture_.title, Entries(kCapWin), Text(kCapWin));
  if (!TakePicture(fileName, formatCode)) return false;
  wrotePicture_ = true;

  if (!Text(kCharKey).empty()) {
    ++grabCount;
    // A grab run names its pictures in the label itself; a clipboard series names the last
    // picture written, which is what the host is told at the end.
    if (capture_.title.empty()) SetLabel(fileName);
    NurGrabAnzeige();
    SetForegroundWindow(window_);
    return true;
  }
  CompleteOK(fileName);
  return true;
}

void ClipDialog::CompleteOK(const std::string& written) {
  const std::string name = FilePart(written);
  std::vector<std::string> names = Entries(kDateiname);
  PutOnTop(names, name);
  SetEntries(kDateiname, names);
  SetText(kDateiname, name);
  IniFile& settings = TheViewer().Settings();
  for (std::size_t i = 0; i < std::min(names.size(), kKeptFileNames); ++i) {
    Write(settings, settings::kFileNames, static_cast<int>(i), names[i]);
  }
  Write(settings, settings::kDefaultFormat, Text(kGrafikformat));
  // The bare name is shown; the picture's folder becomes the working folder so that it
  // resolves there, wherever the picture was written.
  TheViewer().SelectInFolderList(FullPathOf(written));
  TheViewer().ShowPictureFile(name);
  CloseDialog();
}

void ClipDialog::OnButtonAbbruch() {
  if (!Text(kCharKey).empty() && grabCount > 0) NotifyHost(Text(kLDateiname), grabCount, kHandOffMarkerClip);
  CloseDialog();
  endProgram_ = true;
}

void ClipDialog::OnButtonGrab() {
  OnButtonOK();
  SetForegroundWindow(window_);
}

void ClipDialog::OnHelp() {
  win::RunHandler([] { win::StartHelp(); });
}

bool ClipDialog::OnKeyUp(const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
  const HWND target = message.hwnd;
  const bool watched = target == Control(kAbbruch) || target == Control(kGrab) || target == Control(kDateiname) ||
                       GetParent(target) == Control(kDateiname);
  if (!watched) return false;
  if (!IsTriggerKey(static_cast<unsigned>(message.wParam), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0,
                    Text(kCharKey))) {
    return false;
  }
  win::RunHandler([&] { OnButtonOK(); });
  NurGrabAnzeige();
  SetForegroundWindow(window_);
  return true;
}

void ClipDialog::NurGrabAnzeige() {
  if (InGrabOnlyLayout()) return;
  EnableWindow(Control(kDateiname), FALSE);
  for (const int id : kHiddenWhileGrabbing) ShowWindow(Control(id), SW_HIDE);
  SetText(kGrab, GrabButtonCaption(Text(kCharKey)));
  ShowWindow(Control(kGrab), SW_SHOW);
  SetWindowPos(Control(kAbbruch), nullptr, 8, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetDefaultButton(kAbbruch);
  SetText(kAbbruch, "&Ende");
  RECT bounds;
  GetWindowRect(window_, &bounds);
  SetWindowPos(window_, nullptr, 0, 0, bounds.right - bounds.left, kGrabOnlyHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The trigger keys reach the dialog only through a focused name field or button.
  const HWND focus = GetFocus();
  if (!focus || !IsWindowEnabled(focus) || !HasStyle(GetDlgCtrlID(focus), WS_VISIBLE)) FocusFirstControl();
}

void ClipDialog::SetDefaultButton(int id) {
  SendMessageA(Control(defaultButton_), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  defaultButton_ = id;
  SendMessageA(Control(defaultButton_), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void ClipDialog::FocusFirstControl() const {
  for (const win::ControlDesign& design : kControls) {
    const HWND control = Control(design.id);
    if (HasStyle(design.id, WS_TABSTOP) && HasStyle(design.id, WS_VISIBLE) && IsWindowEnabled(control)) {
      SetFocus(control);
      return;
    }
  }
}

void ClipDialog::CloseDialog() {
  closing_ = true;
  PostMessageA(window_, WM_NULL, 0, 0);  // a loop waiting for a message sees it at once
}

void ClipDialog::SetLabel(const std::string& caption) const {
  const HWND label = Control(kLDateiname);
  SetWindowTextA(label, caption.c_str());
  const win::WindowDc dc(label);
  const win::Selection font(dc.Get(), font_.Get());
  SIZE extent{};
  GetTextExtentPoint32A(dc.Get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
  RECT bounds;
  GetWindowRect(label, &bounds);
  SetWindowPos(label, nullptr, 0, 0, extent.cx, bounds.bottom - bounds.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ClipDialog::ShowModal() {
  EnableWindow(viewer_, FALSE);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  FocusFirstControl();
  MSG message{};
  while (!closing_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
      break;
    }
    if (OnKeyUp(message)) continue;
    if (IsDialogMessageA(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

void OpenClipDialog(HWND viewer) {
  ClipDialog dialog(viewer);
  win::RunHandler([&] { dialog.Run(); });
}

}  // namespace kamolt
