// The plug-in as the editor holds it: loading and unloading the DLL, sending its events, and
// its menu, toolbar button and status text.
#include "sim/sim_editor.h"

#include <cwchar>

#include "sim/editor_internal.h"

namespace sim {

using namespace detail;

bool Editor::LoadPlugin(const std::wstring& path, bool sendReload) {
  module_ = LoadLibraryW(path.c_str());
  if (module_ == nullptr) return false;
  moduleOwned_ = true;
  ResolveExports();
  if (sendReload) SendEvents(EventReloadSettings);
  return true;
}

bool Editor::AdoptPlugin(HMODULE module) {
  if (module == nullptr) return false;
  module_ = module;
  moduleOwned_ = false;
  return ResolveExports();
}

bool Editor::ResolveExports() {
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
  return exports_.OnEvents != nullptr;
}

void Editor::UnloadPlugin() {
  if (module_ == nullptr) return;
  if (pluginsMenu_ != nullptr) HidePlugin();
  if (moduleOwned_) FreeLibrary(module_);
  module_ = nullptr;
  exports_ = {};
}

void Editor::SendEvents(UINT events) {
  if (exports_.OnEvents != nullptr) exports_.OnEvents(view_, events, 0);
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
}  // namespace sim
