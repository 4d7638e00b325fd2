#pragma once
// The user's file, moved out of the way while something else writes under its name: a
// unique name beside it holds it until the new file is known to be good, and it goes back
// to its own name when the new file is not.
#include <string>

namespace kamolt {

class SetAsideFile {
 public:
  // Moves `target` aside when it exists. Check Ready() before writing the target.
  explicit SetAsideFile(std::string target);
  ~SetAsideFile();  // puts the old file back unless Keep() was called
  SetAsideFile(const SetAsideFile&) = delete;
  SetAsideFile& operator=(const SetAsideFile&) = delete;

  // false when the target exists but could not be moved aside (a read-only file, a folder
  // that takes no new name): then nothing may write the target.
  bool Ready() const { return ready_; }
  // The new target is good: the old file is deleted.
  void Keep();

 private:
  std::string target_;
  std::string aside_;  // empty when there was no old file
  bool ready_ = false;
};

}  // namespace kamolt
