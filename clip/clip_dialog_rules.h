#pragma once
// The clip/grab dialog's decisions, apart from its window: what the command line and the
// viewer's title put into the controls, which window OK captures, the file-name history,
// the trigger key, and how an unattended run ends.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kamolt {

// The history keeps this many names in the settings; the list in the dialog may hold more.
inline constexpr std::size_t kKeptFileNames = 10;

// The values of the dialog's controls that its rules read and write.
struct ClipDialogFields {
  std::vector<std::string> fileNames;  // list of Dateiname, the name used last first
  std::string fileName;                // text of Dateiname
  int formatIndex = 0;                 // entry of Grafikformat
  std::vector<std::string> windows;    // list of CapWin: the empty entry, then window titles
  std::string windowText;              // text of CapWin
  std::vector<std::string> ports;      // list of Portname: the empty entry, then COM1 to COM10
  int portIndex = 0;
  bool beep = false;
  std::string waveFile;  // wavFile
  bool invert = false;   // Invers
  std::string triggerKey;  // CharKey: a key set here makes every OK one picture of a series
};

// What the grab runs of this dialog use; reset at every creation of the dialog.
struct CaptureChoice {
  std::string title;         // window to capture; empty: the clipboard's picture is saved
  std::string stampText;     // drawn into each picture; empty: no stamp
  char stampPosition = '\0';
};

// The options of an unattended run, local to one creation of the dialog.
struct UnattendedRun {
  bool automatic = false;    // /X
  bool formatGiven = false;  // /C named an entry of the format list
  bool launch = false;       // /V other than "-"
  std::string viewerProgram;
};

std::vector<std::string> PortList();

// The entry equal to text when letter case is ignored; -1 when there is none.
int EntryIgnoringCase(const std::vector<std::string>& entries, std::string_view text);

// The format entry that the setting names, else the first.
int DefaultFormatEntry(std::string_view setting);

// The default target from the viewer's title. Its extension selects the format it names and
// four characters are cut from its dot on (the dot and a three-letter extension). Returns
// the title the viewer keeps, which is also the text of Dateiname.
std::string TakeNameFromTitle(std::string_view viewerTitle, ClipDialogFields& fields);

// The dialog's letters of the command line, arguments in the order given (without the
// program's own name). The letter's case matters; most values are taken upper-cased.
void ApplyClipArguments(const std::vector<std::string>& arguments, ClipDialogFields& fields, CaptureChoice& capture,
                        UnattendedRun& run);

// The window an OK captures: the title chosen before, else the text of CapWin; a text that
// is no entry of CapWin stands for the first entry that begins with it (case counts).
// Empty: no window, the clipboard's picture is saved.
std::string ResolveCaptureTitle(std::string_view chosenTitle, const std::vector<std::string>& windows,
                                std::string_view windowText);

// The name used last goes to the top of the history: moved when the list holds it already
// (letter case ignored), inserted otherwise.
void PutOnTop(std::vector<std::string>& names, const std::string& name);

// The file part of a name: what follows the last "\", "/" or ":".
std::string FilePart(std::string_view name);

// Ctrl+Alt and the key whose code is the first character of CharKey; letters match
// whichever case CharKey holds them in.
bool IsTriggerKey(unsigned virtualKey, bool ctrl, bool alt, std::string_view triggerKey);
// The caption of the Grab button.
std::string GrabButtonCaption(std::string_view triggerKey);

// How an unattended run goes on once its OK is over.
enum class UnattendedEnd {
  EndProgram,            // no /V, or no picture to show or open
  LaunchThenEndProgram,  // /V with a program: it opens the picture
  StayInViewer,          // bare /V: the viewer shows the picture
};
// pictureName: the picture the run wrote; empty when it wrote none.
UnattendedEnd EndOfUnattendedRun(const UnattendedRun& run, std::string_view pictureName);
// The command line that opens the picture in the /V program.
std::string ViewerProgramLine(std::string_view program, std::string_view fileName);
// 0 when the run wrote its picture, so a host or script can tell.
int UnattendedExitCode(bool wrotePicture);

}  // namespace kamolt
