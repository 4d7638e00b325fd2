#include "scan/twain_session.h"

#include <cstdio>
#include <cstring>

namespace kamolt {
namespace {

constexpr const char* kUnit = "Dca_glue";
constexpr const char* kManagerName = "TWAIN_32.DLL";

}  // namespace

void TwainSession::Box(int threshold, const char* text, const char* caption) {
  if (Level() >= threshold) diagnostics_.ShowOperationStatus(nullptr, 0, TWRC_SUCCESS, text, caption);
}

void TwainSession::Composed(int threshold, TW_UINT16 returnCode, const char* operation) {
  if (Level() >= threshold) diagnostics_.ShowOperationStatus(nullptr, 1, returnCode, "", operation);
}

TW_UINT16 TwainSession::CallDSMEntry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                                     TW_UINT16 msg, TW_MEMREF data) {
  // Only a loaded manager can be called; anything else is a fault of ours.
  if (!diagnostics_.Check(entry_ != nullptr, kUnit, __LINE__)) return TWRC_FAILURE;
  const TW_UINT16 returnCode = entry_(origin, destination, dg, dat, msg, data);
  if (returnCode != TWRC_SUCCESS && dat != DAT_EVENT) {
    TW_STATUS status{};
    if (entry_(origin, destination, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS) {
      diagnostics_.LastStatus() = status;
    }
    diagnostics_.DebugPrint("CallDSMEntry function: call failed with RC = %d, CC = %d.\n", returnCode,
                            diagnostics_.LastStatus().ConditionCode);
  }
  return returnCode;
}

void TwainSession::TWSetAppIdentity(const TW_IDENTITY* identity, TwainWindow parent) {
  if (!diagnostics_.Check(identity != nullptr, kUnit, __LINE__)) return;
  if (!diagnostics_.Check(parent != nullptr, kUnit, __LINE__)) return;
  appIdentity_ = *identity;
  parent_ = parent;
}

int TwainSession::TWOpenDSM() {
  if (managerOpen_) {
    diagnostics_.LogMessage("DSM already open\r\n");
    return 1;
  }
  std::string path = Platform().WindowsFolder();
  if (path.empty() || path.back() != '\\') path += '\\';
  path += kManagerName;
  entry_ = Platform().FileExists(path) ? Platform().LoadSourceManager(kManagerName) : nullptr;
  if (entry_ == nullptr) {
    Box(1, "Error in Open, LoadLibrary, or GetProcAddress.\nTwain DLL may not exist.", kManagerName);
    return 0;
  }
  const TW_UINT16 returnCode = CallDSMEntry(&appIdentity_, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent_);
  if (returnCode == TWRC_SUCCESS) {
    managerOpen_ = 1;
    Box(3, "Source Manager was Opened successfully", "TWAIN Information");
  } else {
    if (returnCode == TWRC_FAILURE) diagnostics_.LogMessage("OpenDSM failure\r\n");
    Composed(1, returnCode, "DG_CONTROL/DAT_PARENT/MSG_OPENDSM");
  }
  return static_cast<int>(managerOpen_);
}

bool TwainSession::TWCloseDSM() {
  if (!managerOpen_) {
    Box(1, "Cannot Close Source Manager\nSource Manager Not Open", "Sequence Error");
    return false;
  }
  if (sourceOpen_) {
    Box(1, "A Source is Currently Open", "Cannot Close Source Manager");
    return false;
  }
  const TW_UINT16 returnCode = CallDSMEntry(&appIdentity_, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent_);
  if (returnCode != TWRC_SUCCESS) {
    Composed(1, returnCode, "DG_CONTROL/DAT_PARENT/MSG_CLOSEDSM");
    char line[64];
    std::snprintf(line, sizeof line, "CloseDSM failure -- twRC = %d\r\n", returnCode);
    diagnostics_.LogMessage(line);
    return false;
  }
  managerOpen_ = 0;
  if (entry_ != nullptr) {
    Platform().UnloadSourceManager();
    entry_ = nullptr;
    // The product name stays, so that the next opening finds the same source again.
    sourceIdentity_.Id = 0;
  }
  Box(3, "Source Manager was Closed successfully", "TWAIN Information");
  return true;
}

int TwainSession::TWOpenDS() {
  if (!managerOpen_) {
    diagnostics_.LogMessage("DSM not open - cannot open DS\r\n");
    Box(1, "Cannot Open Source\nSource Manager not Open", "TWAIN Error");
    return 0;
  }
  if (sourceOpen_) {
    diagnostics_.LogMessage("Source already open\r\n");
    Box(3, "Source is already open", "TWAIN Information");
    return 1;
  }
  const TW_UINT16 returnCode =
      CallDSMEntry(&appIdentity_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &sourceIdentity_);
  if (returnCode == TWRC_SUCCESS) {
    diagnostics_.LogMessage("OpenDS success\r\n");
    sourceOpen_ = 1;
  } else if (returnCode == TWRC_FAILURE) {
    diagnostics_.LogMessage("OpenDS failure\r\n");
    Composed(1, returnCode, "DG_CONTROL/DAT_IDENTITY/MSG_OPENDS");
  } else {
    Box(1, "Unknown Return Code", "DG_CONTROL/DAT_IDENTITY/MSG_OPENDS");
  }
  return static_cast<int>(sourceOpen_);
}

bool TwainSession::TWCloseDS() {
  if (!sourceOpen_) {
    Box(1, "Cannot Close Source\nSource Not Open", "Sequence Error");
    return false;
  }
  if (sourceEnabled_) {
    Box(1, "Source is Currently Enabled", "Cannot Close Source");
    return false;
  }
  const TW_UINT16 returnCode =
      CallDSMEntry(&appIdentity_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &sourceIdentity_);
  diagnostics_.LogMessage("CloseDS\r\n");
  if (returnCode != TWRC_SUCCESS) {
    Composed(1, returnCode, "DG_CONTROL/DAT_IDENTITY/MSG_CLOSEDS");
    return false;
  }
  sourceOpen_ = 0;
  // Forgetting the name makes the next opening take the manager's default source.
  sourceIdentity_.Id = 0;
  std::memset(sourceIdentity_.ProductName, 0, sizeof sourceIdentity_.ProductName);
  Box(3, "Source was Closed successfully", "TWAIN Information");
  return true;
}

bool TwainSession::TWEnableDS(bool showUI) {
  if (!sourceOpen_) {
    Box(1, "Cannot Enable Source\nNo Source Open", "TWAIN Error");
    return false;
  }
  if (sourceEnabled_) {
    Box(1, "Cannot Enable Source, already enabled", "TWAIN Error");
    return false;
  }
  userInterface_ = {};
  userInterface_.ShowUI = showUI ? 1 : 0;
  userInterface_.ModalUI = 0;
  userInterface_.hParent = parent_;
  const TW_UINT16 returnCode = CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &userInterface_);
  // A source that had to show its own dialog after all says so with a check-status, and
  // is enabled all the same: it must be treated as enabled, or it is never disabled.
  if (returnCode != TWRC_SUCCESS && returnCode != TWRC_CHECKSTATUS) {
    Composed(1, returnCode, "DG_CONTROL/DAT_USERINTERFACE/MSG_ENABLEDS");
    return false;
  }
  sourceEnabled_ = 1;
  if (userInterface_.ShowUI == 1) Box(3, "Source Enabled", "DG_CONTROL/DAT_USERINTERFACE/MSG_ENABLEDS");
  return true;
}

bool TwainSession::TWDisableDS() {
  diagnostics_.LogMessage("Disable DS\r\n");
  if (!sourceEnabled_) {
    Box(1, "Cannot Disable Source\nSource Not Enabled", "Sequence Error");
    return false;
  }
  TW_USERINTERFACE userInterface{};
  userInterface.ShowUI = 255;
  userInterface.ModalUI = 0;
  userInterface.hParent = parent_;
  const TW_UINT16 returnCode = CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &userInterface);
  if (returnCode != TWRC_SUCCESS) {
    Composed(1, returnCode, "DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS");
    return false;
  }
  diagnostics_.LogMessage("DS Disabled\r\n");
  sourceEnabled_ = 0;
  Box(3, "Source Disabled", "DG_CONTROL/DAT_USERINTERFACE/MSG_DISABLEDS");
  return true;
}

TW_UINT16 TwainSession::TWSelectDS() {
  if (sourceOpen_) {
    diagnostics_.LogMessage("TWSelectDS -- source already open\r\n");
    Box(1, "A Source is already open\nClose Source before Selecting a New Source",
        "DG_CONTROL/DAT_IDENTITY/MSG_USERSELECT");
    return TWRC_FAILURE;
  }
  TW_IDENTITY chosen{};
  // Names the default source, which the dialog then shows selected.
  CallDSMEntry(&appIdentity_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &chosen);
  const TW_UINT16 returnCode = CallDSMEntry(&appIdentity_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen);
  if (returnCode == TWRC_SUCCESS) {
    sourceIdentity_ = chosen;
  } else if (returnCode == TWRC_CANCEL) {
    Composed(2, returnCode, "DG_CONTROL/DAT_IDENTITY/MSG_USERSELECT");
  } else {
    Composed(1, returnCode, "DG_CONTROL/DAT_IDENTITY/MSG_USERSELECT");
  }
  return returnCode;
}

}  // namespace kamolt
