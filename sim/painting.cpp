// Painting the view and the status strip, on the screen and into pictures.
#include "sim/sim_editor.h"

#include <cstdio>

#include "sim/editor_internal.h"

namespace sim {

using namespace detail;

void Editor::Paint() {
  RECT update{};
  GetUpdateRect(view_, &update, FALSE);
  RECT client{};
  GetClientRect(view_, &client);
  eraseRequested_ = false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(view_, &ps);  // sends WM_ERASEBKGND first when the region asks for it
  ++paints_;
  if (EqualRect(&update, &client) && !eraseRequested_ && !ps.fErase) ++fullRepaints_;
  DrawView(dc, client);
  EndPaint(view_, &ps);
}

void Editor::DrawView(HDC dc, const RECT& client) const {
  HFONT font = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  const int rows = std::min<int>(doc_.page, (client.bottom / RowHeight) + 1);
  for (int row = 0; row < rows; ++row) {
    const int64_t line = int64_t{doc_.scroll.y} + row;
    if (line < 0 || line >= doc_.lines) continue;
    RECT band{0, row * RowHeight, client.right, (row + 1) * RowHeight};
    const bool caretLine = line == doc_.caret.y;
    if (caretLine) FillRect(dc, &band, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1));
    SetTextColor(dc, GetSysColor(caretLine ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    wchar_t text[96];
    const int length = swprintf(text, 96, L"%5lld  %ls", static_cast<long long>(line + 1),
                                caretLine ? L"<- caret" : L"Lorem ipsum dolor sit amet");
    TextOutW(dc, 4, row * RowHeight, text, std::max(length, 0));
  }
  SelectObject(dc, oldFont);
}

void Editor::DrawStatus(HDC dc, const RECT& client) const {
  wchar_t status[160];
  int length =
      swprintf(status, 160, L"caret line %d   first visible line %d   page %d   repaints %d",
               doc_.caret.y + 1, doc_.scroll.y + 1, doc_.page, fullRepaints_);
  if (buttonHovered_) length = swprintf(status, 160, L"%ls", statusText_.c_str());
  // The dialog font, which has the Japanese glyphs of the plug-in's status text.
  static const HFONT font =
      CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  TextOutW(dc, 6, client.bottom - StatusHeight + 5, status, std::max(length, 0));
  SelectObject(dc, oldFont);
  PaintToolbarButton(dc);
}

void Editor::DrawClient(HDC dc) const {
  RECT client{};
  GetClientRect(frame_, &client);
  FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  RECT view{0, 0, client.right, std::max(0L, client.bottom - StatusHeight)};
  FillRect(dc, &view, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  HRGN clip = CreateRectRgnIndirect(&view);
  SelectClipRgn(dc, clip);
  DrawView(dc, view);
  SelectClipRgn(dc, nullptr);
  DeleteObject(clip);
  DrawStatus(dc, client);
}
}  // namespace sim
