// The virtual scanner installed in the Windows folder, driven through the platform's own
// TWAIN source manager as an application drives a scanner: listed, opened, negotiated,
// enabled with and without its dialog, and its pages taken by memory transfer.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/twain_types.h"
#include "tools/virtual_scanner/page_pattern.h"
#include "tools/virtual_scanner/scanner_settings.h"
#include "tools/virtual_scanner/virtual_source.h"

namespace kamolt::scanner {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::string WindowsFolder() {
  char folder[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder, length);
}

// Where a source manager of this width looks for its sources.
std::string SourceFolder() {
  return WindowsFolder() + (sizeof(void*) == 8 ? "\\twain_64\\" : "\\twain_32\\");
}

class WineSourceManager : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  void TearDown() override { Stop(); }

  void Start() {
    ASSERT_TRUE(PathExists(SourceFolder() + "sane.ds"))
        << "the virtual scanner is not installed; the bench installs it with wine_bench_install_scanner";
    window_ = CreateWindowExA(0, "STATIC", "virtual scanner test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    manager_ = LoadLibraryA((WindowsFolder() + "\\twain_32.dll").c_str());
    ASSERT_NE(manager_, nullptr);
    entry_ = reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(manager_, "DSM_Entry")));
    ASSERT_NE(entry_, nullptr);
    app_.Version.MajorNum = 1;
    app_.Version.Language = TWLG_USA;
    app_.Version.Country = TWCY_USA;
    app_.ProtocolMajor = 1;
    app_.ProtocolMinor = 9;
    app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::strcpy(app_.ProductName, "Virtual scanner test");
    ASSERT_EQ(entry_(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window_), TWRC_SUCCESS);
  }

  // Takes the session down from whatever state a failed check left it in.
  void Stop() {
    if (entry_ != nullptr) {
      if (sourceOpen_) {
        TW_PENDINGXFERS pending{};
        for (int page = 0; page < 100; ++page) {
          if (Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS || pending.Count == 0) break;
        }
        TW_USERINTERFACE ui{0, 0, window_};
        Source(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
        sourceOpen_ = false;
      }
      entry_(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window_);
      entry_ = nullptr;
    }
    if (manager_ != nullptr) FreeLibrary(manager_);
    manager_ = nullptr;
    if (window_ != nullptr) DestroyWindow(window_);
    window_ = nullptr;
    DeleteFileA((SourceFolder() + kScriptName).c_str());
  }

  static constexpr char kScriptName[] = "KamoltVirtualScanner.ini";

  // Opens the virtual scanner, found by its name in the manager's list, with a script.
  void OpenSource(const std::string& script) {
    ASSERT_TRUE(ReplaceFileContents(SourceFolder() + kScriptName, "[Scanner]\r\n" + script));
    TW_IDENTITY listed{};
    TW_UINT16 result = entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed);
    while (result == TWRC_SUCCESS && std::strcmp(listed.ProductName, kProductName) != 0) {
      result = entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &listed);
    }
    ASSERT_EQ(result, TWRC_SUCCESS) << "the manager does not list " << kProductName;
    source_ = listed;
    ASSERT_EQ(entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_), TWRC_SUCCESS);
    sourceOpen_ = true;
    EXPECT_STREQ(source_.ProductName, kProductName);
  }

  TW_UINT16 Source(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return entry_(&app_, &source_, dg, dat, msg, data);
  }

  TW_UINT16 Condition() {
    TW_STATUS status{};
    EXPECT_EQ(Source(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    return status.ConditionCode;
  }

  TW_UINT16 Set(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
    auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(capability.hContainer));
    one->ItemType = itemType;
    one->Item = item;
    GlobalUnlock(capability.hContainer);
    const TW_UINT16 result = Source(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    GlobalFree(capability.hContainer);
    return result;
  }

  // What the application's scan does: memory transfer, pixel type and depth, 100 dpi and
  // a frame of width x length pixels.
  void Negotiate(TW_UINT16 pixelType, int bitDepth, int width, int length) {
    ASSERT_EQ(Set(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_PIXELTYPE, TWTY_UINT16, pixelType), TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_BITDEPTH, TWTY_UINT16, static_cast<TW_UINT32>(bitDepth)), TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES), TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_XRESOLUTION, TWTY_FIX32, FixItem(ToFix(100))), TWRC_SUCCESS);
    ASSERT_EQ(Set(ICAP_YRESOLUTION, TWTY_FIX32, FixItem(ToFix(100))), TWRC_SUCCESS);
    TW_IMAGELAYOUT layout{};
    layout.Frame = {ToFix(0), ToFix(0), ToFix(width / 100.0), ToFix(length / 100.0)};
    ASSERT_EQ(Source(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
  }

  TW_UINT16 Enable(bool showUI) {
    ui_ = TW_USERINTERFACE{static_cast<TW_BOOL>(showUI), 0, window_};
    return Source(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui_);
  }

  // Runs this thread's message loop as an application does, every message offered to the
  // source first, until the source gives a notice or the time is up.
  TW_UINT16 WaitForNotice(std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::max<long long>(left.count(), 0)),
                                QS_ALLINPUT);
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TW_EVENT event{&message, MSG_NULL};
        if (Source(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) != TWRC_DSEVENT) {
          TranslateMessage(&message);
          DispatchMessageA(&message);
        }
        if (event.TWMessage != MSG_NULL) return event.TWMessage;
      }
    }
    return MSG_NULL;
  }

  // One page by memory transfer, its rows put together by their offsets and packed.
  TW_UINT16 TransferPage(Bytes& rows, TW_IMAGEINFO& info) {
    EXPECT_EQ(Source(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    TW_SETUPMEMXFER setup{};
    EXPECT_EQ(Source(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    const TW_UINT32 size = setup.Preferred != 0 ? setup.Preferred : 65536;
    const std::size_t packed = (static_cast<std::size_t>(info.ImageWidth) * info.BitsPerPixel + 7) / 8;
    rows.assign(packed * static_cast<std::size_t>(info.ImageLength), 0);
    Bytes buffer(size);
    TW_UINT16 result;
    do {
      TW_IMAGEMEMXFER strip{};
      strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, size, buffer.data()};
      result = Source(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
      if (result != TWRC_SUCCESS && result != TWRC_XFERDONE) break;
      for (TW_UINT32 r = 0; r < strip.Rows; ++r) {
        std::memcpy(&rows[(strip.YOffset + r) * packed], &buffer[r * strip.BytesPerRow], packed);
      }
    } while (result == TWRC_SUCCESS);
    return result;
  }

  static Bytes Expected(const TW_IMAGEINFO& info, TW_UINT16 flavor, int pageNumber) {
    const PageFormat page{info.ImageWidth, info.ImageLength, static_cast<TW_UINT16>(info.PixelType),
                          info.BitsPerPixel, flavor, pageNumber};
    const std::size_t packed = PackedRowBytes(page);
    Bytes rows(packed * static_cast<std::size_t>(page.length));
    for (std::int32_t y = 0; y < page.length; ++y) WriteRow(page, y, &rows[y * packed]);
    return rows;
  }

  TW_UINT16 EndTransfer() {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    return pending.Count;
  }

  HWND window_ = nullptr;
  HMODULE manager_ = nullptr;
  DSMENTRYPROC entry_ = nullptr;
  TW_IDENTITY app_{};
  TW_IDENTITY source_{};
  TW_USERINTERFACE ui_{};
  bool sourceOpen_ = false;
};

struct PageCase {
  const char* script;
  TW_UINT16 pixelType;
  int bitDepth;
  TW_UINT16 flavor;
};

TEST_F(WineSourceManager, EveryPixelTypeArrivesByMemoryTransfer) {
  const PageCase cases[] = {
      {"", TWPT_BW, 1, TWPF_CHOCOLATE},        {"PixelFlavor=1\r\n", TWPT_BW, 1, TWPF_VANILLA},
      {"", TWPT_GRAY, 8, TWPF_CHOCOLATE},      {"PadRows=1\r\nStripRows=7\r\n", TWPT_GRAY, 8, TWPF_CHOCOLATE},
      {"PreferredBuffer=0\r\n", TWPT_RGB, 24, TWPF_CHOCOLATE}, {"", TWPT_PALETTE, 8, TWPF_CHOCOLATE},
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.pixelType << " " << c.script);
    Stop();
    Start();
    OpenSource(c.script);
    Negotiate(c.pixelType, c.bitDepth, 101, 67);
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(WaitForNotice(), MSG_XFERREADY);
    Bytes rows;
    TW_IMAGEINFO info{};
    ASSERT_EQ(TransferPage(rows, info), TWRC_XFERDONE);
    EXPECT_EQ(info.ImageWidth, 101);
    EXPECT_EQ(info.ImageLength, 67);
    EXPECT_EQ(rows, Expected(info, c.flavor, 1));
    EXPECT_EQ(EndTransfer(), 0);
    EXPECT_EQ(Source(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui_), TWRC_SUCCESS);
  }
}

TEST_F(WineSourceManager, PagesOfAFeederRunCountDown) {
  OpenSource("Pages=3\r\nCancelPage=2\r\n");
  Negotiate(TWPT_RGB, 24, 64, 48);
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  ASSERT_EQ(WaitForNotice(), MSG_XFERREADY);
  const TW_UINT16 results[] = {TWRC_XFERDONE, TWRC_CANCEL, TWRC_XFERDONE};
  for (int page = 1; page <= 3; ++page) {
    SCOPED_TRACE(page);
    Bytes rows;
    TW_IMAGEINFO info{};
    ASSERT_EQ(TransferPage(rows, info), results[page - 1]);
    if (results[page - 1] == TWRC_XFERDONE) {
      EXPECT_EQ(rows, Expected(info, TWPF_CHOCOLATE, page));
    }
    EXPECT_EQ(EndTransfer(), 3 - page);
  }
}

TEST_F(WineSourceManager, TripletsOutOfTurnFailWithTheirConditionCode) {
  OpenSource("StrictMechanism=1\r\n");
  TW_IMAGEINFO info{};
  EXPECT_EQ(Source(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  TW_CAPABILITY unknown{0x1101, TWON_DONTCARE16, nullptr};
  EXPECT_EQ(Source(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &unknown), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_CAPUNSUPPORTED);
  // A memory transfer under the native mechanism, which the strict script refuses.
  ASSERT_EQ(Set(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE), TWRC_SUCCESS);
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
  ASSERT_EQ(WaitForNotice(), MSG_XFERREADY);
  Bytes buffer(65536);
  TW_IMAGEMEMXFER strip{};
  strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65536, buffer.data()};
  EXPECT_EQ(Source(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
  EXPECT_EQ(Condition(), TWCC_SEQERROR);
}

TEST_F(WineSourceManager, ScriptedCloseRequestComesInsteadOfPages) {
  OpenSource("CloseRequest=1\r\n");
  ASSERT_EQ(Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(WaitForNotice(), MSG_CLOSEDSREQ);
}

HWND FindDialogButton(const char* caption) {
  HWND dialog = FindWindowA("KamoltVirtualScannerDialog", kProductName);
  return dialog != nullptr ? FindWindowExA(dialog, nullptr, "BUTTON", caption) : nullptr;
}

TEST_F(WineSourceManager, OwnDialogScansOrCancels) {
  struct DialogCase {
    const char* button;
    TW_UINT16 notice;
  };
  for (const DialogCase& c : {DialogCase{"Scan", MSG_XFERREADY}, DialogCase{"Cancel", MSG_CLOSEDSREQ}}) {
    SCOPED_TRACE(c.button);
    Stop();
    Start();
    OpenSource("Pages=1\r\n");
    Negotiate(TWPT_GRAY, 8, 40, 30);
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    const HWND button = FindDialogButton(c.button);
    ASSERT_NE(button, nullptr) << "the source shows its dialog with the button " << c.button;
    EXPECT_TRUE(IsWindowVisible(GetParent(button)));
    EXPECT_EQ(WaitForNotice(200ms), MSG_NULL) << "nothing happens before the user presses a button";
    SendMessageA(button, BM_CLICK, 0, 0);
    ASSERT_EQ(WaitForNotice(), c.notice);
    if (c.notice == MSG_XFERREADY) {
      Bytes rows;
      TW_IMAGEINFO info{};
      ASSERT_EQ(TransferPage(rows, info), TWRC_XFERDONE);
      EXPECT_EQ(EndTransfer(), 0);
    }
    ASSERT_EQ(Source(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui_), TWRC_SUCCESS);
    EXPECT_EQ(FindDialogButton(c.button), nullptr) << "disabling the source closes its dialog";
  }
}

}  // namespace
}  // namespace kamolt::scanner
