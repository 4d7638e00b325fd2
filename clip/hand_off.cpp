#include "clip/hand_off.h"

namespace kamolt {

std::string HandOffText(std::string_view fileName, std::int32_t count, std::string_view marker) {
  std::string text(fileName);
  text += '\'';
  text += std::to_string(count);
  text += '\'';
  text += marker;
  return text;
}

std::string HandOffRecord(std::string_view handOffText) {
  std::string record;
  record.reserve(handOffText.size() + kHandOffRecordFrame);
  record += '\x04';
  record += "OBILD01";
  record += handOffText;
  record += '\x04';
  return record;
}

}  // namespace kamolt
