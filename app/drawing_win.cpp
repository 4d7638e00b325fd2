#include "app/drawing_win.h"

#include <windows.h>

#include <stdexcept>

#include "win/handles_win.h"

namespace kamolt {
namespace {

using Pen = win::UniqueHandle<win::GdiObjectTraits<HPEN>>;
using Font = win::UniqueHandle<win::GdiObjectTraits<HFONT>>;

// Only 0x00BBGGRR is a colour; the high byte would ask for a palette entry instead.
COLORREF ColourOf(std::uint32_t value) { return static_cast<COLORREF>(value & 0x00FFFFFF); }

Pen SolidPen(int width, COLORREF colour) { return Pen(CreatePen(PS_SOLID, width, colour)); }

// A cosmetic pen is only dotted or dashed one pixel wide; wider ones are drawn solid. A
// geometric pen keeps its pattern at any width, scaled with it, and flat ends keep the gaps
// open that round ends would fill.
Pen PatternPen(PenPattern pattern, int width, COLORREF colour) {
  const DWORD style = pattern == PenPattern::Dotted ? PS_DOT : PS_DASH;
  if (width <= 1) return Pen(CreatePen(static_cast<int>(style), 1, colour));
  const LOGBRUSH brush{BS_SOLID, colour, 0};
  return Pen(ExtCreatePen(PS_GEOMETRIC | style | PS_ENDCAP_FLAT | PS_JOIN_MITER, static_cast<DWORD>(width), &brush, 0,
                          nullptr));
}

Pen LinePen(const LineOperation& line) {
  const COLORREF colour = ColourOf(line.colour);
  return line.pattern == PenPattern::Solid ? SolidPen(line.width, colour) : PatternPen(line.pattern, line.width, colour);
}

int ScreenPixelsPerInchVertically() {
  const win::WindowDc screen(nullptr);
  return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

// The face of the surface's default font at the asked point size; a negative size asks for
// the cell height instead of the character height, as the platform's fonts do.
Font FontOfSize(std::int32_t points) {
  LOGFONTA face{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
  face.lfHeight = -MulDiv(points, ScreenPixelsPerInchVertically(), 72);
  face.lfWidth = 0;
  return Font(CreateFontIndirectA(&face));
}

void DrawLineOperation(HDC dc, const LineOperation& line) {
  const Pen pen = LinePen(line);
  if (!pen) throw std::runtime_error("Der Stift zum Zeichnen kann nicht erzeugt werden");
  const win::Selection selected(dc, pen.Get());
  MoveToEx(dc, line.x1, line.y1, nullptr);
  LineTo(dc, line.x2, line.y2);
}

void DrawTextOperation(HDC dc, const TextOperation& text) {
  const Font font = FontOfSize(text.points);
  if (!font) throw std::runtime_error("Die Schrift zum Zeichnen kann nicht erzeugt werden");
  const win::Selection selected(dc, font.Get());
  // The text sits on the brush's colour, which stays white: nothing in the list changes it.
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(255, 255, 255));
  TextOutA(dc, text.x, text.y, text.text.data(), static_cast<int>(text.text.size()));
  SetBkMode(dc, TRANSPARENT);
}

void DrawMarkOperation(HDC dc, const MarkOperation& mark) {
  const Pen pen = SolidPen(mark.penWidth, ColourOf(mark.colour));
  if (!pen) throw std::runtime_error("Der Stift zum Zeichnen kann nicht erzeugt werden");
  const win::Selection selectedPen(dc, pen.Get());
  const win::Selection selectedBrush(dc, GetStockObject(WHITE_BRUSH));
  const MarkGeometry geometry = MarkGeometryAt(mark.x, mark.y);
  Ellipse(dc, geometry.ellipseTopLeft.x, geometry.ellipseTopLeft.y, geometry.ellipseBottomRight.x,
          geometry.ellipseBottomRight.y);
  for (const auto& line : geometry.lines) {
    MoveToEx(dc, line[0].x, line[0].y, nullptr);
    LineTo(dc, line[1].x, line[1].y);
  }
}

}  // namespace

void DrawOperations(HDC dc, const std::vector<DrawingOperation>& operations) {
  // Gaps of dotted and dashed lines show the picture underneath.
  SetBkMode(dc, TRANSPARENT);
  for (const DrawingOperation& operation : operations) {
    if (const auto* line = std::get_if<LineOperation>(&operation)) DrawLineOperation(dc, *line);
    else if (const auto* text = std::get_if<TextOperation>(&operation)) DrawTextOperation(dc, *text);
    else DrawMarkOperation(dc, std::get<MarkOperation>(operation));
  }
}

void DrawOverlay(Picture& picture, const std::string& drawingList, std::uint32_t drawingColour) {
  switch (picture.GetKind()) {
    case Picture::Kind::Icon:
    case Picture::Kind::Metafile: throw std::runtime_error(kNeedsBitmapMessage);
    case Picture::Kind::Empty: return;
    case Picture::Kind::Bitmap:
    case Picture::Kind::Dib: break;
  }
  const std::vector<DrawingOperation> operations = ParseDrawingCommands(DrawingCommandText(drawingList), drawingColour);
  if (operations.empty()) return;

  const win::Bitmap canvasBitmap = picture.Render();
  {
    const win::MemoryDc canvas(CreateCompatibleDC(nullptr));
    if (!canvas) throw std::runtime_error("Nicht genug Speicher für das Bild");
    const win::Selection selected(canvas.Get(), canvasBitmap.Get());
    DrawOperations(canvas.Get(), operations);
  }
  picture = Picture::FromBitmap(canvasBitmap.Get());
}

}  // namespace kamolt
