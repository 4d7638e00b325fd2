#pragma once
// What the command line tells the viewer, fixed once the viewer has been created.
#include <cstdint>
#include <string>

#include "app/command_line.h"

namespace kamolt {

struct StartupState {
  char startMode = 'V';
  std::string pictureArgument;
  std::string titleOverride;
  std::string drawingList;
  std::string jpegOutputPath;
  std::uint32_t drawingColour = 0;  // 0x00BBGGRR
};

inline constexpr std::uint32_t kColourForBadValue = 200;

StartupState ReadStartupState(const CommandLine& commandLine);

// The viewer's title before any picture was loaded: the dialogs read their target name from it.
std::string TitleWithoutPicture(const StartupState& state);

}  // namespace kamolt
