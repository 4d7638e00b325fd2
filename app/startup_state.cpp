#include "app/startup_state.h"

#include "base/int_text.h"

namespace kamolt {

StartupState ReadStartupState(const CommandLine& commandLine) {
  StartupState state;
  state.startMode = commandLine.mode;
  state.pictureArgument = commandLine.plainArgument.value_or("");
  for (const CommandLineOption& option : commandLine.options) {
    const char letter = UpperAscii(option.letter);
    switch (letter) {
      case 'C':
        state.drawingColour = static_cast<std::uint32_t>(IntegerOr(option.value, kColourForBadValue));
        break;
      case 'D': state.drawingList = option.value; break;
      case 'S': state.jpegOutputPath = option.value; break;
      case 'T': state.titleOverride = option.value; break;
      default: break;
    }
  }
  return state;
}

std::string TitleWithoutPicture(const StartupState& state) {
  return state.titleOverride.empty() ? state.pictureArgument : state.titleOverride;
}

}  // namespace kamolt
