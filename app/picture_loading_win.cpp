// Putting a picture file into the viewer, and walking the pictures of its folder.
#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "app/drawing_win.h"
#include "app/jpeg_copy_win.h"
#include "app/open_preview_win.h"
#include "app/picture_files.h"
#include "app/viewer_win.h"
#include "base/file_io.h"
#include "base/settings_keys.h"
#include "convert/module_loader_win.h"
#include "win/message_box_win.h"

namespace kamolt {
namespace {

constexpr char kOpenFilter[] =
    "Alle Dateien (*.bmp;*.ico;*.emf;*.wmf;*.jpg;*.gif,*.tif)|*.bmp;*.ico;*.emf;*.wmf;*.jpg;*.gif;*.tif|"
    "Bitmaps (*.bmp)|*.bmp|Symbole (*.ico)|*.ico|Erweiterte Metadateien (*.emf)|*.emf|"
    "Metadateien (*.wmf)|*.wmf|TIFF-Format|*.tif";

// The dialog wants its filter as zero-separated pairs ending in two zeros.
std::string DialogFilter(std::string filter) {
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  filter.push_back('\0');
  return filter;
}

std::string WorkingFolder() {
  char folder[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
  return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

}  // namespace

bool Viewer::ShowPictureFile(const std::string& name) {
  if (!IsFile(name)) {
    win::ShowMessage(window_, "Dateit " + name + " existiert nicht !", "Viewer");
    return false;
  }
  const std::string key = ExtensionKey(name);
  switch (ReaderFor(key)) {
    case PictureReader::Refused: return false;
    case PictureReader::Converter: LoadConvertedPicture(name, key); break;
    case PictureReader::Png:
      picture_ = Picture::FromPngFile(name);
      ProcFitToScreen();
      break;
    case PictureReader::Platform: picture_ = Picture::FromFile(name, key); break;
  }
  InvalidateRect(image_, nullptr, TRUE);
  if (IsIconKey(key)) {
    windowIcon_.Reset(CopyIcon(picture_.IconHandle()));
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowIcon_.Get()));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowIcon_.Get()));
    SetViewSize(picture_.Height(), IconViewWidth(name));
  }
  if (FitsRightAfterLoading(key)) ProcFitToScreen();
  SetTitle(PictureTitle(name, picture_.Width(), picture_.Height(), startup_.titleOverride));
  if (!startup_.drawingList.empty()) {
    DrawOverlay(picture_, startup_.drawingList, startup_.drawingColour);
    InvalidateRect(image_, nullptr, FALSE);
    if (!startup_.jpegOutputPath.empty()) WriteJpegCopy(picture_, startup_.jpegOutputPath);
  }
  return true;
}

void Viewer::LoadConvertedPicture(const std::string& name, const std::string& key) {
  win::GlobalMemory converted(Converted(name, key));
  if (converted.Get() == kNoDib) {
    converted.Release();
    return;
  }
  const auto dib = std::make_shared<const win::GlobalMemory>(std::move(converted));
  // A module is outside code: its DIB is measured (inside FromGlobalDib) before anything reads it.
  Picture picture = Picture::FromGlobalDib(dib);
  // The converted picture goes onto the clipboard too, where it stays.
  if (!OfferOnClipboard(dib)) return;
  picture_ = std::move(picture);
  ProcFitToScreen();
}

void Viewer::StartConverting(const std::string& name) {
  const std::string key = ExtensionKey(name);
  if (!IsFile(name) || ReaderFor(key) != PictureReader::Converter) return;
  try {
    converting_ = std::async(std::launch::async, [name, key] { return ConvertFileToDIB(name, key); });
    convertingName_ = name;
  } catch (const std::system_error&) {
    // Without a thread the picture is converted when it is loaded.
  }
}

HGLOBAL Viewer::Converted(const std::string& name, const std::string& key) {
  if (!converting_.valid() || name != convertingName_) return ConvertFileToDIB(name, key);
  convertingName_.clear();
  return converting_.get();
}

bool Viewer::OfferOnClipboard(std::shared_ptr<const win::GlobalMemory> dib) {
  const win::OpenClipboardScope clipboard(window_);
  // Emptying tells this window first, which lets the promise it made before go.
  if (!clipboard.IsOpen() || !EmptyClipboard()) return false;
  // A promise returns no handle even when it is taken, so the clipboard is asked.
  SetClipboardData(CF_DIB, nullptr);
  if (!IsClipboardFormatAvailable(CF_DIB)) return false;
  offeredDib_ = std::move(dib);
  // Timers come after painting, so the picture is on the screen before its bytes are copied.
  handOverTries_ = 0;
  SetTimer(window_, kClipboardTimer, USER_TIMER_MINIMUM, nullptr);
  return true;
}

// Asked for by a reader, which holds the clipboard open meanwhile. The clipboard owns what
// it is given, and the viewer goes on showing its own block.
void Viewer::RenderClipboard() {
  if (!offeredDib_) return;
  const win::GlobalLockScope from(offeredDib_->Get());
  win::GlobalMemory copy(from.Data() ? GlobalAlloc(GMEM_MOVEABLE, from.Size()) : nullptr);
  if (!copy) return;
  {
    const win::GlobalLockScope to(copy.Get());
    if (!to.Data()) return;
    std::memcpy(to.Data(), from.Data(), from.Size());
  }
  if (SetClipboardData(CF_DIB, copy.Get())) {
    copy.Release();
    offeredDib_.reset();
  }
}

bool Viewer::KeepPromise() {
  const win::OpenClipboardScope clipboard(window_);
  if (!clipboard.IsOpen()) return false;
  if (GetClipboardOwner() == window_) RenderClipboard();
  return true;
}

// A promise alone would leave the clipboard empty when the viewer is ended from outside, and
// every paste would wait on the viewer's thread; so the bytes follow right after the picture.
void Viewer::OnClipboardTimer() {
  constexpr int kTries = 50;  // another program may hold the clipboard open for a moment
  if (offeredDib_ && !KeepPromise() && ++handOverTries_ < kTries) return;
  KillTimer(window_, kClipboardTimer);
}

void Viewer::OnBildLaden() {
  const std::string remembered = WorkingFolder();
  const std::string startFolder = Read(Settings(), settings::kOpenFolder);
  const std::string filter = DialogFilter(kOpenFilter);
  char chosen[MAX_PATH] = "";
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.data();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = chosen;
  dialog.nMaxFile = sizeof chosen;
  dialog.lpstrInitialDir = startFolder.empty() ? nullptr : startFolder.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  OpenPreview preview;
  preview.Attach(dialog);
  if (!GetOpenFileNameA(&dialog)) {
    SetCurrentDirectoryA(remembered.c_str());
    return;
  }
  const std::string file = chosen;
  Write(Settings(), settings::kOpenFolder, file.substr(0, dialog.nFileOffset));
  ShowPictureFile(file);
  SelectInFolderList(file);
}

void Viewer::Step(FolderStep step) {
  // The position follows every try, so a picture that fails to decode still counts as reached.
  fileIndex_ = StepThroughFolder(step, fileIndex_, folderList_.Count(), [&](int index) {
    fileIndex_ = index;
    return ShowPictureFile(folderList_.Entry(index));
  });
}

}  // namespace kamolt
