#pragma once
// EPS files with nothing but PostScript, drawn by an installed Ghostscript: its console
// program renders the file into a temporary bitmap, which is read back and removed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "modules/eps/eps_codec.h"

namespace kamolt::eps {

// Ghostscript's console program as its installer registers it (the newest version), else
// the first one in a folder of the search path; nullopt when there is none.
std::optional<std::string> FindGhostscript();

// The file drawn by that program at one pixel per point (as the writer's PostScript places
// its pixels), as a packed DIB; or why not.
std::variant<std::vector<std::uint8_t>, CodecError> DrawWithGhostscript(const std::string& program,
                                                                         const char* fileName,
                                                                         const std::uint8_t* file, std::size_t size);

}  // namespace kamolt::eps
