// The texts the program reads or makes from outside bytes: the settings file, the drawing
// list and the hand-off text to the host.
#include <stdexcept>

#include "app/drawing_list.h"
#include "base/ini_document.h"
#include "clip/hand_off.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_targets.h"

namespace kamolt::fuzz {

int FuzzIni(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string section = input.Text(20);
  const std::string key = input.Text(20);
  const std::string value = input.Text(40);
  IniDocument document(input.Rest());
  document.Get(section, key);
  document.Get("Kamolt", "Left");
  try {
    document.Set(section, key, value);
  } catch (const std::invalid_argument&) {
    return 0;  // a value with a line break, refused as promised
  }
  // What was written is what is read back, and it survives a round through the text, as
  // long as section and key are ones a settings file can hold.
  const auto blank = [](const std::string& s) {
    return s.find_first_of("\r\n[]=;") != std::string::npos || s.empty() || s.front() == ' ' || s.back() == ' ' ||
           s.front() == '\t' || s.back() == '\t';
  };
  const bool plainValue = value.find_first_of("\r\n\"") == std::string::npos && value == std::string(value.c_str()) &&
                          (value.empty() || (value.front() != ' ' && value.back() != ' ' && value.front() != '\t' &&
                                             value.back() != '\t'));
  if (!blank(section) && !blank(key) && plainValue) {
    KAMOLT_FUZZ_CHECK(document.Get(section, key) == value);
    KAMOLT_FUZZ_CHECK(IniDocument(document.Text()).Get(section, key) == value);
  }
  return 0;
}

int FuzzDrawingList(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint32_t colour = input.U32() & 0xFFFFFF;
  const std::string_view bytes = input.Rest();
  for (const std::string& text : {std::string(bytes), CommandTextFromFile(bytes)}) {
    for (const DrawingOperation& operation : ParseDrawingCommands(text, colour)) {
      if (const auto* line = std::get_if<LineOperation>(&operation)) KAMOLT_FUZZ_CHECK(line->width >= 0);
      if (const auto* mark = std::get_if<MarkOperation>(&operation)) MarkGeometryAt(mark->x, mark->y);
    }
  }
  return 0;
}

int FuzzHandOff(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const auto count = static_cast<std::int32_t>(input.U32());
  const std::string marker = input.Text(4);
  const std::string_view name = input.Rest();
  const std::string text = HandOffText(name, count, marker);
  KAMOLT_FUZZ_CHECK(text.compare(0, name.size(), name) == 0);
  const std::string record = HandOffRecord(text);
  KAMOLT_FUZZ_CHECK(record.size() == text.size() + kHandOffRecordFrame);
  KAMOLT_FUZZ_CHECK(record.front() == '\x04' && record.back() == '\x04');
  return 0;
}

}  // namespace kamolt::fuzz
