#pragma once
// A file that takes the place of its target only once it is complete: it is written under
// a temporary name in the target's folder and moved over the target at the end, so a
// failure on the way leaves the user's old file as it was.
#include <windows.h>

#include <cstddef>
#include <string>

namespace kamolt {

// The folder of a file, as a name that GetTempFileName takes: "." for a bare file name.
std::string FolderOf(const std::string& path);

// The user's folder for temporary files, ending in a backslash; empty when there is none.
std::string TemporaryFolder();

class PendingFile {
 public:
  explicit PendingFile(std::string target);
  ~PendingFile();  // the temporary file goes away unless it was put in place
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // false when no temporary file could be made beside the target (folder missing or
  // not writable); nothing else works then.
  bool Ready() const { return !temp_.empty(); }
  const std::string& Path() const { return temp_; }
  // Moves the finished temporary file over the target; false when that is refused
  // (a read-only target, for one), and the target is then untouched.
  bool Commit();

 private:
  std::string target_;
  std::string temp_;
  bool committed_ = false;
};

// WriteFile for any length; false on a short or failed write.
bool WriteAll(HANDLE file, const void* data, std::size_t size);

}  // namespace kamolt
