// The functions the editor calls. Each is extern "C" and __stdcall, exported undecorated with a
// fixed ordinal through res/Brinkwatcher.def.

#include <windows.h>

#include <iterator>

#include "host/host_messages.h"
#include "host/plugin_interface.h"
#include "host/resource_text.h"
#include "res/resource_ids.h"
#include "scroll/redraw.h"
#include "scroll/scroll_ahead.h"
#include "settings/properties_dialog.h"
#include "settings/settings.h"

namespace {
LRESULT InfoItem(WPARAM item) {
  return item < std::size(QueryInfoAnswers) ? QueryInfoAnswers[item] : 0;
}

// A capacity wider than 32 bits counts as the largest 32-bit one: the buffer is at least that big.
UINT TextCapacity(WPARAM wParam) {
  constexpr WPARAM Largest = 0xFFFFFFFFu;
  return static_cast<UINT>(wParam > Largest ? Largest : wParam);
}

INT_PTR ShowProperties(HWND view) {
  return DialogBoxParamW(gModuleInstance, MAKEINTRESOURCEW(IDD_PROPERTIES), view,
                         PropertiesDialogProc, reinterpret_cast<LPARAM>(view));
}
}  // namespace

extern "C" {

// The image's entry point: the DLL has no C runtime start-up (see CMakeLists.txt), so the loader
// calls this directly, for every process and thread event.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModuleInstance = instance;
    NoteLoaderThread();
  }
  // Unloaded by FreeLibrary (not process exit): a timer left armed on this thread would call
  // into code that is gone.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) StopRedrawTimerAtUnload();
  return TRUE;
}

void WINAPI OnEvents(HWND view, UINT events, LPARAM /*value*/) {
  if (events & EventReloadSettings) {
    gHostVersionAtLeast14600 = QueryHostVersion(view) >= 14600u;
    LoadSettings(view);
  }
  if (events & EventCaretMoved) ApplyScrollAhead(view);
  if (events & EventArmRedraw) ArmRedraw(view);
  if (events & EventCancelRedraw) CancelRedraw();
}

INT_PTR WINAPI OnCommand(HWND view) {
  return ShowProperties(view);
}

BOOL WINAPI QueryStatus(HWND /*view*/, BOOL* checked) {
  if (checked != nullptr) *checked = FALSE;
  return TRUE;
}

UINT WINAPI GetMenuTextID() {
  return IDS_MENU_TEXT;
}

// Exported twice: as GetStatusMessageID and as GetBitmapID, both 102.
UINT WINAPI GetStatusMessageID() {
  return IDS_STATUS_TEXT;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the editor fixes this signature.
LRESULT WINAPI PlugInProc(HWND view, UINT code, WPARAM wParam, LPARAM lParam) {
  switch (code) {
    case QueryShowProperties:
      return ShowProperties(view) != -1 ? 1 : 0;
    case QueryName:
      return static_cast<LRESULT>(CopyResourceText(IDS_PLUGIN_NAME, TextCapacity(wParam),
                                                   reinterpret_cast<wchar_t*>(lParam)));
    case QueryVersion:
      return static_cast<LRESULT>(CopyResourceText(IDS_VERSION_TEXT, TextCapacity(wParam),
                                                   reinterpret_cast<wchar_t*>(lParam)));
    case QueryMaskColor:
      return QueryMaskColorAnswer;
    case QueryInfo:
      return InfoItem(wParam);
    default:
      if (code - QueryFirst < std::size(QueryFixedAnswers)) {
        return QueryFixedAnswers[code - QueryFirst];
      }
      return 0;
  }
}

}  // extern "C"
