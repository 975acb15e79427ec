#pragma once
// What the plug-in asks of the window system and of its C runtime, seen at its import table: its
// window-less timers are only recorded, and expire when a step says so, so that a million steps
// need no waiting; its repaints are counted; its live heap blocks are tracked.

#include <windows.h>

#include <cstdint>
#include <unordered_set>
#include <vector>

namespace soak {

struct Timer {
  UINT_PTR id;
  UINT period;
  TIMERPROC proc;
};

// What the hooks saw. Counted, not kept: a list of every repaint would itself grow over a run.
struct PluginActivity {
  std::vector<Timer> timers;  // live window-less timers of this (the only) thread
  uint64_t repaints = 0;      // invalidations of a whole window, background kept
  HWND lastRepainted = nullptr;
  int badRepaints = 0;   // invalidations of another kind
  int windowTimers = 0;  // timers asked for a window, which the plug-in never does
  // Blocks made through the hooks and not yet freed: the runtime's start-up allocates before
  // the hooks are in place, so only later blocks are tracked.
  std::unordered_set<void*> liveBlocks;
};

PluginActivity& Activity();

// Points the module's SetTimer, KillTimer and InvalidateRect, and its malloc, calloc, realloc and
// free, at the hooks. True when all three window-system imports were found.
bool HookPluginImports(HMODULE module);

}  // namespace soak
