#pragma once
// What the plug-in's redraw state must be, from the events sent and the moves the host answered:
// a jump makes a repaint pending, the editor's idle moment arms it, a cancel drops it, and the
// timer's expiry repaints the armed view once, unless a later jump is pending or the view is gone.

#include <windows.h>

#include <string>

#include "tests/soak/plugin_imports.h"

namespace soak {

struct RedrawModel {
  bool pending = false;  // a jump since the last arm or cancel
  bool armed = false;    // a timer must be running
  HWND armedView = nullptr;
  bool armedViewAlive = false;
};

// The editor's idle moment over `view`; true when it armed a pending jump.
bool NoteArmed(RedrawModel& model, HWND view);

void NoteCancelled(RedrawModel& model);

// Empty when the plug-in's timers and repaints so far are what the model wants; otherwise what
// is wrong.
std::string CheckTimers(const RedrawModel& model, const PluginActivity& seen);

// After the armed timer expired with `repaints` repaints, the last of them of `repainted`: empty
// when that is what the model wanted. The timer is no longer armed afterwards.
std::string CheckExpiry(RedrawModel& model, uint64_t repaints, HWND repainted);

}  // namespace soak
