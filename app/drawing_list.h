#pragma once
// The drawing list: marks, lines and texts a caller asks to have drawn onto every picture the
// viewer loads. This side reads the list into drawing operations; drawing_win draws them.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kamolt {

enum class PenPattern { Solid, Dotted, Dashed };

struct LineOperation {
  std::int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::int32_t width = 2;  // the pen width, never negative
  PenPattern pattern = PenPattern::Solid;
  std::uint32_t colour = 0;  // 0x00BBGGRR
  friend bool operator==(const LineOperation&, const LineOperation&) = default;
};

struct TextOperation {
  std::int32_t x = 0, y = 0;  // top left corner of the text
  std::int32_t points = 16;
  std::string text;
  friend bool operator==(const TextOperation&, const TextOperation&) = default;
};

// A circle with a cross over it, drawn with a solid pen in the drawing colour.
struct MarkOperation {
  std::int32_t x = 0, y = 0;
  std::int32_t penWidth = 1;  // the width the last line left on the pen
  std::uint32_t colour = 0;
  friend bool operator==(const MarkOperation&, const MarkOperation&) = default;
};

using DrawingOperation = std::variant<LineOperation, TextOperation, MarkOperation>;

// A drawing list that starts with a decimal digit is the command text itself; anything else
// names a file holding one command per line. A file that cannot be read gives no commands.
std::string DrawingCommandText(const std::string& drawingList);
// The bytes of a drawing-list file as command text: each line feed ends a command, carriage
// returns vanish, so files written on either system read the same.
std::string CommandTextFromFile(std::string_view bytes);

// Commands separated by ";". Lines (L), texts (T) and point marks (P or any other first
// character), with the pen width a line leaves behind carried into later marks.
std::vector<DrawingOperation> ParseDrawingCommands(std::string_view text, std::uint32_t drawingColour);

// Where a point mark's parts go, worked out without overflow for any 32-bit centre.
struct MarkPoint {
  std::int32_t x, y;
  friend bool operator==(const MarkPoint&, const MarkPoint&) = default;
};
struct MarkGeometry {
  MarkPoint ellipseTopLeft, ellipseBottomRight;
  MarkPoint lines[4][2];  // each drawn from its first point to its second
};
MarkGeometry MarkGeometryAt(std::int32_t x, std::int32_t y);

}  // namespace kamolt
