#pragma once
// The layer between the scan module and the TWAIN source manager: loading and opening the
// manager, opening, enabling, disabling and closing one source, the selection dialog, and
// the one gate every TWAIN call passes. Its state is three flags that follow the TWAIN
// states 3 (manager open), 4 (source open) and 5 (source enabled); an operation asked for
// in the wrong state is refused with a sequence message and changes nothing.
#include "base/twain_types.h"
#include "scan/twain_diagnostics.h"

namespace kamolt {

class TwainSession {
 public:
  explicit TwainSession(TwainDiagnostics& diagnostics) : diagnostics_(diagnostics) {}
  TwainSession(const TwainSession&) = delete;
  TwainSession& operator=(const TwainSession&) = delete;

  void TWSetAppIdentity(const TW_IDENTITY* identity, TwainWindow parent);
  int TWOpenDSM();
  bool TWCloseDSM();
  int TWOpenDS();
  bool TWCloseDS();
  bool TWEnableDS(bool showUI);
  bool TWDisableDS();
  TW_UINT16 TWSelectDS();
  bool TWIsDSMOpen() const { return managerOpen_ != 0; }
  bool TWIsDSOpen() const { return sourceOpen_ != 0; }
  bool TWIsDSEnabled() const { return sourceEnabled_ != 0; }

  // After a failed call (events aside) the source's condition code is fetched into the
  // last status.
  TW_UINT16 CallDSMEntry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                         TW_UINT16 msg, TW_MEMREF data);
  // A call from the application to the open source.
  TW_UINT16 CallSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return CallDSMEntry(&appIdentity_, &sourceIdentity_, dg, dat, msg, data);
  }

  const TW_IDENTITY& SourceIdentity() const { return sourceIdentity_; }
  TwainWindow ParentWindow() const { return parent_; }
  TwainDiagnostics& Diagnostics() { return diagnostics_; }
  TwainPlatform& Platform() { return diagnostics_.Platform(); }

 private:
  int Level() const { return diagnostics_.GetDiagnosticLevel(); }
  void Box(int threshold, const char* text, const char* caption);
  void Composed(int threshold, TW_UINT16 returnCode, const char* operation);

  TwainDiagnostics& diagnostics_;
  TW_IDENTITY appIdentity_{};
  TwainWindow parent_ = nullptr;
  DSMENTRYPROC entry_ = nullptr;
  TW_UINT32 managerOpen_ = 0;
  TW_IDENTITY sourceIdentity_{};
  TW_UINT32 sourceOpen_ = 0;
  TW_UINT32 sourceEnabled_ = 0;
  // The source may look at this record for as long as it is enabled.
  TW_USERINTERFACE userInterface_{};
};

}  // namespace kamolt
