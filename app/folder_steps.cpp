#include "app/folder_steps.h"

namespace kamolt {

int StepThroughFolder(FolderStep step, int fileIndex, int entryCount, const std::function<bool(int)>& load) {
  const bool forward = step == FolderStep::Next || step == FolderStep::First;
  int index = step == FolderStep::Previous && fileIndex > entryCount ? entryCount : fileIndex;
  int whenNothingLoaded = fileIndex;
  if (step == FolderStep::First) {
    index = -1;
    whenNothingLoaded = 0;
  } else if (step == FolderStep::Last) {
    index = entryCount;
    whenNothingLoaded = entryCount - 1;
  }
  // A position left over from a longer list must not walk past the end either.
  const auto offTheEnd = [&] { return forward ? index >= entryCount : index < 0; };
  do {
    index += forward ? 1 : -1;
  } while (!offTheEnd() && !load(index));
  return offTheEnd() ? whenNothingLoaded : index;
}

}  // namespace kamolt
