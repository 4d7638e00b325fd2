#include "convert/bmp_writer_win.h"

#include "convert/dib_writing.h"
#include "base/pending_file_win.h"
#include "win/handles_win.h"

namespace kamolt {

int WriteDIBtoBMP(HGLOBAL dib, const std::string& path) {
  const win::GlobalLockScope lock(dib);
  if (!lock.Data()) return kBmpCannotLock;
  auto* block = static_cast<std::uint8_t*>(lock.Data());
  const auto planned = PlanBmpFile(block, lock.Size());
  if (const int* refused = std::get_if<int>(&planned)) return *refused;
  const BmpFilePlan& plan = std::get<BmpFilePlan>(planned);

  PendingFile pending(path);
  if (!pending.Ready()) return kBmpCannotCreate;
  {
    win::FileHandle file(
        CreateFileA(pending.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return kBmpCannotCreate;
    const bool written = WriteAll(file.Get(), plan.fileHeader.data(), plan.fileHeader.size()) &&
                         WriteAll(file.Get(), block, plan.dibBytes) && FlushFileBuffers(file.Get());
    if (!file.Reset() || !written) return kBmpWriteFailed;
  }
  return pending.Commit() ? kBmpWritten : kBmpCannotCreate;
}

}  // namespace kamolt
