#pragma once
// What the TWAIN side needs from the platform, as one small interface: the Windows
// program implements it with message boxes, the debugger output, the log file, the
// source manager library, global memory and window messages; the unit tests put a
// recording fake in its place.
#include <cstddef>
#include <string>
#include <string_view>

#include "base/twain_types.h"

namespace kamolt {

// A window handle as the TWAIN side passes it around; the platform gives it its type.
using TwainWindow = void*;

struct LogAppendResult {
  bool seekOk = false;
  bool writeOk = false;
  bool closeOk = false;
};

class TwainPlatform {
 public:
  virtual ~TwainPlatform() = default;

  // A plain box with an OK button.
  virtual void ShowStatusBox(TwainWindow owner, const std::string& text, const std::string& caption) = 0;
  // Task-modal, in the foreground, with an error icon and Retry and Cancel.
  virtual void ShowAssertionBox(const std::string& text, const std::string& caption) = 0;
  virtual void DebugOutput(const std::string& text) = 0;
  // Breaks only when a debugger is there to catch it.
  virtual void BreakIntoDebugger() = 0;
  // Appends text to the file, creating it when missing; a failed open fails every step.
  virtual LogAppendResult AppendToLog(const std::string& path, std::string_view text) = 0;

  virtual std::string WindowsFolder() = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Loads the library by name and finds its entry by ordinal 1; nullptr when either fails
  // (a library without the entry is unloaded again).
  virtual DSMENTRYPROC LoadSourceManager(const std::string& name) = 0;
  virtual void UnloadSourceManager() = 0;

  // Movable, zero-initialised blocks as a source manager and a source expect them.
  virtual TW_HANDLE AllocMemory(std::size_t bytes) = 0;
  virtual void* LockMemory(TW_HANDLE memory) = 0;
  virtual void UnlockMemory(TW_HANDLE memory) = 0;
  virtual void FreeMemory(TW_HANDLE memory) = 0;
  virtual std::size_t MemorySize(TW_HANDLE memory) = 0;

  // The scan module window's transfer message, sent synchronously; the window takes the
  // image block when it is not null.
  virtual void SendTransferDone(TwainWindow window, TW_HANDLE image, TW_UINT16 pending) = 0;
  virtual void PostClose(TwainWindow window) = 0;
  virtual void ShowWaitCursor(bool wait) = 0;
  // The program has been told to end (a quit waits): a transfer run stops after its page.
  virtual bool EndRequested() { return false; }
};

}  // namespace kamolt
