#pragma once
// Pictures of the simulated editor for the README: drawn in memory from the editor's own
// drawing code, so they do not depend on what the screen shows, and saved as BMP files.

#include <windows.h>

#include <string>

namespace sim {
class Editor;
}

// A memory canvas of 24-bit pixels that GDI can draw on.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  const BYTE* pixels = nullptr;  // the section's rows, bottom-up, each padded to 4 bytes
  int width = 0;
  int height = 0;
};

Canvas CreateCanvas(int width, int height, COLORREF background);
void DestroyCanvas(Canvas& canvas);
bool SaveCanvas(const Canvas& canvas, const std::wstring& path);

// The editor's client area as it stands now.
Canvas CaptureClient(const sim::Editor& editor);

// Writes `text` at (x, y) in the dialog font, `height` pixels high.
void DrawLabel(const Canvas& canvas, int x, int y, const std::wstring& text, int height = 14,
               COLORREF color = RGB(0, 0, 0), bool bold = false);
