#include "app/drawing_list.h"

#include <algorithm>
#include <limits>

#include "base/file_io.h"
#include "base/int_text.h"

namespace kamolt {
namespace {

constexpr std::int32_t kDefaultLineWidth = 2;
constexpr std::int32_t kDefaultTextPoints = 16;
constexpr std::int32_t kSurfacePenWidth = 1;

// Takes the text before the next comma off the front of rest, comma included. Without a comma
// the field is empty and rest stays as it is: a missing comma costs the field, not the rest.
std::string_view TakeField(std::string_view& rest) {
  const auto comma = rest.find(',');
  if (comma == std::string_view::npos) return {};
  const std::string_view field = rest.substr(0, comma);
  rest.remove_prefix(comma + 1);
  return field;
}

std::int32_t TakeNumber(std::string_view& rest, std::int32_t fallback) { return IntegerOr(TakeField(rest), fallback); }

// |INT32_MIN| does not fit 32 bits; such a pen is as wide as a pen can get anyway.
std::int32_t Magnitude(std::int32_t value) {
  const std::int64_t wide = value;
  return static_cast<std::int32_t>(std::min<std::int64_t>(wide < 0 ? -wide : wide, std::numeric_limits<std::int32_t>::max()));
}

LineOperation ParseLine(std::string_view rest, std::uint32_t drawingColour) {
  LineOperation line;
  line.x1 = TakeNumber(rest, 0);
  line.y1 = TakeNumber(rest, 0);
  line.x2 = TakeNumber(rest, 0);
  line.y2 = TakeNumber(rest, 0);
  const auto comma = rest.find(',');
  const std::string_view widthField = rest.substr(0, comma);
  const std::int32_t width = IntegerOr(widthField, kDefaultLineWidth);
  line.colour = drawingColour;
  if (comma != std::string_view::npos) {
    line.colour = static_cast<std::uint32_t>(IntegerOr(rest.substr(comma + 1), static_cast<std::int32_t>(drawingColour)));
  }
  if (width < 0) line.pattern = PenPattern::Dotted;
  else if (!widthField.empty() && widthField.front() == '+') line.pattern = PenPattern::Dashed;
  line.width = Magnitude(width);
  return line;
}

TextOperation ParseText(std::string_view rest) {
  TextOperation text;
  text.x = TakeNumber(rest, 0);
  text.y = TakeNumber(rest, 0);
  text.points = TakeNumber(rest, kDefaultTextPoints);
  text.text = std::string(rest);
  return text;
}

std::int32_t Saturated(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::string CommandTextFromFile(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    if (c == '\n') text.push_back(';');
    else if (c != '\r') text.push_back(c);
  }
  return text;
}

std::string DrawingCommandText(const std::string& drawingList) {
  if (drawingList.empty()) return {};
  if (drawingList.front() >= '0' && drawingList.front() <= '9') return drawingList;
  const auto bytes = ReadWholeFile(drawingList);
  return bytes ? CommandTextFromFile(*bytes) : std::string();
}

std::vector<DrawingOperation> ParseDrawingCommands(std::string_view text, std::uint32_t drawingColour) {
  std::vector<DrawingOperation> operations;
  std::int32_t penWidth = kSurfacePenWidth;
  while (!text.empty()) {
    const auto end = text.find(';');
    std::string_view command = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (command.empty()) continue;

    switch (command.front()) {
      case 'L': {
        const LineOperation line = ParseLine(command.substr(1), drawingColour);
        penWidth = line.width;
        operations.emplace_back(line);
        break;
      }
      case 'T': operations.emplace_back(ParseText(command.substr(1))); break;
      default: {
        if (command.front() == 'P') command.remove_prefix(1);
        const auto comma = command.find(',');
        if (comma == std::string_view::npos) break;
        MarkOperation mark;
        mark.x = IntegerOr(command.substr(0, comma), 0);
        mark.y = IntegerOr(command.substr(comma + 1), 0);
        mark.penWidth = penWidth;
        mark.colour = drawingColour;
        operations.emplace_back(mark);
        break;
      }
    }
  }
  return operations;
}

MarkGeometry MarkGeometryAt(std::int32_t x, std::int32_t y) {
  const auto at = [&](int dx, int dy) { return MarkPoint{Saturated(std::int64_t{x} + dx), Saturated(std::int64_t{y} + dy)}; };
  // Each diagonal of the cross goes twice, one pixel apart, so it stays visible on a busy picture.
  return MarkGeometry{at(-5, -4),
                      at(6, 6),
                      {{at(-9, -9), at(11, 11)},
                       {at(10, -9), at(-10, 11)},
                       {at(-10, -9), at(10, 11)},
                       {at(9, -9), at(-11, 11)}}};
}

}  // namespace kamolt
