#pragma once
// Walking the pictures of a folder: each step tries entries in its direction until one is
// accepted, and falls back to a fixed index when it runs off the end.
#include <functional>

namespace kamolt {

enum class FolderStep { Next, Previous, First, Last };

// load(index) shows entry index and says whether the file was accepted. Returns the new
// position in the list.
int StepThroughFolder(FolderStep step, int fileIndex, int entryCount, const std::function<bool(int)>& load);

}  // namespace kamolt
