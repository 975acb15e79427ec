#include "sim/sim_editor.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace sim {
namespace {
constexpr wchar_t FrameClass[] = L"BrinkwatcherSimFrame";
constexpr wchar_t ViewClass[] = L"BrinkwatcherSimView";
constexpr int RowHeight = 16;
constexpr int StatusHeight = 24;
constexpr int32_t PageColumns = 80;

Editor* EditorOf(HWND window) {
  return reinterpret_cast<Editor*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void RegisterClasses(WNDPROC frameProc, WNDPROC viewProc) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSW frame{};
  frame.lpfnWndProc = frameProc;
  frame.hInstance = GetModuleHandleW(nullptr);
  frame.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.lpszClassName = FrameClass;
  RegisterClassW(&frame);
  WNDCLASSW view{};
  view.lpfnWndProc = viewProc;
  view.hInstance = GetModuleHandleW(nullptr);
  view.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  view.lpszClassName = ViewClass;  // no background brush: the view erases itself
  RegisterClassW(&view);
}

int32_t Clamp64(int64_t value, int64_t low, int64_t high) {
  return static_cast<int32_t>(std::max(low, std::min(value, high)));
}

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
  return out;
}
}  // namespace

Editor::Editor(const EditorOptions& options) {
  RegisterClasses(FrameProc, ViewProc);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HMENU menuBar = nullptr;
  if (options.pluginUi) {
    menuBar = CreateMenu();
    pluginsMenu_ = CreatePopupMenu();
    AppendMenuW(menuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(pluginsMenu_), L"&Plug-ins");
    HidePlugin();
  }
  frame_ = CreateWindowExW(0, FrameClass, options.title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           options.x, options.y, options.width, options.height, nullptr, menuBar,
                           instance, this);
  RECT client{};
  GetClientRect(frame_, &client);
  view_ = CreateWindowExW(0, ViewClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                          client.bottom - StatusHeight, frame_, nullptr, instance, this);
  if (options.visible) {
    ShowWindow(frame_, SW_SHOW);
    UpdateWindow(frame_);
  }
  SetFocus(view_);
}

Editor::~Editor() {
  UnloadPlugin();
  if (IsWindow(frame_)) DestroyWindow(frame_);
}

bool Editor::LoadPlugin(const std::wstring& path, bool sendReload) {
  module_ = LoadLibraryW(path.c_str());
  if (module_ == nullptr) return false;
  auto resolve = [this](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
        reinterpret_cast<void*>(GetProcAddress(module_, name)));
  };
  resolve(exports_.OnEvents, "OnEvents");
  resolve(exports_.OnCommand, "OnCommand");
  resolve(exports_.QueryStatus, "QueryStatus");
  resolve(exports_.GetMenuTextID, "GetMenuTextID");
  resolve(exports_.GetStatusMessageID, "GetStatusMessageID");
  resolve(exports_.GetBitmapID, "GetBitmapID");
  resolve(exports_.PlugInProc, "PlugInProc");
  if (pluginsMenu_ != nullptr) ShowPlugin();
  if (sendReload) SendEvents(EventReloadSettings);
  return true;
}

void Editor::UnloadPlugin() {
  if (module_ == nullptr) return;
  if (pluginsMenu_ != nullptr) HidePlugin();
  FreeLibrary(module_);
  module_ = nullptr;
  exports_ = {};
}

void Editor::SendEvents(UINT events) {
  if (exports_.OnEvents != nullptr) exports_.OnEvents(view_, events, 0);
}

int32_t Editor::ScrollToShow(int32_t caret, int32_t scroll, int32_t page) {
  if (caret < scroll) return caret;
  if (page > 0 && static_cast<int64_t>(caret) >= static_cast<int64_t>(scroll) + page) {
    return static_cast<int32_t>(static_cast<int64_t>(caret) - page + 1);
  }
  return scroll;
}

void Editor::MoveCaretTo(int32_t line) {
  doc_.caret.y = Clamp64(line, 0, std::max<int64_t>(0, static_cast<int64_t>(doc_.lines) - 1));
  SetScroll({doc_.scroll.x, ScrollToShow(doc_.caret.y, doc_.scroll.y, doc_.page)});
}

void Editor::CaretMoved() {
  InvalidateRect(view_, nullptr, TRUE);
  InvalidateRect(frame_, nullptr, TRUE);
  SendEvents(EventCaretMoved);
  inputHandled_ = true;
}

void Editor::PressKey(UINT vk, bool ctrl) {
  const int64_t caret = doc_.caret.y;
  switch (vk) {
    case VK_UP:
      MoveCaretTo(static_cast<int32_t>(std::max<int64_t>(caret - 1, 0)));
      break;
    case VK_DOWN:
      MoveCaretTo(static_cast<int32_t>(std::min<int64_t>(caret + 1, INT32_MAX)));
      break;
    case VK_NEXT:
    case VK_PRIOR: {
      // A page key moves the view and the caret by one page together.
      const int64_t step = vk == VK_NEXT ? doc_.page : -static_cast<int64_t>(doc_.page);
      SetScroll({doc_.scroll.x, Clamp64(doc_.scroll.y + step, INT32_MIN, INT32_MAX)});
      MoveCaretTo(Clamp64(caret + step, 0, INT32_MAX));
      break;
    }
    case VK_HOME:
      if (!ctrl) return;
      MoveCaretTo(0);
      break;
    case VK_END:
      if (!ctrl) return;
      MoveCaretTo(doc_.lines - 1);
      break;
    default:
      return;
  }
  CaretMoved();
}

void Editor::ClickRow(int32_t row) {
  MoveCaretTo(static_cast<int32_t>(static_cast<int64_t>(doc_.scroll.y) + row));
  CaretMoved();
}

void Editor::Pump(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool Editor::PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return done();
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      if (done()) return true;
    }
    // The editor tells the plug-in once input has been handled and the queue is idle.
    if (inputHandled_) {
      inputHandled_ = false;
      SendEvents(EventArmRedraw);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

void Editor::Settle() {
  int seen = -1;
  for (int round = 0; round < 20 && seen != paints_; ++round) {
    seen = paints_;
    Pump(100);
  }
  fullRepaints_ = 0;
  paints_ = 0;
}

void Editor::SetScroll(ViewPoint target) {
  const int64_t maxFirst = std::max<int64_t>(0, static_cast<int64_t>(doc_.lines) - doc_.page);
  const ViewPoint clamped{Clamp64(target.x, 0, std::max(doc_.maxScrollX, 0)),
                          Clamp64(target.y, 0, maxFirst)};
  if (clamped.x != doc_.scroll.x || clamped.y != doc_.scroll.y) {
    doc_.scroll = clamped;
    InvalidateRect(view_, nullptr, TRUE);
  }
}

LRESULT Editor::AnswerView(UINT message, WPARAM wParam, LPARAM lParam) {
  auto* point = reinterpret_cast<ViewPoint*>(lParam);
  HostCall call{message, wParam, false, {}, {}, {}, 0, 0};
  LRESULT result = 0;
  const bool pointSent = message == HostSetScrollPos || message == HostSetCaretPos;
  if (point != nullptr && pointSent) call.in = *point;  // before an answer may overwrite it
  if (override_ && override_(message, wParam, lParam, result)) {
    if (point != nullptr && message != HostGetVersion && message != HostGetInfo) call.out = *point;
    call.result = result;
    if (recording_) calls_.push_back(call);
    return result;
  }
  switch (message) {
    case HostGetCaretPos:
      if (point) *point = doc_.caret;
      break;
    case HostGetPageSize:
      if (point) *point = {PageColumns, doc_.page};
      break;
    case HostGetScrollPos:
      if (point) *point = doc_.scroll;
      break;
    case HostSetCaretPos:
      if (point) {
        doc_.caret = {std::max(point->x, 0),
                      Clamp64(point->y, 0, std::max<int64_t>(0, int64_t{doc_.lines} - 1))};
        // Setting the caret brings it into view, horizontally too.
        SetScroll({std::min(doc_.scroll.x, doc_.caret.x),
                   ScrollToShow(doc_.caret.y, doc_.scroll.y, doc_.page)});
        InvalidateRect(view_, nullptr, TRUE);
      }
      break;
    case HostSetScrollPos:
      if (point) SetScroll(*point);
      break;
    case HostGetVersion:
      result = static_cast<LRESULT>(doc_.version);
      break;
    case HostGetInfo:
      result = wParam == HostInfoLineOffset ? doc_.hiddenLines : 0;
      break;
  }
  if (point != nullptr && message != HostSetCaretPos && message != HostSetScrollPos &&
      message != HostGetVersion && message != HostGetInfo) {
    call.out = *point;
  }
  call.result = result;
  if (recording_) calls_.push_back(call);
  return result;
}

LRESULT Editor::AnswerProfile(UINT message, WPARAM wParam, LPARAM lParam) {
  auto* record = reinterpret_cast<ProfileValueRecord*>(lParam);
  HostCall call{message, wParam, true, {}, {}, {}, 0, 1};
  if (record != nullptr && record->valueName != nullptr) call.valueName = record->valueName;
  LRESULT result = 1;
  if (override_ && override_(message, wParam, lParam, result)) {
    if (record && record->data && result == 0) call.value = *static_cast<uint32_t*>(record->data);
  } else if (record != nullptr && record->recordSize == sizeof(ProfileValueRecord) &&
             record->valueName != nullptr && record->data != nullptr &&
             record->valueType == HostProfileTypeDword) {
    const ProfileKey key{record->keySelector, record->section ? record->section : L"",
                         record->valueName};
    auto* data = static_cast<uint32_t*>(record->data);
    if (message == HostProfileWrite && record->writeSize == sizeof(uint32_t)) {
      profile_[key] = call.value = *data;
      result = 0;
    } else if (message == HostProfileRead && record->readSize != nullptr &&
               *record->readSize >= sizeof(uint32_t)) {
      auto found = profile_.find(key);
      if (found != profile_.end()) {
        *data = call.value = found->second;
        *record->readSize = sizeof(uint32_t);
        result = 0;
      }
    }
  }
  call.result = result;
  if (recording_) calls_.push_back(call);
  return result;
}

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

LRESULT CALLBACK Editor::ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  Editor* editor = EditorOf(window);
  if (editor == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case HostGetCaretPos:
    case HostGetPageSize:
    case HostGetScrollPos:
    case HostSetCaretPos:
    case HostSetScrollPos:
    case HostGetVersion:
    case HostGetInfo:
      return editor->AnswerView(message, wParam, lParam);
    case WM_ERASEBKGND: {
      editor->eraseRequested_ = true;
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
      return 1;
    }
    case WM_PAINT:
      editor->Paint();
      return 0;
    case WM_KEYDOWN:
      editor->PressKey(static_cast<UINT>(wParam), GetKeyState(VK_CONTROL) < 0);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      editor->ClickRow(static_cast<int16_t>(HIWORD(lParam)) / RowHeight);
      return 0;
    case WM_KILLFOCUS:
      editor->SendEvents(EventKillFocus);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (editor->view_ == window) editor->view_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Editor::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  Editor* editor = EditorOf(window);
  if (editor == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (editor->pluginsMenu_ != nullptr && editor->FrameUi(message, wParam, lParam)) return 0;
  switch (message) {
    case HostProfileRead:
    case HostProfileWrite:
      return editor->AnswerProfile(message, wParam, lParam);
    case WM_SETFOCUS:
      if (editor->view_) SetFocus(editor->view_);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT client;
      GetClientRect(window, &client);
      editor->DrawStatus(dc, client);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SIZE:
      if (editor->view_) {
        MoveWindow(editor->view_, 0, 0, LOWORD(lParam), std::max(0, HIWORD(lParam) - StatusHeight),
                   TRUE);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (editor->frame_ == window) editor->frame_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool Editor::LoadProfileFile(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  char line[512];
  while (fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t a = text.find('\t');
    const size_t b = a == std::string::npos ? a : text.find('\t', a + 1);
    const size_t c = b == std::string::npos ? b : text.find('\t', b + 1);
    if (c == std::string::npos) continue;
    const uint32_t selector = static_cast<uint32_t>(strtoul(text.substr(0, a).c_str(), nullptr, 0));
    const uint32_t value = static_cast<uint32_t>(strtoul(text.substr(c + 1).c_str(), nullptr, 0));
    profile_[{selector, Wide(text.substr(a + 1, b - a - 1)), Wide(text.substr(b + 1, c - b - 1))}] =
        value;
  }
  fclose(file);
  return true;
}

bool Editor::SaveProfileFile(const std::wstring& path) const {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  for (const auto& [key, value] : profile_) {
    fprintf(file, "0x%08X\t%s\t%s\t%u\n", key.selector, Utf8(key.section).c_str(),
            Utf8(key.name).c_str(), value);
  }
  fclose(file);
  return true;
}

namespace {
// A text the plug-in copies on request: the size first, then the text.
std::wstring PluginText(const PluginExports& plugin, HWND view, UINT code) {
  const LRESULT size = plugin.PlugInProc(view, code, 0, 0);
  if (size <= 0 || size > 4096) return L"";
  std::wstring text(static_cast<size_t>(size), L'\0');
  plugin.PlugInProc(view, code, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

std::wstring ModuleString(HMODULE module, UINT id) {
  wchar_t text[4096];
  const int length = LoadStringW(module, id, text, 4096);
  return std::wstring(text, static_cast<size_t>(std::max(length, 0)));
}
}  // namespace

// Reads everything the editor shows for the plug-in from its exports and resources.
void Editor::ShowPlugin() {
  const PluginExports& p = exports_;
  if (!p.PlugInProc || !p.GetMenuTextID || !p.GetStatusMessageID || !p.GetBitmapID) return;
  menuText_ = ModuleString(module_, p.GetMenuTextID());
  statusText_ = ModuleString(module_, p.GetStatusMessageID());
  statusText_ = statusText_.substr(0, statusText_.find(L'\n'));  // the rest is the tooltip
  aboutText_ = PluginText(p, view_, QueryName) + L"\r\n" + PluginText(p, view_, QueryVersion);
  maskColor_ = static_cast<COLORREF>(p.PlugInProc(view_, QueryMaskColor, 0, 0));
  toolbarBitmap_ = static_cast<HBITMAP>(
      LoadImageW(module_, MAKEINTRESOURCEW(p.GetBitmapID()), IMAGE_BITMAP, 0, 0, 0));
  while (GetMenuItemCount(pluginsMenu_) > 0) DeleteMenu(pluginsMenu_, 0, MF_BYPOSITION);
  AppendMenuW(pluginsMenu_, MF_STRING, MenuPluginCommand, menuText_.c_str());
  AppendMenuW(pluginsMenu_, MF_STRING, MenuPluginProperties, L"Properties\u2026");
  AppendMenuW(pluginsMenu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(pluginsMenu_, MF_STRING, MenuAboutPlugins, L"About plug-ins\u2026");
  InvalidateStatus();
}

void Editor::HidePlugin() {
  while (GetMenuItemCount(pluginsMenu_) > 0) DeleteMenu(pluginsMenu_, 0, MF_BYPOSITION);
  AppendMenuW(pluginsMenu_, MF_STRING | MF_GRAYED, 0, L"(no plug-in)");
  if (toolbarBitmap_ != nullptr) DeleteObject(toolbarBitmap_);
  toolbarBitmap_ = nullptr;
  menuText_.clear();
  statusText_.clear();
  aboutText_.clear();
  buttonHovered_ = false;
  InvalidateStatus();
}

RECT Editor::ToolbarButton() const {
  RECT client{};
  GetClientRect(frame_, &client);
  const int top = client.bottom - StatusHeight + 4;
  return {client.right - 24, top, client.right - 8, top + 16};
}

void Editor::InvalidateStatus() {
  if (frame_ == nullptr) return;
  RECT strip{};
  GetClientRect(frame_, &strip);
  strip.top = strip.bottom - StatusHeight;
  InvalidateRect(frame_, &strip, TRUE);
}

void Editor::PaintToolbarButton(HDC dc) const {
  if (toolbarBitmap_ == nullptr) return;
  const RECT button = ToolbarButton();
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, toolbarBitmap_);
  GdiTransparentBlt(dc, button.left, button.top, 16, 16, source, 0, 0, 16, 16, maskColor_);
  SelectObject(source, old);
  DeleteDC(source);
  if (buttonHovered_) {
    RECT frame = {button.left - 2, button.top - 2, button.right + 2, button.bottom + 2};
    DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
  }
}

// The plug-in's menu, toolbar button and status text; true when `message` was handled.
bool Editor::FrameUi(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT at{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
  const RECT button = ToolbarButton();
  switch (message) {
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(wParam) == pluginsMenu_ && exports_.QueryStatus != nullptr) {
        BOOL checked = FALSE;
        const BOOL enabled = exports_.QueryStatus(view_, &checked);
        EnableMenuItem(pluginsMenu_, MenuPluginCommand, enabled ? MF_ENABLED : MF_GRAYED);
        CheckMenuItem(pluginsMenu_, MenuPluginCommand, checked ? MF_CHECKED : MF_UNCHECKED);
      }
      return false;
    case WM_COMMAND:
      if (module_ == nullptr) return false;
      switch (LOWORD(wParam)) {
        case MenuPluginCommand:
          if (exports_.OnCommand) exports_.OnCommand(view_);
          return true;
        case MenuPluginProperties:
          if (exports_.PlugInProc) exports_.PlugInProc(view_, QueryShowProperties, 0, 0);
          return true;
        case MenuAboutPlugins:
          MessageBoxW(frame_, aboutText_.c_str(), L"About plug-ins", MB_OK | MB_ICONINFORMATION);
          return true;
      }
      return false;
    case WM_MOUSEMOVE:
      if ((toolbarBitmap_ != nullptr && PtInRect(&button, at)) != buttonHovered_) {
        buttonHovered_ = !buttonHovered_;
        TRACKMOUSEEVENT leave{sizeof(leave), TME_LEAVE, frame_, 0};
        if (buttonHovered_) TrackMouseEvent(&leave);
        InvalidateStatus();
      }
      return true;
    case WM_MOUSELEAVE:
      if (buttonHovered_) {
        buttonHovered_ = false;
        InvalidateStatus();
      }
      return true;
    case WM_LBUTTONUP:
      if (toolbarBitmap_ != nullptr && PtInRect(&button, at) && exports_.OnCommand) {
        exports_.OnCommand(view_);
      }
      return true;
  }
  return false;
}

void InitCommonControlsLikeEditor() {
  // Loaded on demand: a program that never calls this never has the common controls (loading
  // the library may register its classes), so tests can run without the up-down class.
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  if (comctl == nullptr) return;
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitFunction>(
      reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  if (init != nullptr) init(&controls);
}

std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

const wchar_t* HostMessageName(UINT code) {
  switch (code) {
    case HostGetCaretPos:
      return L"GetCaretPos";
    case HostGetPageSize:
      return L"GetPageSize";
    case HostGetScrollPos:
      return L"GetScrollPos";
    case HostSetCaretPos:
      return L"SetCaretPos";
    case HostSetScrollPos:
      return L"SetScrollPos";
    case HostGetVersion:
      return L"GetVersion";
    case HostGetInfo:
      return L"GetInfo";
    case HostProfileWrite:
      return L"ProfileWrite";
    case HostProfileRead:
      return L"ProfileRead";
    default:
      return L"?";
  }
}

}  // namespace sim
