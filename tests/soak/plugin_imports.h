#pragma once
// What the plug-in asks of the window system and what it allocates, seen at its import table: its
// window-less timers are only recorded, and expire when a step says so, so that a million steps
// need no waiting; its repaints are counted; its live heap blocks are tracked.

#include <windows.h>

#include <cstdint>
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
};

PluginActivity& Activity();

// Points the module's SetTimer, KillTimer and InvalidateRect at the hooks, and every allocating
// import at the allocation watch (tests/support/allocation_watch.h), whose live blocks are the
// plug-in's. True when all three window-system imports were found.
bool HookPluginImports(HMODULE module);

}  // namespace soak
