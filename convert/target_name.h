#pragma once
// The rules that turn the name a caller asked for into the name a picture is written to.
#include <string>
#include <string_view>

namespace kamolt {

// Where the extension's dot is: the last dot of the file part (after the last "\" or "/"),
// or npos when the file part has none. Dots in folder names never count.
std::size_t ExtensionDot(std::string_view name);

// The name of the next picture of a run: the last character before the extension's dot
// (the last character, when there is no extension) moves on by one code, "9" to "A".
// Characters that a file name cannot hold are stepped over. A file part with nothing
// before its dot gets a "1" there, and a character with no next code keeps its place
// and gets a "0" after it, so the run goes on without ever repeating a name.
std::string NextPictureName(std::string_view name);

// The name cut right after the extension's dot, or with a dot appended when there is
// none: ready for the extension of the chosen format.
std::string StripExtension(std::string_view name);

// One word of a command line that may pass the command interpreter: unchanged when it
// holds nothing that splits words or that the interpreter acts on, else quoted by the
// platform's rules for program arguments (backslashes before a quote doubled, the quote
// escaped), so it reaches the program as one argument and never starts a second command.
std::string CommandLineWord(std::string_view word);

// The command line for the external converter: the converter, the source file and
// "/convert=" with the target, each a CommandLineWord.
std::string ConverterCommandLine(std::string_view converter, std::string_view source, std::string_view target);

}  // namespace kamolt
