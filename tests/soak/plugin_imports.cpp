#include "tests/soak/plugin_imports.h"

#include <iterator>

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

// The real allocation functions, from the first module hooked: every module of this process
// imports the same msvcrt.
void* RealMalloc;
void* RealCalloc;
void* RealRealloc;
void* RealFree;

void* __cdecl CountedMalloc(size_t n) {
  void* block = reinterpret_cast<void*(__cdecl*)(size_t)>(RealMalloc)(n);
  if (block != nullptr) Seen.liveBlocks.insert(block);
  return block;
}
void* __cdecl CountedCalloc(size_t count, size_t n) {
  void* block = reinterpret_cast<void*(__cdecl*)(size_t, size_t)>(RealCalloc)(count, n);
  if (block != nullptr) Seen.liveBlocks.insert(block);
  return block;
}
void* __cdecl CountedRealloc(void* old, size_t n) {
  const bool tracked = old == nullptr || Seen.liveBlocks.erase(old) != 0;
  void* block = reinterpret_cast<void*(__cdecl*)(void*, size_t)>(RealRealloc)(old, n);
  if (block == nullptr && n != 0 && old != nullptr && tracked) Seen.liveBlocks.insert(old);  // kept
  if (block != nullptr && tracked) Seen.liveBlocks.insert(block);
  return block;
}
void __cdecl CountedFree(void* block) {
  Seen.liveBlocks.erase(block);
  reinterpret_cast<void(__cdecl*)(void*)>(RealFree)(block);
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
    void** real;  // null for the window system's, which are never called through
  } const wanted[] = {
      {"user32.dll", "SetTimer", reinterpret_cast<void*>(&HookedSetTimer), nullptr},
      {"user32.dll", "KillTimer", reinterpret_cast<void*>(&HookedKillTimer), nullptr},
      {"user32.dll", "InvalidateRect", reinterpret_cast<void*>(&HookedInvalidateRect), nullptr},
      {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountedMalloc), &RealMalloc},
      {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountedCalloc), &RealCalloc},
      {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountedRealloc), &RealRealloc},
      {"msvcrt.dll", "free", reinterpret_cast<void*>(&CountedFree), &RealFree}};
  int windowSystem = 0;
  for (const Wanted& w : wanted) {
    const ImportHook hook = testing_support::HookImport(module, w.dll, w.name, w.to);
    if (!hook.hooked()) continue;
    if (w.real != nullptr) *w.real = hook.original;
    if (w.real == nullptr) ++windowSystem;
  }
  return windowSystem == 3;
}

}  // namespace soak
