#include "sim/pictures.h"

#include <cstdio>

#include "sim/sim_editor.h"

Canvas CreateCanvas(int width, int height, COLORREF background) {
  Canvas canvas;
  canvas.width = width;
  canvas.height = height;
  HDC screen = GetDC(nullptr);
  canvas.dc = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  canvas.bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  canvas.pixels = static_cast<const BYTE*>(bits);
  canvas.oldBitmap = SelectObject(canvas.dc, canvas.bitmap);
  RECT all{0, 0, width, height};
  HBRUSH brush = CreateSolidBrush(background);
  FillRect(canvas.dc, &all, brush);
  DeleteObject(brush);
  return canvas;
}

void DestroyCanvas(Canvas& canvas) {
  if (canvas.dc == nullptr) return;
  SelectObject(canvas.dc, canvas.oldBitmap);
  DeleteObject(canvas.bitmap);
  DeleteDC(canvas.dc);
  canvas = {};
}

bool SaveCanvas(const Canvas& canvas, const std::wstring& path) {
  if (canvas.pixels == nullptr) return false;
  GdiFlush();  // the section's memory holds every drawing made so far
  const size_t stride = (static_cast<size_t>(canvas.width) * 3 + 3) & ~size_t{3};
  const size_t size = stride * static_cast<size_t>(canvas.height);
  BITMAPINFOHEADER header{
      sizeof(BITMAPINFOHEADER), canvas.width, canvas.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + size);
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return false;
  bool written = fwrite(&file, sizeof file, 1, out) == 1 &&
                 fwrite(&header, sizeof header, 1, out) == 1 &&
                 fwrite(canvas.pixels, 1, size, out) == size;
  written = fclose(out) == 0 && written;
  return written;
}

Canvas CaptureClient(const sim::Editor& editor) {
  RECT client{};
  GetClientRect(editor.frame(), &client);
  Canvas canvas = CreateCanvas(client.right, client.bottom, GetSysColor(COLOR_BTNFACE));
  editor.DrawClient(canvas.dc);
  return canvas;
}

void DrawLabel(const Canvas& canvas, int x, int y, const std::wstring& text, int height,
               COLORREF color, bool bold) {
  HFONT font = CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           ANTIALIASED_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
  HGDIOBJ old = SelectObject(canvas.dc, font);
  SetBkMode(canvas.dc, TRANSPARENT);
  SetTextColor(canvas.dc, color);
  TextOutW(canvas.dc, x, y, text.c_str(), static_cast<int>(text.size()));
  SelectObject(canvas.dc, old);
  DeleteObject(font);
}
