#include "convert/format_list.h"

#include "base/int_text.h"

namespace kamolt {

int FormatCodeOfEntry(int index) { return index == 0 ? 0 : index + 1000; }

int FormatEntryOf(std::string_view text) {
  for (std::size_t i = 0; i < kFormatList.size(); ++i) {
    if (EqualsIgnoringAsciiCase(kFormatList[i], text)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kamolt
