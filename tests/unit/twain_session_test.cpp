#include "scan/twain_session.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/twain_fake.h"

namespace kamolt {
namespace {

using testing::FakeSource;
using testing::FakeTwainPlatform;

TW_IDENTITY Named(const char* product, TW_UINT32 id = 5) {
  TW_IDENTITY identity{};
  identity.Id = id;
  std::strcpy(identity.ProductName, product);
  return identity;
}

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : source(platform), diagnostics(platform), session(diagnostics) {
    diagnostics.SetDiagnosticLevel(1);
    TW_IDENTITY app = Named("Zelvo Scanmodul", 0);
    session.TWSetAppIdentity(&app, &window);
  }

  void OpenToSource() {
    ASSERT_EQ(session.TWOpenDSM(), 1);
    ASSERT_EQ(session.TWOpenDS(), 1);
  }

  FakeTwainPlatform platform;
  FakeSource source;
  TwainDiagnostics diagnostics;
  TwainSession session;
  int window = 0;
};

TEST_F(SessionTest, OpensTheManagerFromTheWindowsFolderWithTheParentWindow) {
  platform.windowsFolder = "C:\\WINDOWS\\";
  EXPECT_EQ(session.TWOpenDSM(), 1);
  EXPECT_EQ(platform.existenceTests, std::vector<std::string>{"C:\\WINDOWS\\TWAIN_32.DLL"});
  EXPECT_EQ(platform.loadedNames, std::vector<std::string>{"TWAIN_32.DLL"});
  EXPECT_EQ(source.parentSeen, &window);
  EXPECT_TRUE(session.TWIsDSMOpen());
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(SessionTest, OpeningTwiceLogsAndMakesNoSecondCall) {
  ASSERT_EQ(session.TWOpenDSM(), 1);
  const auto calls = source.calls.size();
  EXPECT_EQ(session.TWOpenDSM(), 1);
  EXPECT_EQ(source.calls.size(), calls);
  EXPECT_EQ(platform.log, "DSM already open\r\n");
}

TEST_F(SessionTest, NoManagerInTheWindowsFolderMeansNoLoadAndABox) {
  platform.managerPresent = false;
  EXPECT_EQ(session.TWOpenDSM(), 0);
  EXPECT_EQ(platform.loads, 0);
  EXPECT_EQ(platform.BoxTexts(), std::vector<std::string>{"TWAIN_32.DLL | Error in Open, LoadLibrary, or "
                                                          "GetProcAddress.\nTwain DLL may not exist."});
  EXPECT_TRUE(source.calls.empty());
}

TEST_F(SessionTest, AManagerWithoutItsEntryIsRefusedTheSameWay) {
  platform.entryMissing = true;
  EXPECT_EQ(session.TWOpenDSM(), 0);
  EXPECT_EQ(platform.boxes.size(), 1u);
  EXPECT_FALSE(session.TWIsDSMOpen());
}

TEST_F(SessionTest, FailedOpenOfTheManagerLogsAndShowsTheComposedBox) {
  struct Case {
    TW_UINT16 code;
    std::string log;
  };
  for (const Case& c : {Case{TWRC_FAILURE, "OpenDSM failure\r\n"}, Case{TWRC_CANCEL, ""}}) {
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    d.SetDiagnosticLevel(1);
    TwainSession fresh(d);
    s.conditionCode = TWCC_LOWMEMORY;
    s.Answer(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, {c.code});
    EXPECT_EQ(fresh.TWOpenDSM(), 0);
    EXPECT_EQ(p.log, c.log);
    ASSERT_EQ(p.boxes.size(), 1u);
    EXPECT_EQ(p.boxes[0].caption, "Operation Status");
    EXPECT_NE(p.boxes[0].text.find("DG_CONTROL/DAT_PARENT/MSG_OPENDSM"), std::string::npos);
    EXPECT_NE(p.boxes[0].text.find("TWCC_LOWMEMORY"), std::string::npos);
  }
}

TEST_F(SessionTest, InformationBoxesAppearFromLevelThree) {
  diagnostics.SetDiagnosticLevel(3);
  OpenToSource();
  ASSERT_TRUE(session.TWEnableDS(true));
  ASSERT_TRUE(session.TWDisableDS());
  ASSERT_TRUE(session.TWCloseDS());
  ASSERT_TRUE(session.TWCloseDSM());
  EXPECT_EQ(platform.BoxTexts(),
            (std::vector<std::string>{"TWAIN Information | Source Manager was Opened successfully",
                                      "DG_CONTROL/DAT_USERINTERFACE/MSG_ENABLEDS | Source Enabled",
                                      "DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS | Source Disabled",
                                      "TWAIN Information | Source was Closed successfully",
                                      "TWAIN Information | Source Manager was Closed successfully"}));
  EXPECT_EQ(platform.log, "OpenDS success\r\nDisable DS\r\nDS Disabled\r\nCloseDS\r\n");
}

TEST_F(SessionTest, OperationsInTheWrongStateAreRefusedAndChangeNothing) {
  struct Case {
    const char* name;
    int openSteps;  // 0 closed, 1 manager, 2 source, 3 enabled
    bool (*operation)(TwainSession&);
    std::string box;
    std::string log;
  };
  const Case cases[] = {
      {"close manager while closed", 0, [](TwainSession& s) { return s.TWCloseDSM(); },
       "Sequence Error | Cannot Close Source Manager\nSource Manager Not Open", ""},
      {"close manager with source open", 2, [](TwainSession& s) { return s.TWCloseDSM(); },
       "Cannot Close Source Manager | A Source is Currently Open", ""},
      {"open source without manager", 0, [](TwainSession& s) { return s.TWOpenDS() == 1; },
       "TWAIN Error | Cannot Open Source\nSource Manager not Open", "DSM not open - cannot open DS\r\n"},
      {"close source while closed", 1, [](TwainSession& s) { return s.TWCloseDS(); },
       "Sequence Error | Cannot Close Source\nSource Not Open", ""},
      {"close source while enabled", 3, [](TwainSession& s) { return s.TWCloseDS(); },
       "Cannot Close Source | Source is Currently Enabled", ""},
      {"enable without source", 1, [](TwainSession& s) { return s.TWEnableDS(false); },
       "TWAIN Error | Cannot Enable Source\nNo Source Open", ""},
      {"enable twice", 3, [](TwainSession& s) { return s.TWEnableDS(false); },
       "TWAIN Error | Cannot Enable Source, already enabled", ""},
      {"disable while not enabled", 2, [](TwainSession& s) { return s.TWDisableDS(); },
       "Sequence Error | Cannot Disable Source\nSource Not Enabled", "Disable DS\r\n"},
      {"select with source open", 2, [](TwainSession& s) { return s.TWSelectDS() == TWRC_SUCCESS; },
       "DG_CONTROL/DAT_IDENTITY/MSG_USERSELECT | A Source is already open\nClose Source before Selecting a New Source",
       "TWSelectDS -- source already open\r\n"},
  };
  for (const Case& c : cases) {
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    d.SetDiagnosticLevel(1);
    TwainSession fresh(d);
    if (c.openSteps >= 1) fresh.TWOpenDSM();
    if (c.openSteps >= 2) fresh.TWOpenDS();
    if (c.openSteps >= 3) fresh.TWEnableDS(false);
    p.log.clear();
    const auto calls = s.calls.size();
    const bool flags[] = {fresh.TWIsDSMOpen(), fresh.TWIsDSOpen(), fresh.TWIsDSEnabled()};
    EXPECT_FALSE(c.operation(fresh)) << c.name;
    EXPECT_EQ(s.calls.size(), calls) << c.name;
    EXPECT_EQ(p.BoxTexts(), std::vector<std::string>{c.box}) << c.name;
    EXPECT_EQ(p.log, c.log) << c.name;
    EXPECT_EQ(fresh.TWIsDSMOpen(), flags[0]) << c.name;
    EXPECT_EQ(fresh.TWIsDSOpen(), flags[1]) << c.name;
    EXPECT_EQ(fresh.TWIsDSEnabled(), flags[2]) << c.name;
  }
}

TEST_F(SessionTest, OpeningAnOpenSourceLogsAndSucceedsQuietlyBelowLevelThree) {
  OpenToSource();
  platform.log.clear();
  EXPECT_EQ(session.TWOpenDS(), 1);
  EXPECT_EQ(platform.log, "Source already open\r\n");
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(SessionTest, OpenSourceAnswers) {
  struct Case {
    TW_UINT16 code;
    std::string log;
    std::string box;
  };
  const Case cases[] = {
      {TWRC_FAILURE, "OpenDS failure\r\n", "Operation Status"},
      {TWRC_CHECKSTATUS, "", "DG_CONTROL/DAT_IDENTITY/MSG_OPENDS | Unknown Return Code"},
  };
  for (const Case& c : cases) {
    FakeTwainPlatform p;
    FakeSource s(p);
    TwainDiagnostics d(p);
    d.SetDiagnosticLevel(1);
    TwainSession fresh(d);
    fresh.TWOpenDSM();
    s.Answer(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, {c.code});
    EXPECT_EQ(fresh.TWOpenDS(), 0);
    EXPECT_EQ(p.log, c.log);
    ASSERT_EQ(p.boxes.size(), 1u);
    EXPECT_EQ(p.BoxTexts()[0].substr(0, c.box.size()), c.box);
    EXPECT_FALSE(fresh.TWIsDSOpen());
  }
}

// A check-status says the source showed its own dialog although asked not to: it is
// enabled, and must be disabled before it can be closed.
TEST_F(SessionTest, EnableAnsweredWithCheckStatusIsEnabled) {
  OpenToSource();
  source.Answer(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, {TWRC_CHECKSTATUS});
  EXPECT_TRUE(session.TWEnableDS(false));
  EXPECT_TRUE(session.TWIsDSEnabled());
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_TRUE(session.TWDisableDS());
}

TEST_F(SessionTest, EnableAndDisableSendTheirUserInterfaceRecords) {
  OpenToSource();
  ASSERT_TRUE(session.TWEnableDS(true));
  EXPECT_EQ(source.enabledWith.ShowUI, 1);
  EXPECT_EQ(source.enabledWith.ModalUI, 0);
  TwainWindow parent = source.enabledWith.hParent;  // a packed member cannot be bound
  EXPECT_EQ(parent, &window);
  ASSERT_TRUE(session.TWDisableDS());
  EXPECT_EQ(source.disabledWith.ShowUI, 255);
  EXPECT_EQ(source.disabledWith.ModalUI, 0);
  parent = source.disabledWith.hParent;
  EXPECT_EQ(parent, &window);
  EXPECT_TRUE(source.calls.back().toSource);
}

TEST_F(SessionTest, FailedDisableKeepsTheSourceEnabled) {
  OpenToSource();
  ASSERT_TRUE(session.TWEnableDS(false));
  source.Answer(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, {TWRC_FAILURE});
  platform.log.clear();
  EXPECT_FALSE(session.TWDisableDS());
  EXPECT_TRUE(session.TWIsDSEnabled());
  EXPECT_EQ(platform.log, "Disable DS\r\n");
}

TEST_F(SessionTest, FailedCloseOfTheManagerLogsItsCodeAndKeepsItOpen) {
  ASSERT_EQ(session.TWOpenDSM(), 1);
  source.Answer(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, {TWRC_FAILURE});
  EXPECT_FALSE(session.TWCloseDSM());
  EXPECT_TRUE(session.TWIsDSMOpen());
  EXPECT_EQ(platform.log, "CloseDSM failure -- twRC = 1\r\n");
  EXPECT_EQ(platform.unloads, 0);
  ASSERT_TRUE(session.TWCloseDSM());
  EXPECT_EQ(platform.unloads, 1);
}

TEST_F(SessionTest, FailedCloseOfTheSourceLogsAndKeepsItOpen) {
  OpenToSource();
  source.Answer(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, {TWRC_FAILURE});
  platform.log.clear();
  EXPECT_FALSE(session.TWCloseDS());
  EXPECT_TRUE(session.TWIsDSOpen());
  EXPECT_EQ(platform.log, "CloseDS\r\n");
}

TEST_F(SessionTest, TheChosenSourceSurvivesClosingTheManagerButNotClosingTheSource) {
  ASSERT_EQ(session.TWOpenDSM(), 1);
  source.userChoice = Named("Chosen Scanner", 9);
  ASSERT_EQ(session.TWSelectDS(), TWRC_SUCCESS);
  EXPECT_STREQ(session.SourceIdentity().ProductName, "Chosen Scanner");
  ASSERT_TRUE(session.TWCloseDSM());
  EXPECT_EQ(TW_UINT32{session.SourceIdentity().Id}, 0u);
  EXPECT_STREQ(session.SourceIdentity().ProductName, "Chosen Scanner");

  OpenToSource();
  EXPECT_STREQ(source.openedIdentity.ProductName, "Chosen Scanner");
  EXPECT_EQ(TW_UINT32{source.openedIdentity.Id}, 0u);
  ASSERT_TRUE(session.TWCloseDS());
  EXPECT_EQ(TW_UINT32{session.SourceIdentity().Id}, 0u);
  EXPECT_STREQ(session.SourceIdentity().ProductName, "");

  ASSERT_EQ(session.TWOpenDS(), 1);
  EXPECT_STREQ(source.openedIdentity.ProductName, "");
}

TEST_F(SessionTest, SelectAsksForTheDefaultFirstAndKeepsTheIdentityOnCancel) {
  ASSERT_EQ(session.TWOpenDSM(), 1);
  source.userChoice = Named("First", 3);
  ASSERT_EQ(session.TWSelectDS(), TWRC_SUCCESS);
  source.Answer(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, {TWRC_CANCEL});
  source.calls.clear();
  EXPECT_EQ(session.TWSelectDS(), TWRC_CANCEL);
  EXPECT_STREQ(session.SourceIdentity().ProductName, "First");
  EXPECT_TRUE(platform.boxes.empty());
  ASSERT_GE(source.calls.size(), 2u);
  EXPECT_EQ(source.calls[0].msg, MSG_GETDEFAULT);
  EXPECT_EQ(source.calls[1].msg, MSG_USERSELECT);

  diagnostics.SetDiagnosticLevel(2);
  source.Answer(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, {TWRC_CANCEL});
  session.TWSelectDS();
  EXPECT_EQ(platform.boxes.size(), 1u);
}

TEST_F(SessionTest, StatusIsFetchedAfterFailedCallsButNeverForEvents) {
  ASSERT_EQ(session.TWOpenDSM(), 1);
  source.conditionCode = TWCC_BADVALUE;
  source.Answer(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, {TWRC_NOTDSEVENT});
  TW_EVENT event{};
  session.CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  EXPECT_EQ(source.CountOf(DG_CONTROL, DAT_STATUS, MSG_GET), 0);
  EXPECT_EQ(diagnostics.LastStatus().ConditionCode, TWCC_SUCCESS);
  EXPECT_TRUE(platform.debugLines.empty());

  source.Answer(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, {TWRC_FAILURE});
  TW_IMAGEINFO info{};
  EXPECT_EQ(session.CallSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
  EXPECT_EQ(source.CountOf(DG_CONTROL, DAT_STATUS, MSG_GET), 1);
  EXPECT_TRUE(source.calls.back().toSource);
  EXPECT_EQ(diagnostics.LastStatus().ConditionCode, TWCC_BADVALUE);
  EXPECT_EQ(platform.debugLines, std::vector<std::string>{"CallDSMEntry function: call failed with RC = 1, CC = 10.\n"});

  // A failed status query leaves the earlier condition in place.
  source.conditionCode = TWCC_SEQERROR;
  source.statusAnswers = {TWRC_FAILURE};
  source.Answer(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, {TWRC_CANCEL});
  session.CallSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
  EXPECT_EQ(diagnostics.LastStatus().ConditionCode, TWCC_BADVALUE);
}

TEST_F(SessionTest, CallsWithoutALoadedManagerAreRefusedWithAnAssertion) {
  TW_IMAGEINFO info{};
  EXPECT_EQ(session.CallSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
  EXPECT_TRUE(source.calls.empty());
  ASSERT_EQ(platform.assertionBoxes.size(), 1u);
  EXPECT_EQ(platform.assertionBoxes[0].text.substr(0, 13), "File Dca_glue");
}

TEST_F(SessionTest, MissingIdentityOrParentIsReportedAndIgnored) {
  TW_IDENTITY other = Named("Other");
  session.TWSetAppIdentity(nullptr, &window);
  session.TWSetAppIdentity(&other, nullptr);
  EXPECT_EQ(platform.assertionBoxes.size(), 2u);
  EXPECT_EQ(session.ParentWindow(), &window);
}

}  // namespace
}  // namespace kamolt
