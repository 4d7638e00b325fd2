#include "app/jpeg_copy_win.h"

#include <windows.h>

#include <stdexcept>

#include "base/file_io.h"
#include "base/jpeg_codec.h"
#include "win/system_message_win.h"

namespace kamolt {

void WriteJpegCopy(const Picture& picture, const std::string& path) {
  if (picture.GetKind() == Picture::Kind::Empty) return;
  const std::vector<std::uint8_t> dib = picture.RenderDib24();
  auto encoded = EncodeDibAsJpeg(dib.data(), dib.size(), kJpegCopyQuality);
  if (const auto* error = std::get_if<JpegError>(&encoded)) throw std::runtime_error(error->message);
  const auto& bytes = std::get<std::vector<std::uint8_t>>(encoded);

  SetLastError(ERROR_SUCCESS);
  if (ReplaceFileContents(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) return;
  const DWORD code = GetLastError();
  std::string message = "Datei " + path + " kann nicht erstellt werden";
  if (code != ERROR_SUCCESS) {
    const std::string reason = win::SystemMessage(code);
    if (!reason.empty()) message += ".\n" + reason;
  }
  throw std::runtime_error(message);
}

}  // namespace kamolt
