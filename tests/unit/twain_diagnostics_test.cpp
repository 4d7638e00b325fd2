#include "scan/twain_diagnostics.h"

#include <gtest/gtest.h>

#include "tests/unit/twain_fake.h"

namespace kamolt {
namespace {

using testing::FakeTwainPlatform;

TEST(LookupTwainName, FirstMatchingRowWinsAndMissingCodesLeaveTheTextAlone) {
  struct Case {
    std::span<const TwainName> table;
    TW_UINT16 code;
    bool found;
    std::string name;
  };
  const TwainName duplicate[] = {{"FIRST", 3}, {"SECOND", 3}};
  const Case cases[] = {
      {kReturnCodeNames, 0, true, "TWRC_SUCCESS"},
      {kReturnCodeNames, 9, true, "TWRC_DATANOTAVAILABLE"},
      {kReturnCodeNames, 10, false, "untouched"},
      {kConditionCodeNames, 4, true, "TWCC_MAXCONNECTIONS"},
      {kConditionCodeNames, 7, false, "untouched"},
      {kConditionCodeNames, 8, false, "untouched"},
      {kConditionCodeNames, 15, true, "TWCC_CAPSEQERROR"},
      {duplicate, 3, true, "FIRST"},
  };
  for (const Case& c : cases) {
    std::string out = "untouched";
    EXPECT_EQ(LookupTwainName(c.table, c.code, out), c.found) << c.code;
    EXPECT_EQ(out, c.name) << c.code;
  }
}

TEST(ShowOperationStatus, ComposedBoxNamesTheOperationReturnAndConditionCodes) {
  struct Case {
    TW_UINT16 returnCode;
    TW_UINT16 condition;
    std::string body;
  };
  const Case cases[] = {
      {1, 4, "Operation: Op\r\nReturn Code: TWRC_FAILURE\r\nCondition Code: TWCC_MAXCONNECTIONS"},
      {12, 4, "Operation: Op\r\nReturn Code: \r\nCondition Code: TWCC_MAXCONNECTIONS"},
      {1, 7, "Operation: Op\r\nReturn Code: TWRC_FAILURE\r\nCondition Code: "},
      {3, 8, "Operation: Op\r\nReturn Code: TWRC_CANCEL\r\nCondition Code: "},
  };
  for (const Case& c : cases) {
    FakeTwainPlatform platform;
    TwainDiagnostics diagnostics(platform);
    diagnostics.LastStatus().ConditionCode = c.condition;
    int owner = 0;
    diagnostics.ShowOperationStatus(&owner, 1, c.returnCode, "ignored", "Op");
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].caption, "Operation Status");
    EXPECT_EQ(platform.boxes[0].text, c.body);
    EXPECT_EQ(platform.boxes[0].owner, &owner);
  }
}

TEST(DebugPrint, FormatsIntoAtMost511Characters) {
  FakeTwainPlatform platform;
  TwainDiagnostics diagnostics(platform);
  diagnostics.DebugPrint("RC = %d, CC = %d.\n", 1, 4);
  diagnostics.DebugPrint("%s", std::string(600, 'x').c_str());
  ASSERT_EQ(platform.debugLines.size(), 2u);
  EXPECT_EQ(platform.debugLines[0], "RC = 1, CC = 4.\n");
  EXPECT_EQ(platform.debugLines[1], std::string(511, 'x'));
}

TEST(ReportAssertion, NamesTheCallingUnitAndLineAndAsksToBreak) {
  for (const char* unit : {"Captest", "Dca_acq", "Dca_glue", "Scan", "Special"}) {
    FakeTwainPlatform platform;
    TwainDiagnostics diagnostics(platform);
    EXPECT_TRUE(diagnostics.ReportAssertion(unit, 42));
    ASSERT_EQ(platform.debugLines.size(), 1u);
    EXPECT_EQ(platform.debugLines[0], std::string("Assertion Failed. Line 42, File ") + unit + ".\n");
    ASSERT_EQ(platform.assertionBoxes.size(), 1u);
    EXPECT_EQ(platform.assertionBoxes[0].caption, "Assertion Failed!");
    EXPECT_EQ(platform.assertionBoxes[0].text, std::string("File ") + unit + "\n Line 42");
  }
}

TEST(Check, ReportsAndBreaksOnlyForAFalseCondition) {
  FakeTwainPlatform platform;
  TwainDiagnostics diagnostics(platform);
  EXPECT_TRUE(diagnostics.Check(true, "Scan", 1));
  EXPECT_EQ(platform.breaks, 0);
  EXPECT_TRUE(platform.assertionBoxes.empty());
  EXPECT_FALSE(diagnostics.Check(false, "Scan", 2));
  EXPECT_EQ(platform.breaks, 1);
  EXPECT_EQ(platform.assertionBoxes.size(), 1u);
}

TEST(LogMessage, AppendsTextsAsTheyAreToTheOneLogFile) {
  FakeTwainPlatform platform;
  TwainDiagnostics diagnostics(platform);
  diagnostics.LogMessage("OpenDS success\r\n");
  diagnostics.LogMessage("CloseDS\r\n");
  EXPECT_EQ(platform.logPath, "c:\\twacker.log");
  EXPECT_EQ(platform.log, "OpenDS success\r\nCloseDS\r\n");
  EXPECT_TRUE(platform.debugLines.empty());
}

TEST(LogMessage, AFailedOpenShowsAsTheFailedStepsThatFollow) {
  FakeTwainPlatform platform;
  platform.logOpenFails = true;
  TwainDiagnostics diagnostics(platform);
  diagnostics.LogMessage("lost\r\n");
  EXPECT_EQ(platform.debugLines,
            (std::vector<std::string>{"LogMessage _llseek failed\n", "LogMessage _lwrite failed\n",
                                      "LogMessage _lclose failed\n"}));
}

}  // namespace
}  // namespace kamolt
