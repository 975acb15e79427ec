#include "tests/soak/plugin_imports.h"

#include <iterator>

#include "tests/support/allocation_watch.h"
#include "tests/support/import_hook.h"

namespace soak {

namespace {

using testing_support::ImportHook;

PluginActivity Seen;
UINT_PTR NextTimerId = 1;

UINT_PTR WINAPI HookedSetTimer(HWND window, UINT_PTR, UINT period, TIMERPROC proc) {
  if (window != nullptr) {
    ++Seen.windowTimers;
    return 0;
  }
  Seen.timers.push_back({NextTimerId, period, proc});
  return NextTimerId++;
}

BOOL WINAPI HookedKillTimer(HWND window, UINT_PTR id) {
  for (auto t = Seen.timers.begin(); window == nullptr && t != Seen.timers.end(); ++t) {
    if (t->id != id) continue;
    Seen.timers.erase(t);
    return TRUE;
  }
  return FALSE;
}

BOOL WINAPI HookedInvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (rect == nullptr && !erase) {
    ++Seen.repaints;
    Seen.lastRepainted = window;
  } else {
    ++Seen.badRepaints;
  }
  return TRUE;
}

}  // namespace

PluginActivity& Activity() {
  return Seen;
}

bool HookPluginImports(HMODULE module) {
  struct Wanted {
    const char* dll;
    const char* name;
    void* to;
  } const wanted[] = {
      {"user32.dll", "SetTimer", reinterpret_cast<void*>(&HookedSetTimer)},
      {"user32.dll", "KillTimer", reinterpret_cast<void*>(&HookedKillTimer)},
      {"user32.dll", "InvalidateRect", reinterpret_cast<void*>(&HookedInvalidateRect)}};
  int windowSystem = 0;
  for (const Wanted& w : wanted) {
    windowSystem += testing_support::HookImport(module, w.dll, w.name, w.to).hooked() ? 1 : 0;
  }
  testing_support::WatchAllocations(module);
  return windowSystem == 3;
}

}  // namespace soak
