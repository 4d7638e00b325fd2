#include "media/mp3_encoder_win.h"

#include <windows.h>

#include "base/file_io.h"
#include "convert/child_process_win.h"
#include "convert/set_aside_file_win.h"
#include "media/sound_recorder_rules.h"
#include "win/program_folder_win.h"

namespace kamolt {
namespace {

constexpr DWORD kPathBuffer = 256;
// The encoder works many times faster than the sound plays; a second for each 64 KB of
// wave data is ample even at the highest rate the recorder uses, so running past it
// means it hangs.
constexpr DWORD kEncoderBaseMs = 10000;
constexpr std::uint64_t kEncoderBytesPerSecond = 64 * 1024;

std::string InterpreterProgram() {
  char interpreter[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("ComSpec", interpreter, sizeof interpreter);
  return length > 0 && length < sizeof interpreter ? std::string(interpreter, length) : "cmd.exe";
}

}  // namespace

std::string FindEncoder() {
  std::string folders = win::ProgramFolder();
  char windows[kPathBuffer];
  const UINT windowsLength = GetWindowsDirectoryA(windows, kPathBuffer);
  if (windowsLength > 0 && windowsLength < kPathBuffer) folders += ";" + std::string(windows, windowsLength);

  char found[MAX_PATH];
  const DWORD foundLength = SearchPathA(folders.c_str(), "lame.exe", nullptr, sizeof found, found, nullptr);
  if (foundLength == 0 || foundLength >= sizeof found) return "";
  char shortPath[kPathBuffer];
  const DWORD shortLength = GetShortPathNameA(found, shortPath, kPathBuffer);
  return shortLength > 0 && shortLength < kPathBuffer ? std::string(shortPath, shortLength) : std::string(found);
}

EncodeResult Encode(const std::string& encoder, const std::string& source, const std::string& target) {
  // An MP3 from an earlier session waits aside: it is neither taken for this run's nor
  // left half overwritten by a failing encoder.
  SetAsideFile old(target);
  if (!old.Ready()) return EncodeResult::Failed;
  const std::string commandLine = "\"" + InterpreterProgram() + "\" /c " + EncoderCommand(encoder, source, target);
  const ChildOutcome outcome =
      RunHiddenAndWait(commandLine, WorkLimitMs(FileSize(source), kEncoderBaseMs, kEncoderBytesPerSecond));
  if (outcome.end == ChildEnd::Ended && outcome.exitCode == 0 && FileSize(target) > 0) {
    old.Keep();
    return EncodeResult::Encoded;
  }
  // An empty or partial MP3 would pass for the recording with whoever looks for it.
  DeleteFileA(target.c_str());
  return outcome.end == ChildEnd::TimedOut ? EncodeResult::TimedOut : EncodeResult::Failed;
}

}  // namespace kamolt
