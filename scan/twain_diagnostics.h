#pragma once
// The diagnostics every part of the TWAIN side reports through: one level that decides
// which boxes appear, the status box, code names, the last condition code, debugger
// lines, the assertion report and the log file.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "base/twain_types.h"
#include "scan/twain_platform.h"

namespace kamolt {

struct TwainName {
  const char* name;
  TW_UINT16 code;
};

extern const TwainName kReturnCodeNames[10];
extern const TwainName kConditionCodeNames[14];

// The name of the first row whose code matches; false, with out untouched, when none does.
bool LookupTwainName(std::span<const TwainName> table, TW_UINT16 code, std::string& out);

inline constexpr const char* kTwainLogPath = "c:\\twacker.log";

class TwainDiagnostics {
 public:
  explicit TwainDiagnostics(TwainPlatform& platform) : platform_(platform) {}

  int GetDiagnosticLevel() const { return level_; }
  void SetDiagnosticLevel(int level) { level_ = level; }
  // Written after every failed call but an event; the status box shows it.
  TW_STATUS& LastStatus() { return status_; }

  // compose 0: text under caption. compose 1: "Operation Status" with the caption as the
  // operation, the return code's name and the last condition code's name.
  void ShowOperationStatus(TwainWindow owner, int compose, TW_UINT16 returnCode, const std::string& text,
                           const std::string& caption);
  void DebugPrint(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // unit is the reporting source unit's own name; true means "break into the debugger".
  bool ReportAssertion(const char* unit, int line);
  void LogMessage(std::string_view text);

  // Guards a caller's argument: reports a false condition and breaks when asked to.
  // Returns the condition, so that the caller can refuse instead of going on with it.
  bool Check(bool condition, const char* unit, int line);

  TwainPlatform& Platform() { return platform_; }

 private:
  TwainPlatform& platform_;
  int level_ = 0;
  TW_STATUS status_{};
};

}  // namespace kamolt
