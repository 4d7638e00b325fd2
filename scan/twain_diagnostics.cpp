#include "scan/twain_diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace kamolt {

const TwainName kReturnCodeNames[10] = {
    {"TWRC_SUCCESS", 0},       {"TWRC_FAILURE", 1},  {"TWRC_CHECKSTATUS", 2},      {"TWRC_CANCEL", 3},
    {"TWRC_DSEVENT", 4},       {"TWRC_NOTDSEVENT", 5}, {"TWRC_XFERDONE", 6},       {"TWRC_ENDOFLIST", 7},
    {"TWRC_INFONOTSUPPORTED", 8}, {"TWRC_DATANOTAVAILABLE", 9},
};

const TwainName kConditionCodeNames[14] = {
    {"TWCC_SUCCESS", 0},         {"TWCC_BUMMER", 1},         {"TWCC_LOWMEMORY", 2},
    {"TWCC_NODS", 3},            {"TWCC_MAXCONNECTIONS", 4}, {"TWCC_OPERATIONERROR", 5},
    {"TWCC_BADCAP", 6},          {"TWCC_BADPROTOCOL", 9},    {"TWCC_BADVALUE", 10},
    {"TWCC_SEQERROR", 11},       {"TWCC_BADDEST", 12},       {"TWCC_CAPUNSUPPORTED", 13},
    {"TWCC_CAPBADOPERATION", 14}, {"TWCC_CAPSEQERROR", 15},
};

bool LookupTwainName(std::span<const TwainName> table, TW_UINT16 code, std::string& out) {
  for (const TwainName& row : table) {
    if (row.code == code) {
      out = row.name;
      return true;
    }
  }
  return false;
}

void TwainDiagnostics::ShowOperationStatus(TwainWindow owner, int compose, TW_UINT16 returnCode,
                                           const std::string& text, const std::string& caption) {
  if (compose != 1) {
    platform_.ShowStatusBox(owner, text, caption);
    return;
  }
  std::string returnName;
  std::string conditionName;
  LookupTwainName(kReturnCodeNames, returnCode, returnName);
  LookupTwainName(kConditionCodeNames, status_.ConditionCode, conditionName);
  platform_.ShowStatusBox(owner,
                          "Operation: " + caption + "\r\nReturn Code: " + returnName + "\r\nCondition Code: " +
                              conditionName,
                          "Operation Status");
}

void TwainDiagnostics::DebugPrint(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  platform_.DebugOutput(buffer);
}

bool TwainDiagnostics::ReportAssertion(const char* unit, int line) {
  DebugPrint("Assertion Failed. Line %d, File %s.\n", line, unit);
  char text[512];
  std::snprintf(text, sizeof text, "File %s\n Line %d", unit, line);
  platform_.ShowAssertionBox(text, "Assertion Failed!");
  return true;
}

bool TwainDiagnostics::Check(bool condition, const char* unit, int line) {
  if (!condition && ReportAssertion(unit, line)) platform_.BreakIntoDebugger();
  return condition;
}

void TwainDiagnostics::LogMessage(std::string_view text) {
  const LogAppendResult result = platform_.AppendToLog(kTwainLogPath, text);
  if (!result.seekOk) platform_.DebugOutput("LogMessage _llseek failed\n");
  if (!result.writeOk) platform_.DebugOutput("LogMessage _lwrite failed\n");
  if (!result.closeOk) platform_.DebugOutput("LogMessage _lclose failed\n");
}

}  // namespace kamolt
