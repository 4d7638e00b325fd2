#include "app/viewer_commands.h"

#include <array>

namespace kamolt {
namespace {

struct CharacterBinding {
  char typed;
  ViewerCommand command;
};
constexpr std::array kCharacterMap{
    CharacterBinding{3, ViewerCommand::CopyPicture},    CharacterBinding{8, ViewerCommand::PreviousPicture},
    CharacterBinding{27, ViewerCommand::Close},         CharacterBinding{' ', ViewerCommand::NextPicture},
    CharacterBinding{'O', ViewerCommand::OpenPicture},  CharacterBinding{'o', ViewerCommand::OpenPicture},
    CharacterBinding{'P', ViewerCommand::Print},        CharacterBinding{'p', ViewerCommand::Print},
};

struct KeyBinding {
  int key;
  bool ctrl;
  ViewerCommand command;
};
constexpr std::array kKeyMap{
    KeyBinding{keys::kUp, false, ViewerCommand::ScrollUp},
    KeyBinding{keys::kDown, false, ViewerCommand::ScrollDown},
    KeyBinding{keys::kLeft, false, ViewerCommand::ScrollLeft},
    KeyBinding{keys::kRight, false, ViewerCommand::ScrollRight},
    KeyBinding{keys::kUp, true, ViewerCommand::ScrollTop},
    KeyBinding{keys::kDown, true, ViewerCommand::ScrollBottom},
    KeyBinding{keys::kLeft, true, ViewerCommand::ScrollFarLeft},
    KeyBinding{keys::kRight, true, ViewerCommand::ScrollFarRight},
};

}  // namespace

std::optional<ViewerCommand> CommandForCharacter(char typed) {
  for (const auto& binding : kCharacterMap) {
    if (binding.typed == typed) return binding.command;
  }
  return std::nullopt;
}

std::optional<ViewerCommand> CommandForKey(int virtualKey, bool ctrl) {
  // Home, End and Delete act whatever the modifiers; page keys ignore Ctrl too. F1 is the
  // platform's: it comes back as the help request.
  switch (virtualKey) {
    case keys::kHome: return ViewerCommand::FirstPicture;
    case keys::kEnd: return ViewerCommand::LastPicture;
    case keys::kDelete: return ViewerCommand::CloseAndTerminate;
    case keys::kPageUp: return ViewerCommand::ScrollPageUp;
    case keys::kPageDown: return ViewerCommand::ScrollPageDown;
    default: break;
  }
  for (const auto& binding : kKeyMap) {
    if (binding.key == virtualKey && binding.ctrl == ctrl) return binding.command;
  }
  return std::nullopt;
}

}  // namespace kamolt
