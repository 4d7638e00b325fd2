#pragma once
// Drawing the drawing list onto the viewer's picture.
#include <cstdint>
#include <string>
#include <vector>

#include "app/drawing_list.h"
#include "app/picture_win.h"

namespace kamolt {

// The platform's refusal to draw on an icon or a metafile.
inline constexpr char kNeedsBitmapMessage[] = "Bild kann nur geändert werden, wenn es ein Bitmap enthält";

// Draws drawingList (commands, or the name of a file with commands) onto picture, the pen
// starting in drawingColour. Throws std::runtime_error with kNeedsBitmapMessage for icons and
// metafiles, whatever the list holds. An empty picture has nothing to draw on and stays empty.
void DrawOverlay(Picture& picture, const std::string& drawingList, std::uint32_t drawingColour);

// The drawing itself, onto any device context.
void DrawOperations(HDC dc, const std::vector<DrawingOperation>& operations);

}  // namespace kamolt
