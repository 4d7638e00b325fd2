#include "clip/clip_dialog_rules.h"

#include <algorithm>

#include "base/int_text.h"
#include "convert/format_list.h"
#include "convert/target_name.h"

namespace kamolt {

std::vector<std::string> PortList() {
  std::vector<std::string> ports{""};
  for (int i = 1; i <= 10; ++i) ports.push_back("COM" + std::to_string(i));
  return ports;
}

int EntryIgnoringCase(const std::vector<std::string>& entries, std::string_view text) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (EqualsIgnoringAsciiCase(entries[i], text)) return static_cast<int>(i);
  }
  return -1;
}

int DefaultFormatEntry(std::string_view setting) { return std::max(FormatEntryOf(setting), 0); }

std::string TakeNameFromTitle(std::string_view viewerTitle, ClipDialogFields& fields) {
  std::string title(viewerTitle);
  const std::size_t dot = ExtensionDot(title);
  if (dot != std::string::npos && dot + 1 < title.size()) {
    const int entry = FormatEntryOf(std::string_view(title).substr(dot + 1));
    if (entry >= 0) fields.formatIndex = entry;
    // Four characters go whatever the extension: the dot and the three letters hosts hand over.
    title.erase(dot, 4);
  }
  fields.fileName = title;
  return title;
}

void ApplyClipArguments(const std::vector<std::string>& arguments, ClipDialogFields& fields, CaptureChoice& capture,
                        UnattendedRun& run) {
  for (const std::string& argument : arguments) {
    if (!argument.empty() && argument[0] == '-') continue;  // the mode, read by the viewer
    if (argument.empty() || argument[0] != '/') {
      fields.fileName = argument;
      continue;
    }
    const char letter = argument.size() > 1 ? argument[1] : '\0';
    const std::string asTyped = argument.size() > 2 ? argument.substr(2) : std::string();
    const std::string value = UpperAscii(asTyped);
    switch (letter) {
      case 'B':
        fields.beep = true;
        fields.waveFile = value;
        break;
      case 'C':
        if (const int entry = FormatEntryOf(value); entry >= 0) {
          fields.formatIndex = entry;
          run.formatGiven = true;
        }
        break;
      case 'I': fields.invert = true; break;
      case 'i': fields.invert = false; break;
      case 'K': fields.triggerKey = value; break;
      case 'P':
        if (const auto port = std::find(fields.ports.begin(), fields.ports.end(), value); port != fields.ports.end()) {
          fields.portIndex = static_cast<int>(port - fields.ports.begin());
        }
        break;
      case 'T':
        if (argument.size() >= 4) {
          capture.stampPosition = argument[2];
          capture.stampText = argument.substr(3) + " ";
        }
        break;
      case 'V':
        if (run.viewerProgram != "-") {
          run.viewerProgram = value;
          run.launch = value != "-";
        }
        break;
      case 'W': {
        capture.title = asTyped;
        int entry = asTyped.empty() ? -1 : EntryIgnoringCase(fields.windows, asTyped);
        if (entry < 0) break;
        // A second /W must not take a window's title for the empty entry.
        if (!fields.windows.empty() && fields.windows.front().empty()) {
          fields.windows.erase(fields.windows.begin());
          --entry;
        }
        fields.windowText = fields.windows[static_cast<std::size_t>(entry)];
        break;
      }
      case 'X': run.automatic = true; break;
      default: break;
    }
  }
}

std::string ResolveCaptureTitle(std::string_view chosenTitle, const std::vector<std::string>& windows,
                                std::string_view windowText) {
  const std::string_view title = chosenTitle.empty() ? windowText : chosenTitle;
  // Every title begins with the empty text: it must keep meaning the clipboard.
  if (title.empty() || EntryIgnoringCase(windows, title) >= 0) return std::string(title);
  for (const std::string& window : windows) {
    if (window.starts_with(title)) return window;
  }
  return std::string(title);
}

void PutOnTop(std::vector<std::string>& names, const std::string& name) {
  const int entry = EntryIgnoringCase(names, name);
  if (entry < 0) {
    names.insert(names.begin(), name);
  } else {
    std::rotate(names.begin(), names.begin() + entry, names.begin() + entry + 1);
  }
}

std::string FilePart(std::string_view name) {
  const std::size_t separator = name.find_last_of("\\/:");
  return std::string(separator == std::string_view::npos ? name : name.substr(separator + 1));
}

bool IsTriggerKey(unsigned virtualKey, bool ctrl, bool alt, std::string_view triggerKey) {
  if (!ctrl || !alt || triggerKey.empty()) return false;
  return virtualKey == static_cast<unsigned char>(UpperAscii(triggerKey.front()));
}

std::string GrabButtonCaption(std::string_view triggerKey) { return "Ctrl+Alt+" + std::string(triggerKey); }

UnattendedEnd EndOfUnattendedRun(const UnattendedRun& run, std::string_view pictureName) {
  if (pictureName.empty() || !run.launch) return UnattendedEnd::EndProgram;
  return run.viewerProgram.empty() ? UnattendedEnd::StayInViewer : UnattendedEnd::LaunchThenEndProgram;
}

std::string ViewerProgramLine(std::string_view program, std::string_view fileName) {
  // A name with blanks stays one argument.
  const bool quote = fileName.find(' ') != std::string_view::npos;
  return std::string(program) + " " + (quote ? "\"" + std::string(fileName) + "\"" : std::string(fileName));
}

int UnattendedExitCode(bool wrotePicture) { return wrotePicture ? 0 : 1; }

}  // namespace kamolt
