#pragma once
// The picture viewer, the program's main window. It lives for the whole process.
#include <windows.h>

#include <future>
#include <memory>
#include <string>

#include "app/folder_list_win.h"
#include "app/folder_steps.h"
#include "app/picture_win.h"
#include "app/startup_state.h"
#include "app/view_geometry.h"
#include "app/viewer_commands.h"
#include "base/ini_file.h"
#include "win/handles_win.h"

namespace kamolt {

class Viewer {
 public:
  static constexpr const char* kClassName = "TViewer";
  static constexpr UINT_PTR kDrawTimer = 1;
  static constexpr UINT_PTR kClipboardTimer = 2;

  // Creates the window and runs its creation handler.
  void Create(HINSTANCE instance, const std::string& commandLine);
  HWND Window() const { return window_; }
  // Key preview: every key typed into the viewer or one of its controls comes here first.
  bool PreviewKey(const MSG& message);

  // Shows a file in the viewer; false when it is missing (after a message) or refused.
  bool ShowPictureFile(const std::string& name);
  void SelectInFolderList(const std::string& name);

  // Throws std::runtime_error while the settings file is not open (its creation failed).
  IniFile& Settings();
  const StartupState& Startup() const { return startup_; }
  // What the process returns once the viewer has closed; an unattended run tells its result.
  void SetExitCode(int code) { exitCode_ = code; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnCreate();
  void OnClose();
  void OnShow();
  void OnKeyPress(char typed);
  void OnKeyDown(int virtualKey, bool ctrl);
  void OnMenuCommand(int id);
  void OnContextMenu(int x, int y);
  void Run(ViewerCommand command);
  // Runs one of the dialogs (scan, clip/grab, recorder) over the viewer. Each runs a
  // message loop of its own while the viewer stays reachable, so a second run would start
  // inside the first: while one runs, no other starts.
  void RunDialog(void (*open)(HWND viewer));

  // loading and stepping
  void LoadConvertedPicture(const std::string& name, const std::string& key);
  // A converter's work on the file, started ahead on a thread of its own; the next load of
  // that very name takes its result rather than converting again.
  void StartConverting(const std::string& name);
  HGLOBAL Converted(const std::string& name, const std::string& key);
  // The converted picture is offered on the clipboard at once and handed over just after it
  // is shown (or earlier, when it is asked for or the viewer ends), so a large photo is not
  // copied before it is on the screen.
  bool OfferOnClipboard(std::shared_ptr<const win::GlobalMemory> dib);
  void RenderClipboard();
  // Hands the promised picture over; false while another program holds the clipboard open.
  bool KeepPromise();
  void OnClipboardTimer();
  void OnBildLaden();
  void Step(FolderStep step);

  // geometry
  Size Screen() const;
  Size ClientSize() const;
  Size ControlSize() const;
  void SetViewSize(int height, int width);
  void ApplyViewKey(char key);
  void ProcFitToScreen();
  // Full screen, adjust and show complete; false for natural size, which the caller times.
  bool FitToScreenNow(FitMode mode);
  void OnDrawTimer();
  void OnResize();
  void ScrollBy(int bar, int delta);
  void UpdateScrollBar(int bar, int range, int page);
  void PlaceImage();

  // commands
  void CopyPicture();
  void SaveBMPClick();
  void PrintPicture();
  void OnHelp();

  void SetTitle(const std::string& title);
  void CloseViewer();

  HWND window_ = nullptr;
  HWND image_ = nullptr;  // the image control Bild
  win::Menu menu_;
  FolderList folderList_;
  std::unique_ptr<IniFile> settings_;
  StartupState startup_;
  Picture picture_;
  std::string convertingName_;
  std::future<HGLOBAL> converting_;
  std::shared_ptr<const win::GlobalMemory> offeredDib_;  // what the clipboard holds in promise only
  int handOverTries_ = 0;
  win::Icon windowIcon_;
  bool stretch_ = false;
  int fileIndex_ = 0;
  int homeLeft_ = 0, homeTop_ = 0;
  Size view_{};
  Size scrollRange_{};
  bool created_ = false;
  int exitCode_ = 0;
  bool dialogRunning_ = false;
  // Closed while a dialog ran: the run was told to end, and the viewer closes after it.
  bool closeAfterDialog_ = false;
};

// The one viewer of the process.
Viewer& TheViewer();

}  // namespace kamolt
